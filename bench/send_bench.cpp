// vantrel-cut --send: how soon the job's first byte is on the wire, and how
// fast the session sends.
//
//   vantrel-send-bench VANTREL_CUT VANTREL_USB_SIM [rounds] [work-folder]
//
// 1. In process: the cut session sending a 10^6-segment job to a link that
//    takes every byte at once (MB/s, median of the rounds).
// 2. Whole runs on a 10^6-segment design, interleaved: `vantrel-cut --model 2
//    -o FILE` (start to exit), and `vantrel-cut --send` against the simulated
//    cutter under umockdev, from its start to the job's first byte reaching
//    the device (vantrel-usb-sim notes the time). Medians and their ratio.
// 3. A machine that takes nothing from a given byte on (paused, its buffer
//    full), and a signal (SIGINT, SIGTERM, SIGHUP in turn) 1 to 1.5 s into
//    the run: how long `vantrel-cut --send` takes from the signal to its exit
//    at each stage of the session (vantrel-usb-sim notes it). Median and
//    longest of the rounds.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cut_tool.h"
#include "session/cut_session.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t Segments = 1000000;

std::string designText() {
    std::string text;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> at(0.5f, 11.5f);
    char pair[64];
    for (std::size_t i = 0; i < Segments; ++i) {
        // Chains of 100 straight segments.
        std::snprintf(pair, sizeof pair, "%s%.4f %.4f ", i % 100 == 0 ? "M " : "L ", at(random), at(random));
        text += pair;
    }
    return text;
}

class StringSource : public vantrel::DesignTextSource {
public:
    explicit StringSource(const std::string& text) : text_(text) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, text_.size() - at_);
        std::memcpy(buffer, text_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    const std::string& text_;
    std::size_t at_ = 0;
};

// Takes every byte at once.
class InstantLink : public vantrel::MachineLink {
public:
    vantrel::LinkTransfer write(const char*, std::size_t size, std::int64_t) override { return {size, vantrel::LinkStatus::Ok}; }
    vantrel::LinkTransfer read(char*, std::size_t, std::int64_t) override { return {0, vantrel::LinkStatus::TimedOut}; }
    std::int64_t nowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    }
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Runs a program, its output to /dev/null; its exit status (-1 when killed),
// and the wall time in ms.
int run(std::vector<std::string> command, double& ms) {
    std::vector<char*> args;
    for (auto& a : command) args.push_back(a.data());
    args.push_back(nullptr);
    std::fflush(stdout);  // the child must not print our buffered lines again
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The wall time in ms of a run that exits 0, or -1.
double runMs(std::vector<std::string> command) {
    double ms = 0;
    return run(std::move(command), ms) == 0 ? ms : -1;
}

// The value after `prefix` on the line of events.txt that begins with it, or -1.
double eventValue(const std::string& events, const std::string& prefix) {
    std::ifstream in(events);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size()));
    return -1;
}

// 3. Signal to exit at each stage against a machine that takes nothing.
int quitTimes(const std::string& tool, const std::string& usbsim, int rounds, const std::string& work) {
    const std::string design = work + "/send-bench-small.path";
    std::ofstream(design) << "M 1 1 L 3 1 L 3 2 L 1 2 Z";
    const std::string out = work + "/send-bench-quit";
    // What a not-found search sends before the carriage's "H" and its ETX.
    double ms = 0;
    run({usbsim, "--search", "not-found", "--out", out, "--", tool, "--send", "--cut-type", "print-and-cut", "--no",
         design}, ms);
    std::ifstream received(out + "/received.bin", std::ios::binary | std::ios::ate);
    const long beforeHome = static_cast<long>(received.tellg()) - 2;
    const struct {
        const char* stage;
        long takes;  // bytes the machine takes before it stops
        std::vector<std::string> toolArgs;
        std::vector<std::string> simArgs;
    } stages[] = {
        {"idle wait", 0, {}, {}},
        {"identification", 2, {}, {}},
        {"mark search", 5, {"--cut-type", "print-and-cut"}, {}},
        {"way home", beforeHome, {"--cut-type", "print-and-cut", "--no"}, {"--search", "not-found"}},
        {"sending, nothing taken", 5, {}, {}},
        {"sending, part taken", 105, {}, {}},
    };
    const char* const signals[] = {"INT", "TERM", "HUP"};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> at(1000, 1500);
    std::printf("signal to exit, a machine that takes nothing (median and longest of %d rounds):\n", rounds);
    for (const auto& s : stages) {
        std::vector<double> times;
        for (int r = 0; r < rounds; ++r) {
            std::vector<std::string> command{usbsim, "--stop-after-bytes", std::to_string(s.takes), "--signal",
                                             signals[r % 3], "--signal-after-ms", std::to_string(at(random)),
                                             "--out", out};
            command.insert(command.end(), s.simArgs.begin(), s.simArgs.end());
            command.insert(command.end(), {"--", tool, "--send"});
            command.insert(command.end(), s.toolArgs.begin(), s.toolArgs.end());
            command.push_back(design);
            const int status = run(command, ms);
            const double exited = eventValue(out + "/events.txt", "exited ");
            if (status != 130 || exited < 0) {
                std::fprintf(stderr, "%s: exit status %d, not 130 after the signal\n", s.stage, status);
                return 1;
            }
            times.push_back(exited);
        }
        std::printf("  %-24s %6.0f ms  %6.0f ms\n", s.stage, median(times), *std::max_element(times.begin(), times.end()));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vantrel-send-bench VANTREL_CUT VANTREL_USB_SIM [rounds] [work-folder]\n");
        return 2;
    }
    const std::string tool = argv[1], usbsim = argv[2];
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::string work = argc > 4 ? argv[4] : "/tmp";
    const std::string design = designText();
    const std::string designPath = work + "/send-bench.path";
    std::ofstream(designPath) << design;

    // 1. The session's sending, in process.
    vantrel::cli::CutToolOptions options;
    StringSource source(design);
    vantrel::cli::PreparedCut cut;
    std::string job;
    if (!cut.prepare(options, source, "bench").ok || !cut.job(2, job).ok) {
        std::fprintf(stderr, "the design did not become a job\n");
        return 1;
    }
    std::vector<double> rates, cpuRates;
    for (int r = 0; r < rounds; ++r) {
        std::string copy = job;
        InstantLink link;
        std::atomic<bool> quit{false};
        vantrel::CutSession session(link, quit);
        std::size_t calls = 0;
        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        session.send(copy, [&](std::size_t, std::size_t) { ++calls; });
        const double cpu = cpuSeconds() - cpuStart;
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        rates.push_back(static_cast<double>(job.size()) / s / 1e6);
        cpuRates.push_back(static_cast<double>(job.size()) / cpu / 1e6);
    }
    std::printf("job: %zu segments, %.1f MB\n", Segments, static_cast<double>(job.size()) / 1e6);
    std::printf("sending to an instant link: %.0f MB/s by the wall clock, %.0f MB/s of processor time (medians of %d)\n",
                median(rates), median(cpuRates), rounds);

    // 2. Whole runs, interleaved.
    std::vector<double> toFile, toFirstByte;
    for (int r = 0; r < rounds; ++r) {
        const double file = runMs({tool, "--model", "2", "-o", work + "/send-bench.job", designPath});
        const std::string out = work + "/send-bench-sim";
        // Bytes 1 to 5 are the status and identification requests.
        const double whole = runMs({usbsim, "--time-byte", "6", "--out", out, "--", tool, "--send", designPath});
        const double first = eventValue(out + "/events.txt", "byte 6 at ");
        if (file < 0 || whole < 0 || first < 0) {
            std::fprintf(stderr, "a run failed (file %.0f, send %.0f, first byte %.0f)\n", file, whole, first);
            return 1;
        }
        toFile.push_back(file);
        toFirstByte.push_back(first);
    }
    std::printf("vantrel-cut -o FILE, start to exit:          %8.1f ms\n", median(toFile));
    std::printf("vantrel-cut --send, start to first job byte: %8.1f ms\n", median(toFirstByte));
    std::printf("ratio: %.2f (medians of %d interleaved rounds)\n", median(toFirstByte) / median(toFile), rounds);

    return quitTimes(tool, usbsim, rounds, work);
}
