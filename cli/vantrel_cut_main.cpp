// vantrel-cut: writes the job text the plug-in would send for a design file.
// Bad input gets one line on standard error, exit status 2, and no output.
// The design is read and the job written piece by piece: neither is ever held
// whole, so a big design needs little more memory than its path.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cut_tool.h"
#include "gzip_design.h"
#ifdef VANTREL_USB
#include "send_command.h"
#endif

namespace {

constexpr int BadInput = 2;

int failWith(const std::string& message) {
    std::cerr << "vantrel-cut: " << message << '\n';
    return BadInput;
}

// Owns a C stream it opened (never standard input or output).
struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file) std::fclose(file);
    }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

class FileSource : public vantrel::DesignTextSource {
public:
    FileSource(std::FILE* file, std::string failure) : file_(file), failure_(std::move(failure)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t got = std::fread(buffer, 1, size, file_);
        // Parsing stops here, before anything is written.
        if (got == 0 && std::ferror(file_)) throw std::runtime_error(failure_);
        return got;
    }
    std::size_t sizeHint() const override {
        // Only a file that can seek tells its size; a pipe gives 0.
        const long here = std::ftell(file_);
        if (here < 0 || std::fseek(file_, 0, SEEK_END) != 0) return 0;
        const long size = std::ftell(file_);
        std::fseek(file_, here, SEEK_SET);
        return size > here ? static_cast<std::size_t>(size - here) : 0;
    }

private:
    std::FILE* file_;
    std::string failure_;
};

// Standard output, or a file written beside the target and renamed over it
// at the end, so a failed run never leaves a partial job where a good one is
// expected. The file is made at the first piece: a refused run makes none.
class JobOutput : public vantrel::CutStreamWriter {
public:
    explicit JobOutput(std::string path) : path_(std::move(path)), partial_(path_ + ".partial") {}
    ~JobOutput() override {
        if (file_) {
            file_.reset();
            std::remove(partial_.c_str());
        }
    }

    bool write(char* text, std::size_t size) override {
        if (failed_) return false;
        std::FILE* out = stdout;
        if (!path_.empty()) {
            if (!file_) file_.reset(std::fopen(partial_.c_str(), "wb"));
            out = file_.get();
        }
        failed_ = !out || std::fwrite(text, 1, size, out) != size;
        return !failed_;
    }

    // Ends the job: flushes standard output, or closes and renames the file.
    bool finish() {
        if (failed_) return false;
        if (path_.empty()) return std::fflush(stdout) == 0;
        if (!file_) return false;
        const bool closed = std::fclose(file_.release()) == 0;
        if (closed) {
            std::remove(path_.c_str());  // rename does not replace a file everywhere
            if (std::rename(partial_.c_str(), path_.c_str()) == 0) return true;
        }
        std::remove(partial_.c_str());
        return false;
    }
    bool failed() const { return failed_; }

private:
    std::string path_;
    std::string partial_;
    UniqueFile file_;
    bool failed_ = false;
};

// --marks-svg: an SVG design's own text goes into the page, so it is read whole.
int writeMarks(const vantrel::cli::CutToolOptions& options, vantrel::DesignTextSource& design, const std::string& designName) {
    std::string text;
    char buffer[65536];
    while (const std::size_t got = design.read(buffer, sizeof buffer)) text.append(buffer, got);
    auto result = vantrel::cli::writeMarksSvg(options, text, designName);
    if (!result.ok) return failWith(result.error);
    JobOutput output(options.marksSvg);
    if (!output.write(result.output.data(), result.output.size()) || !output.finish())
        return failWith("cannot write \"" + options.marksSvg + "\"");
    for (const std::string& note : result.notes) std::cerr << "vantrel-cut: " << note << '\n';
    return 0;
}

int run(int argc, char** argv) {
#ifdef _WIN32
    // The job holds ETX bytes and the design may come through a pipe: no text-mode translation.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    auto parsed = vantrel::cli::parseCutToolArguments(arguments);
    if (!parsed.ok) return failWith(parsed.error + " (try --help)");
    const auto& options = parsed.options;
    if (options.help) {
        std::cout << vantrel::cli::CutToolUsage;
        return 0;
    }
#ifdef VANTREL_USB
    if (options.list) return vantrel::cli::runList();
    if (options.doctor) return vantrel::cli::runDoctor(options.trace);
#else
    if (options.list || options.send || options.doctor)
        return failWith("--list, --send and --doctor need the USB link, which this build lacks");
#endif

    const bool fromStandardInput = options.design == "-";
    UniqueFile designFile;
    if (!fromStandardInput) {
        designFile.reset(std::fopen(options.design.c_str(), "rb"));
        if (!designFile) return failWith("cannot read the design file \"" + options.design + "\"");
    }
    FileSource file(fromStandardInput ? stdin : designFile.get(),
                    fromStandardInput ? "cannot read the design from standard input"
                                      : "cannot read the design file \"" + options.design + "\"");
    // A compressed drawing (.svgz) is told by its first bytes and read inflated.
    vantrel::cli::GzipAwareSource design(file, fromStandardInput ? "<stdin>" : options.design);
    if (!options.marksSvg.empty()) return writeMarks(options, design, fromStandardInput ? "<stdin>" : options.design);
#ifdef VANTREL_USB
    if (options.send)
        return vantrel::cli::runSend(options, design, fromStandardInput ? "<stdin>" : options.design);
#endif
    JobOutput output(options.output);
    vantrel::cli::JobView view(options);
    vantrel::cli::JobViewWriter viewed(view, output);
    const auto status = vantrel::cli::runCutTool(options, design, fromStandardInput ? "<stdin>" : options.design, viewed);
    const std::string cannotWrite =
        options.output.empty() ? "cannot write to standard output" : "cannot write \"" + options.output + "\"";
    if (output.failed()) return failWith(cannotWrite);
    if (!status.ok) return failWith(status.error);
    if (!output.finish()) return failWith(cannotWrite);
    for (const std::string& note : status.notes) std::cerr << "vantrel-cut: " << note << '\n';
    view.setExtent(status.extent);
    if (std::string error = view.report(status.design, std::cerr); !error.empty()) return failWith(error);
    if (const std::string beyond = view.overhang(status.design); !beyond.empty())
        std::cerr << "vantrel-cut: " << (fromStandardInput ? "<stdin>" : options.design)
                  << ": the job does not fit: it " << beyond << "; the machine leaves that part uncut\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        return failWith(e.what());
    }
}
