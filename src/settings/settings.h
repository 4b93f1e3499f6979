#pragma once
// Every persistent value of the plug-in: its name in the profile section
// "Settings", its type, default and range, and how one dialog start loads the
// live settings (writing some of them back at once, so the profile always
// equals what the dialog shows). Also the host's two registration-mark values.
#include <string>
#include <string_view>

#include "settings/profile.h"

namespace vantrel {

// An integer profile value with the range its control can show.
struct IntSetting {
    std::string_view name;
    int defaultValue;
    int minimum;
    int maximum;
};

inline constexpr IntSetting ForceSetting{"sil_force", 10, 1, 33};
inline constexpr IntSetting SpeedSetting{"sil_speed", 10, 1, 10};
// Rows of the Multi-Cut list: 0 "Disabled", 1 "2 Times" ... 9 "10 Times".
inline constexpr IntSetting MultiCutSetting{"sil_multicut", 0, 0, 9};
// Rows of the Cut Type list (CutType).
inline constexpr IntSetting CutTypeSetting{"sil_cuttype", 0, 0, 2};
inline constexpr IntSetting TrackEnhancingSetting{"sil_trackenh", 0, 0, 1};
inline constexpr IntSetting CarrierMatSetting{"sil_carmat", 1, 0, 1};
inline constexpr IntSetting BladeOffsetSetting{"sil_usebo", 1, 0, 1};

inline constexpr std::string_view DpiXSetting = "sil_dpix";
inline constexpr std::string_view DpiYSetting = "sil_dpiy";
inline constexpr std::u16string_view DefaultResolutionText = u"508.0";
inline constexpr std::string_view PresetsSetting = "sil_presets";

enum class CutType : int { Wysiwyg = 0, PrintAndCut = 1, KnifePoint = 2 };

// A list row of -1 means "no selection": what a stored row outside the list
// gives until the user picks one.
inline constexpr int NoSelection = -1;

// The live settings of one main dialog, mirrored field by field in the profile.
struct CutSettings {
    int forceLevel = ForceSetting.defaultValue;
    int speedLevel = SpeedSetting.defaultValue;
    int multiCutIndex = MultiCutSetting.defaultValue;  // or NoSelection
    int cutTypeIndex = CutTypeSetting.defaultValue;    // or NoSelection
    bool trackEnhancing = false;
    bool carrierMat = true;
    bool bladeOffset = true;

    // Passes per figure; 0 while the Multi-Cut list has no selection.
    int passCount() const { return multiCutIndex < 0 ? 0 : multiCutIndex + 1; }
    // No selection cuts as "WYSIWYG".
    bool printAndCut() const { return cutTypeIndex == static_cast<int>(CutType::PrintAndCut); }
    bool knifePoint() const { return cutTypeIndex == static_cast<int>(CutType::KnifePoint); }

    friend bool operator==(const CutSettings&, const CutSettings&) = default;
};

// What a slider shows for a stored level: clamped into its range.
int clampLevel(const IntSetting& setting, int stored);
// What a list shows for a stored row: the row, or NoSelection outside the list.
int listRow(const IntSetting& setting, int stored);

// The host's own settings, read only.
class HostMarkSettings {
public:
    virtual ~HostMarkSettings() = default;
    // "print_regmarks" is nonzero: the host prints registration marks.
    virtual bool readPrintRegMarks() const = 0;
    // "reg_mark_type": the kind of mark the host prints; 2 is the square origin mark.
    virtual int readRegMarkType() const = 0;
};

inline constexpr std::string_view PrintRegMarksValue = "print_regmarks";
inline constexpr std::string_view RegMarkTypeValue = "reg_mark_type";
inline constexpr int SquareRegMarkType = 2;

// Fixed values: for tests and the command-line tool; default is a host that
// prints no marks.
class FixedHostMarkSettings : public HostMarkSettings {
public:
    FixedHostMarkSettings(bool printRegMarks = false, int regMarkType = 0)
        : printRegMarks_(printRegMarks), regMarkType_(regMarkType) {}
    bool readPrintRegMarks() const override { return printRegMarks_; }
    int readRegMarkType() const override { return regMarkType_; }

private:
    bool printRegMarks_;
    int regMarkType_;
};

// The host prints marks of a known kind: the dialog then starts in "Print and Cut".
bool hostForcesPrintAndCut(const HostMarkSettings& host);

// One dialog start: reads every setting, in the dialog's order, and writes back
// "sil_usebo", "sil_cuttype", "sil_carmat", "sil_force" and "sil_speed" as the
// controls then show them (clamped levels, -1 for a cut type without selection,
// "Print and Cut" when the host forces it). "sil_multicut" is only read.
CutSettings loadCutSettings(Profile& profile, const HostMarkSettings& host);

// Writes the one field a user change touched; the dialog calls these.
void saveForceLevel(Profile& profile, int level);
void saveSpeedLevel(Profile& profile, int level);
void saveMultiCutIndex(Profile& profile, int row);
void saveCutTypeIndex(Profile& profile, int row);
void saveTrackEnhancing(Profile& profile, bool on);
void saveCarrierMat(Profile& profile, bool on);
void saveBladeOffset(Profile& profile, bool on);

// Steps per inch of each axis, read afresh from the profile at every use.
struct Resolution {
    float dpiX = 508.0f;  // design x, along the media feed
    float dpiY = 508.0f;  // design y, along the carriage
    friend bool operator==(const Resolution&, const Resolution&) = default;
};

// Reads "sil_dpix" and "sil_dpiy" (default "508.0"), hands the stored texts to
// the caller when asked, and parses them with ParseMeasurement. Text that does
// not read gives 0 for that axis; no message is shown here.
Resolution readResolution(const Profile& profile, std::u16string* textX = nullptr,
                          std::u16string* textY = nullptr);

// A resolution a length can be converted with: 1 to 100000 steps per inch on
// both axes (resolutionInRange). Whoever converts checks this first, so a bad
// stored text never becomes a job of zero-length or gigantic moves.
bool isUsableResolution(const Resolution& resolution);

// Stores both texts exactly as typed, unparsed.
void saveResolutionTexts(Profile& profile, std::u16string_view textX, std::u16string_view textY);

}  // namespace vantrel
