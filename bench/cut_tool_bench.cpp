// The whole vantrel-cut run (read, parse, generate, write) on big design
// files, beside a floor process: the same program run as `--floor`, which
// reads the same numbers with std::from_chars and writes the same job text
// with std::to_chars, and nothing else. Both write to a file; the floor's
// output is compared with the tool's byte for byte, so the floor is honest.
//
//   vantrel-cut-bench TOOL [rounds] [work-folder] [--against OTHER-TOOL]
//
// With --against, another build of the tool (an earlier commit, built alike)
// runs each case in the same rounds, interleaved, and each case gains its
// median processor time over the other's: a change's cost or gain, paired.
//
// Prints per case the median wall and processor (user + system) times, output
// MB/s and the ratio to the floor from each (all measured in this one run,
// runs interleaved; on a busy machine the processor times are the steadier),
// and the peak resident memory of the tool over the job's size.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- designs

class TextFile {
public:
    explicit TextFile(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
    ~TextFile() {
        flush();
        if (file_) std::fclose(file_);
    }
    bool ok() const { return file_ != nullptr; }
    void put(char c) {
        if (buffer_.size() > (1 << 20)) flush();
        buffer_.push_back(c);
    }
    void put(const char* text) {
        while (*text) put(*text++);
    }
    void number(float value) {
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        buffer_.append(digits, end);
    }
    void pair(float x, float y) {
        put(' ');
        number(x);
        put(' ');
        number(y);
    }

private:
    void flush() {
        if (file_ && !buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        buffer_.clear();
    }
    std::FILE* file_;
    std::string buffer_;
};

// Closed chains of 20 cubic curves, each about a quarter of an inch across,
// as a host exports them: shortest float text, absolute commands.
bool writeCurveDesign(const std::string& path, std::size_t curves) {
    TextFile out(path);
    if (!out.ok()) return false;
    std::mt19937 random(2);
    std::uniform_real_distribution<float> x(1, 19), y(1, 10), step(-0.25f, 0.25f);
    std::size_t made = 0;
    while (made < curves) {
        float cx = x(random), cy = y(random);
        out.put("M");
        out.pair(cx, cy);
        for (int i = 0; i < 20 && made < curves; ++i, ++made) {
            out.put(" C");
            for (int k = 0; k < 3; ++k) {
                cx += step(random), cy += step(random);
                out.pair(cx, cy);
            }
        }
        out.put(" Z\n");
    }
    return true;
}

// Closed polygons of 50 corners over an 11 x 20 inch area.
bool writeLineDesign(const std::string& path, std::size_t lines) {
    TextFile out(path);
    if (!out.ok()) return false;
    std::mt19937 random(1);
    std::uniform_real_distribution<float> x(0.5f, 20), y(0.5f, 11);
    std::size_t made = 0;
    while (made < lines) {
        out.put("M");
        out.pair(x(random), y(random));
        for (int i = 0; i < 49 && made < lines; ++i, ++made) {
            out.put(" L");
            out.pair(x(random), y(random));
        }
        out.put(" Z\n");
    }
    return true;
}

// ---------------------------------------------------------------- floor

// The job's fixed parts for the tool's default options (model 1, carrier mat
// on, 508 steps per inch, 12 inch media), and its placement in inches.
constexpr const char* FloorHeader =
    "FN0|FN1|FJ|FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z6096,20000|FX10,0|!10,0|L0|L0|M0,0";
constexpr const char* FloorTrailer = "|&1,1,1|TB50,0|FO0|H|";
constexpr float PlaceX = 0, PlaceY = -0.15625f, Scale = 508;

// Reads "M x y", "L x y", "C x y x y x y" and "Z" (absolute, as written
// above) and writes the curve-form body: each figure closed by a line back to
// its start. Returns 0 when done.
int runFloor(const char* designPath, const char* outputPath) {
    std::FILE* in = std::fopen(designPath, "rb");
    std::FILE* out = std::fopen(outputPath, "wb");
    if (!in || !out) return 1;
    constexpr std::size_t Chunk = 1 << 20;
    std::vector<char> text(Chunk + 64);
    std::vector<char> job(Chunk + 256);
    std::size_t jobUsed = 0;
    auto emit = [&](const char* s, std::size_t n) {
        std::memcpy(job.data() + jobUsed, s, n);
        jobUsed += n;
    };
    auto flushIfFull = [&] {
        if (jobUsed > Chunk) {
            std::fwrite(job.data(), 1, jobUsed, out);
            jobUsed = 0;
        }
    };
    auto pair = [&](std::int32_t y, std::int32_t x) {
        char* p = job.data() + jobUsed;
        p = std::to_chars(p, p + 11, y).ptr;
        *p++ = ',';
        p = std::to_chars(p, p + 11, x).ptr;
        jobUsed = static_cast<std::size_t>(p - job.data());
    };
    auto steps = [](double inches, float place) {
        const double v = (static_cast<float>(inches) + place) * Scale;
        return static_cast<std::int32_t>(v >= 0 ? v + 0.5 : v - 0.5);
    };
    emit(FloorHeader, std::strlen(FloorHeader));

    std::size_t have = 0, at = 0;
    bool end = false;
    double numbers[6];
    int wanted = 0, got = 0;
    char command = 0;
    std::int32_t startY = 0, startX = 0, lastY = 0, lastX = 0;
    for (;;) {
        if (!end && have - at < 64) {
            std::memmove(text.data(), text.data() + at, have - at);
            have -= at;
            at = 0;
            const std::size_t n = std::fread(text.data() + have, 1, Chunk, in);
            have += n;
            end = n == 0;
        }
        if (at >= have) break;
        const char c = text[at];
        if (c == ' ' || c == '\n') {
            ++at;
            continue;
        }
        if (c == 'M' || c == 'L' || c == 'C' || c == 'Z') {
            command = c;
            wanted = c == 'C' ? 6 : c == 'Z' ? 0 : 2;
            got = 0;
            ++at;
            if (c == 'Z') {
                emit("|D", 2);
                pair(startY, startX);
                flushIfFull();
            }
            continue;
        }
        const auto parsed = std::from_chars(text.data() + at, text.data() + have, numbers[got]);
        if (parsed.ec != std::errc()) return 1;
        at = static_cast<std::size_t>(parsed.ptr - text.data());
        if (++got < wanted) continue;
        got = 0;
        if (command == 'C') {
            emit("|BZ1,", 5);
            pair(lastY, lastX);
            for (int k = 0; k < 6; k += 2) {
                emit(",", 1);
                lastY = steps(numbers[k + 1], PlaceY);
                lastX = steps(numbers[k], PlaceX);
                pair(lastY, lastX);
            }
        } else {
            lastY = steps(numbers[1], PlaceY);
            lastX = steps(numbers[0], PlaceX);
            emit(command == 'M' ? "|M" : "|D", 2);
            pair(lastY, lastX);
            if (command == 'M') startY = lastY, startX = lastX;
        }
        flushIfFull();
    }
    emit(FloorTrailer, std::strlen(FloorTrailer));
    std::fwrite(job.data(), 1, jobUsed, out);
    const bool written = std::fclose(out) == 0;
    std::fclose(in);
    return written ? 0 : 1;
}

// ---------------------------------------------------------------- running

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system: less disturbed by other work on the machine
    double peakBytes = 0;
    bool ok = false;
};

Run runProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
    auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long long fileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long long size = std::ftell(f);
    std::fclose(f);
    return size;
}

bool sameFile(const std::string& a, const std::string& b) {
    return std::system(("cmp -s '" + a + "' '" + b + "'").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--floor") == 0) return runFloor(argv[2], argv[3]);
    std::string against;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--against") == 0 && i + 1 < argc)
            against = argv[++i];
        else
            positional.push_back(argv[i]);
    }
    if (positional.empty()) {
        std::fprintf(stderr, "usage: %s TOOL [rounds] [work-folder] [--against OTHER-TOOL]\n", argv[0]);
        return 2;
    }
    const std::string tool = positional[0];
    const int rounds = positional.size() > 1 ? std::max(1, std::atoi(positional[1].c_str())) : 5;
    const std::string work = positional.size() > 2 ? positional[2] : "/tmp/vantrel-cut-bench";
    std::system(("mkdir -p '" + work + "'").c_str());
    char self[4096];
    const ssize_t selfLength = readlink("/proc/self/exe", self, sizeof self - 1);
    if (selfLength <= 0) return 1;
    self[selfLength] = 0;

    struct Case {
        const char* name;
        std::string design;
        std::vector<std::string> options;
        bool floor;
    };
    const std::string curves = work + "/curves.path", lines = work + "/lines.path";
    if (!writeCurveDesign(curves, 1000000) || !writeLineDesign(lines, 1000000)) return 1;
    const std::vector<Case> cases = {
        {"10^6 cubic curves, one pass", curves, {}, true},
        {"10^6 lines, one pass", lines, {}, true},
        {"10^6 cubic curves, --flatten", curves, {"--flatten"}, false},
    };
    std::printf("%-30s %7s %7s | %-29s | %-29s | %s%s\n", "case", "design", "job", "wall: tool ms  MB/s  /floor",
                "cpu: tool ms  MB/s  /floor", "peak", against.empty() ? "" : " | cpu /other");
    int rc = 0;
    for (const Case& c : cases) {
        const std::string toolOut = work + "/tool.out", floorOut = work + "/floor.out";
        std::vector<std::string> toolArgs{tool};
        toolArgs.insert(toolArgs.end(), c.options.begin(), c.options.end());
        toolArgs.insert(toolArgs.end(), {"-o", toolOut, c.design});
        std::vector<double> toolSeconds, floorSeconds, toolCpu, floorCpu, peaks, otherCpu;
        for (int r = 0; r < rounds; ++r) {
            if (!against.empty()) {
                std::vector<std::string> otherArgs = toolArgs;
                otherArgs[0] = against;
                otherArgs[otherArgs.size() - 2] = work + "/other.out";
                const Run o = runProcess(otherArgs);
                if (o.ok) otherCpu.push_back(o.cpuSeconds);
            }
            const Run t = runProcess(toolArgs);
            if (!t.ok) {
                std::printf("%s: the tool failed\n", c.name);
                rc = 1;
                break;
            }
            toolSeconds.push_back(t.seconds);
            toolCpu.push_back(t.cpuSeconds);
            peaks.push_back(t.peakBytes);
            if (c.floor) {
                const Run f = runProcess({self, "--floor", c.design, floorOut});
                if (!f.ok) {
                    std::printf("%s: the floor failed\n", c.name);
                    rc = 1;
                    break;
                }
                floorSeconds.push_back(f.seconds);
                floorCpu.push_back(f.cpuSeconds);
            }
        }
        if (toolSeconds.empty()) continue;
        const double jobBytes = static_cast<double>(fileSize(toolOut));
        if (c.floor && !floorSeconds.empty() && !sameFile(toolOut, floorOut)) {
            std::printf("%s: the floor wrote a different job\n", c.name);
            rc = 1;
        }
        if (!against.empty() && (otherCpu.empty() || !sameFile(toolOut, work + "/other.out"))) {
            std::printf("%s: the other tool failed or wrote a different job\n", c.name);
            rc = 1;
        }
        auto column = [&](const std::vector<double>& tool, const std::vector<double>& floor) {
            char text[64];
            const double ms = 1000 * median(tool);
            const int n = std::snprintf(text, sizeof text, "%9.1f %7.1f ", ms, jobBytes / 1e6 / (ms / 1000));
            if (floor.empty())
                std::snprintf(text + n, sizeof text - n, "%10s", "-");
            else
                std::snprintf(text + n, sizeof text - n, "%9.2fx", ms / (1000 * median(floor)));
            return std::string(text);
        };
        std::printf("%-30s %5.1fMB %5.1fMB | %s | %s | %.1f MB = %.2fx job\n", c.name,
                    static_cast<double>(fileSize(c.design)) / 1e6, jobBytes / 1e6,
                    column(toolSeconds, floorSeconds).c_str(), column(toolCpu, floorCpu).c_str(), median(peaks) / 1e6,
                    median(peaks) / jobBytes);
        if (!otherCpu.empty()) std::printf("%-30s cpu over the other tool's: %.3fx\n", "", median(toolCpu) / median(otherCpu));
    }
    std::remove(curves.c_str());
    std::remove(lines.c_str());
    std::remove((work + "/tool.out").c_str());
    std::remove((work + "/floor.out").c_str());
    std::remove((work + "/other.out").c_str());
    return rc;
}
