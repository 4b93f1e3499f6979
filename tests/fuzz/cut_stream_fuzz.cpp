// Any bytes as a cutting job: settings from the first bytes, then points of
// five bytes each (x and y as 16-bit values, a type byte). The job text is
// written into memory measured beforehand, so the sanitizers see any miscount;
// a job either fails with an error and no text or is well framed. Written in
// pieces (a flattened job a figure at a time), it is the same text with the
// same error.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "cutdata/cut_stream.h"

namespace {

struct Joined : vantrel::CutStreamWriter {
    bool write(char* piece, std::size_t size) override {
        text.append(piece, size);
        return true;
    }
    std::string text;
};

float coordinate(std::int16_t raw) {
    // A few raw values stand for the values that must never be cut.
    switch (raw) {
    case 32767: return std::numeric_limits<float>::quiet_NaN();
    case -32768: return -std::numeric_limits<float>::infinity();
    case 32766: return 3e38f;
    case 32765: return 5e6f;
    default: return raw / 64.0f;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    vantrel::CutJob job;
    job.keepCurves = (data[0] & 1) != 0;
    job.trackEnhancing = (data[0] & 2) != 0;
    job.carrierMat = (data[0] & 4) != 0;
    job.bladeOffset = (data[0] & 8) != 0;
    job.printAndCut = (data[0] & 16) != 0;
    job.knifePoint = (data[0] & 32) != 0;
    job.passCount = data[1] % 12;
    job.model = data[2] % 5;
    job.force = 1 + data[3] % 34;
    job.markExtentX = job.markExtentY = 1000;
    job.markOriginX = 0.5f;
    const double dpi = data[1] >= 0xF0 ? 0.0 : 508.0;
    for (std::size_t i = 4; i + 5 <= size; i += 5) {
        std::int16_t x, y;
        std::memcpy(&x, data + i, 2);
        std::memcpy(&y, data + i + 2, 2);
        job.path.points.push_back({coordinate(x), coordinate(y)});
        job.path.types.push_back(data[i + 4]);
    }
    const vantrel::CutStreamResult result = vantrel::buildCutStream(job, dpi, dpi, 12.0f);
    Joined streamed;
    vantrel::JobExtent extent;
    if (vantrel::writeCutStream(job, dpi, dpi, 12.0f, streamed, &extent) != result.error || streamed.text != result.text)
        std::abort();
    if (result.ok() && !(extent.reachX >= 0 && extent.reachY >= 0 && std::isfinite(extent.reachX + extent.reachY)))
        std::abort();
    if (!result.ok()) {
        if (!result.text.empty()) std::abort();
        return 0;
    }
    const std::string_view text = result.text;
    if (!text.ends_with("|&1,1,1|TB50,0|FO0|H|") || text.find("L0|L0|M0,0") == std::string_view::npos) std::abort();
    // Nothing but command characters: no byte of stale or unwritten memory.
    for (char c : text)
        if (!(c >= '0' && c <= '9') && std::strchr("|,-MDBZFNJCTUXLO&!\\H", c) == nullptr) std::abort();
    return 0;
}
