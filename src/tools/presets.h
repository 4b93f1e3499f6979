#pragma once
// Material presets: the built-in list, the record format of the profile value
// "sil_presets", and the texts the presets dialog shows.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct MaterialPreset {
    std::u16string name;
    int speed = 0;
    int force = 0;
    int depth = 0;       // 0 sketch pen, 1..3 blade depth 0.1..0.3 mm; also the icon index
    bool carrierMat = false;
    bool bladeOffset = false;
    int multiCut = 1;    // passes, 1 to 10
    bool builtIn = false;
    friend bool operator==(const MaterialPreset&, const MaterialPreset&) = default;
};

inline constexpr char16_t PresetFieldSeparator = u'\t';
inline constexpr char16_t PresetRecordTerminator = u'\u00FF';
inline constexpr int PresetDepthCount = 4;

// The nineteen presets every list starts with, in list order.
const std::vector<MaterialPreset>& builtInPresets();

// One record with its terminator: "%i\t%i\t%i\t%i\t%i\t%i\t%i\t%s" of blade
// offset, carrier mat, depth, force, multi-cut, speed, built-in (always 0 as
// written) and name, then U+00FF.
std::u16string encodePresetRecord(const MaterialPreset& preset);
// Every user preset (built-in clear) in order; built-in ones are never written.
std::u16string encodePresets(const std::vector<MaterialPreset>& presets);

// One record without its terminator. Empty pieces are skipped, so a run of
// tabs is one separator. A record with fewer than eight pieces is refused: a
// half-read record would show as a preset with made-up values.
std::optional<MaterialPreset> decodePresetRecord(std::u16string_view record);
// Every record up to the last terminator; text after it is ignored.
std::vector<MaterialPreset> decodePresets(std::u16string_view stored);

// Why a name cannot be stored intact, or empty when it can: the record
// format has no escape for its separator and terminator.
std::u16string presetNameProblem(std::u16string_view name);
// White space stripped from the right end, then from the left.
std::u16string trimPresetName(std::u16string_view name);

// "N/A", "0.1 mm.", "0.2 mm.", "0.3 mm."; empty for any other depth.
std::u16string depthText(int depth);
// The six lines of the information panel, each ended by "\n".
std::u16string presetInfoText(const MaterialPreset& preset);
// The question asked before a user preset is deleted.
std::u16string deletePresetQuestion(std::u16string_view name);

}  // namespace vantrel
