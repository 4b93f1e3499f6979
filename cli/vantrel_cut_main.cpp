// vantrel-cut: writes the job text the plug-in would send for a design file.
// Bad input gets one line on standard error, exit status 2, and no output.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cut_tool.h"

namespace {

constexpr int BadInput = 2;

int failWith(const std::string& message) {
    std::cerr << "vantrel-cut: " << message << '\n';
    return BadInput;
}

bool readAll(std::istream& in, std::string& text) {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Written beside the target and renamed over it, so a failed write never
// leaves a partial job where a good one is expected.
bool writeFile(const std::string& path, const std::string& data) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            std::remove(partial.c_str());
            return false;
        }
    }
    std::remove(path.c_str());  // rename does not replace a file everywhere
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return false;
    }
    return true;
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

    std::string designText;
    if (options.design == "-") {
        if (!readAll(std::cin, designText)) return failWith("cannot read the design from standard input");
    } else {
        std::ifstream in(options.design, std::ios::binary);
        if (!in || !readAll(in, designText)) return failWith("cannot read the design file \"" + options.design + "\"");
    }

    auto result = vantrel::cli::runCutTool(options, designText, options.design == "-" ? "<stdin>" : options.design);
    if (!result.ok) return failWith(result.error);

    if (options.output.empty()) {
        std::cout.write(result.output.data(), static_cast<std::streamsize>(result.output.size()));
        std::cout.flush();
        if (!std::cout) return failWith("cannot write to standard output");
    } else if (!writeFile(options.output, result.output)) {
        return failWith("cannot write \"" + options.output + "\"");
    }
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
