// Any bytes given as a design file: the parser either fails with a position
// inside the text or yields a path whose arrays agree and whose points are in range.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "design/design_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto result = vantrel::parseDesign(text);
    if (result.ok) {
        if (result.path.points.size() != result.path.types.size()) std::abort();
        for (const auto& p : result.path.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || std::fabs(p.x) > vantrel::MaxDesignCoordinate ||
                std::fabs(p.y) > vantrel::MaxDesignCoordinate)
                std::abort();
    } else if (result.errorLine < 1 || result.errorColumn < 1 || result.errorMessage.empty()) {
        std::abort();
    }
    return 0;
}
