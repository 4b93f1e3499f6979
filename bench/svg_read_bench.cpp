// Reading a big SVG document beside reading the same geometry as path data.
// Both designs are made in memory: about 10 MB of <path> elements in a
// document whose user unit is the inch, and the same commands as one path
// data text. Each is read through a DesignTextSource, as vantrel-cut reads a
// file; the SVG reader keeps its own whole copy of the document.
//
//   vantrel-svg-bench [megabytes] [rounds]
//
// Prints the best time of each over the rounds (interleaved) and their ratio, and the peak
// of heap memory each reading holds (operator new and pugixml's allocations,
// counted here) over the document's size, all from this one run.
#include <malloc.h>

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>

#include "design/design_file.h"

namespace {

std::size_t g_current = 0, g_peak = 0;

void* counted(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) return nullptr;
    g_current += malloc_usable_size(p);
    g_peak = std::max(g_peak, g_current);
    return p;
}
void uncounted(void* p) {
    if (!p) return;
    g_current -= malloc_usable_size(p);
    std::free(p);
}

class MemorySource : public vantrel::DesignTextSource {
public:
    explicit MemorySource(const std::string& text) : text_(text) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, text_.size() - at_);
        std::memcpy(buffer, text_.data() + at_, n);
        at_ += n;
        return n;
    }
    std::size_t sizeHint() const override { return text_.size() - at_; }

private:
    const std::string& text_;
    std::size_t at_ = 0;
};

// Path data of one figure: a start, lines and cubics in the style of a
// drawing program's output (absolute and relative, four decimals).
std::string figure(std::mt19937& random) {
    std::uniform_real_distribution<double> at(0.5, 11.5), step(-0.2, 0.2);
    char buffer[160];
    std::string d;
    std::snprintf(buffer, sizeof buffer, "M %.4f %.4f", at(random), at(random));
    d += buffer;
    for (int i = 0; i < 60; ++i) {
        if (i % 3 == 0)
            std::snprintf(buffer, sizeof buffer, " c %.4f,%.4f %.4f,%.4f %.4f,%.4f", step(random), step(random),
                          step(random), step(random), step(random), step(random));
        else
            std::snprintf(buffer, sizeof buffer, " l %.4f,%.4f", step(random), step(random));
        d += buffer;
    }
    return d + " z";
}

struct Reading {
    double seconds = 1e30;
    std::size_t peak = 0;
    std::size_t points = 0;
};

// One more reading into `best`: the least time, the most memory.
void measure(const std::string& text, const char* name, Reading& best) {
    {
        MemorySource source(text);
        g_peak = g_current;
        const std::size_t before = g_current;
        const auto start = std::chrono::steady_clock::now();
        vantrel::DesignParseResult result = vantrel::readDesign(source, name);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!result.ok) {
            std::fprintf(stderr, "%s: %s\n", name, result.errorText().c_str());
            std::exit(1);
        }
        best.seconds = std::min(best.seconds, seconds);
        best.peak = std::max(best.peak, g_peak - before);
        best.points = result.path.size();
    }
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { uncounted(p); }

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 10;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 9;
    pugi::set_memory_management_functions(counted, uncounted);

    std::mt19937 random(20);
    std::string pathData = "# the same geometry as the SVG document\n";
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"12in\" height=\"12in\" viewBox=\"0 0 12 12\">\n"
        "<g fill=\"none\" stroke=\"#000\" stroke-width=\"0.01\">\n";
    const std::size_t target = static_cast<std::size_t>(megabytes * 1e6);
    while (svg.size() < target) {
        const std::string d = figure(random);
        svg += "<path d=\"" + d + "\"/>\n";
        pathData += d + "\n";
    }
    svg += "</g>\n</svg>\n";

    // Interleaved, so that a busy spell of the machine falls on both alike.
    Reading data, document;
    for (int round = 0; round < rounds; ++round) {
        measure(pathData, "design.path", data);
        measure(svg, "design.svg", document);
    }
    if (data.points != document.points) {
        std::fprintf(stderr, "the two readings differ: %zu and %zu points\n", data.points, document.points);
        return 1;
    }
    std::printf("%zu points, best of %d rounds\n", data.points, rounds);
    std::printf("path data    %6.2f MB  %8.1f ms  peak heap %6.2f MB (%.2f x its size)\n", pathData.size() / 1e6,
                data.seconds * 1e3, data.peak / 1e6, static_cast<double>(data.peak) / pathData.size());
    std::printf("SVG document %6.2f MB  %8.1f ms  peak heap %6.2f MB (%.2f x its size)\n", svg.size() / 1e6,
                document.seconds * 1e3, document.peak / 1e6, static_cast<double>(document.peak) / svg.size());
    std::printf("SVG / path data time: %.2f\n", document.seconds / data.seconds);
    return 0;
}
