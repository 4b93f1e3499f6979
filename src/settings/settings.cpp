#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "settings/measurement.h"
#include "settings/resolution_range.h"

namespace vantrel {

int clampLevel(const IntSetting& setting, int stored) {
    return std::clamp(stored, setting.minimum, setting.maximum);
}

int listRow(const IntSetting& setting, int stored) {
    return stored < setting.minimum || stored > setting.maximum ? NoSelection : stored;
}

bool hostForcesPrintAndCut(const HostMarkSettings& host) {
    return host.readPrintRegMarks() && host.readRegMarkType() > 0;
}

namespace {

// A parsed text beyond a float's range reads as 0, like text without a number:
// converting it would be undefined, and no machine has that many steps.
float toAxisResolution(double parsed) {
    return std::fabs(parsed) <= std::numeric_limits<float>::max() ? static_cast<float>(parsed) : 0.0f;
}

int readFlag(const Profile& profile, const IntSetting& setting) {
    // A check box shows any nonzero state as ticked.
    return profile.readInt(setting.name, setting.defaultValue) != 0;
}

}  // namespace

CutSettings loadCutSettings(Profile& profile, const HostMarkSettings& host) {
    CutSettings settings;
    settings.bladeOffset = readFlag(profile, BladeOffsetSetting);
    saveBladeOffset(profile, settings.bladeOffset);

    settings.multiCutIndex = listRow(MultiCutSetting, profile.readInt(MultiCutSetting.name, MultiCutSetting.defaultValue));

    settings.cutTypeIndex = listRow(CutTypeSetting, profile.readInt(CutTypeSetting.name, CutTypeSetting.defaultValue));
    saveCutTypeIndex(profile, settings.cutTypeIndex);

    const bool hostFlag = hostForcesPrintAndCut(host);

    settings.speedLevel = clampLevel(SpeedSetting, profile.readInt(SpeedSetting.name, SpeedSetting.defaultValue));
    settings.forceLevel = clampLevel(ForceSetting, profile.readInt(ForceSetting.name, ForceSetting.defaultValue));

    settings.trackEnhancing = readFlag(profile, TrackEnhancingSetting);
    settings.carrierMat = readFlag(profile, CarrierMatSetting);

    if (hostFlag) settings.cutTypeIndex = static_cast<int>(CutType::PrintAndCut);

    saveCarrierMat(profile, settings.carrierMat);
    saveCutTypeIndex(profile, settings.cutTypeIndex);
    saveForceLevel(profile, settings.forceLevel);
    saveSpeedLevel(profile, settings.speedLevel);
    return settings;
}

void saveForceLevel(Profile& profile, int level) { profile.writeInt(ForceSetting.name, level); }
void saveSpeedLevel(Profile& profile, int level) { profile.writeInt(SpeedSetting.name, level); }
void saveMultiCutIndex(Profile& profile, int row) { profile.writeInt(MultiCutSetting.name, row); }
void saveCutTypeIndex(Profile& profile, int row) { profile.writeInt(CutTypeSetting.name, row); }
void saveTrackEnhancing(Profile& profile, bool on) { profile.writeInt(TrackEnhancingSetting.name, on ? 1 : 0); }
void saveCarrierMat(Profile& profile, bool on) { profile.writeInt(CarrierMatSetting.name, on ? 1 : 0); }
void saveBladeOffset(Profile& profile, bool on) { profile.writeInt(BladeOffsetSetting.name, on ? 1 : 0); }

Resolution readResolution(const Profile& profile, std::u16string* textX, std::u16string* textY) {
    Resolution resolution;
    std::u16string x = profile.readText(DpiXSetting, DefaultResolutionText);
    resolution.dpiX = toAxisResolution(ParseMeasurement(x));
    if (textX) *textX = std::move(x);
    std::u16string y = profile.readText(DpiYSetting, DefaultResolutionText);
    resolution.dpiY = toAxisResolution(ParseMeasurement(y));
    if (textY) *textY = std::move(y);
    return resolution;
}

bool isUsableResolution(const Resolution& resolution) {
    return resolutionInRange(resolution.dpiX) && resolutionInRange(resolution.dpiY);
}

void saveResolutionTexts(Profile& profile, std::u16string_view textX, std::u16string_view textY) {
    profile.writeText(DpiXSetting, textX);
    profile.writeText(DpiYSetting, textY);
}

}  // namespace vantrel
