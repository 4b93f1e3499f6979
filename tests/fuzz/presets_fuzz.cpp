// Any text stored as "sil_presets", and any help page: the record reader
// keeps only whole records, and what it read is written back and read again
// unchanged; the help text view's converter never fails on broken markup.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/help_document.h"
#include "tools/presets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    auto presets = vantrel::decodePresets(text);
    for (auto& p : presets) {
        if (p.name.empty() || !vantrel::presetNameProblem(p.name).empty()) std::abort();
        p.builtIn = false;
    }
    if (vantrel::decodePresets(vantrel::encodePresets(presets)) != presets) std::abort();

    std::u16string shown = vantrel::helpFallbackText(text);
    if (shown.size() > 16 * text.size() + 16) std::abort();
    return 0;
}
