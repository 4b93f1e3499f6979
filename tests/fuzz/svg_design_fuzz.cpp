// Any bytes given as an SVG document: the reader either refuses it with a
// position and a message or yields a path whose arrays agree and whose points
// are in range, and whatever it left out is counted.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "design/design_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto result = vantrel::parseSvg(std::string(reinterpret_cast<const char*>(data), size));
    if (result.ok) {
        if (result.path.points.size() != result.path.types.size()) std::abort();
        for (const auto& p : result.path.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || std::fabs(p.x) > vantrel::MaxDesignCoordinate ||
                std::fabs(p.y) > vantrel::MaxDesignCoordinate)
                std::abort();
        for (const auto& left : result.leftOut)
            if (left.kind.empty() || left.count < 1) std::abort();
    } else if (result.errorLine < 1 || result.errorColumn < 1 || result.errorMessage.empty()) {
        std::abort();
    }
    return 0;
}
