#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings.h"

namespace vantrel {
namespace {

TEST(CutSettings, FirstRunShowsDefaultsAndStoresWhatTheDialogShows) {
    MemoryProfile profile;
    CutSettings settings = loadCutSettings(profile, FixedHostMarkSettings());
    EXPECT_EQ(settings, CutSettings{});
    EXPECT_EQ(settings.forceLevel, 10);
    EXPECT_EQ(settings.speedLevel, 10);
    EXPECT_EQ(settings.multiCutIndex, 0);
    EXPECT_EQ(settings.cutTypeIndex, 0);
    EXPECT_FALSE(settings.trackEnhancing);
    EXPECT_TRUE(settings.carrierMat);
    EXPECT_TRUE(settings.bladeOffset);
    EXPECT_EQ(settings.passCount(), 1);

    EXPECT_EQ(profile.storedInt("sil_usebo"), 1);
    EXPECT_EQ(profile.storedInt("sil_cuttype"), 0);
    EXPECT_EQ(profile.storedInt("sil_carmat"), 1);
    EXPECT_EQ(profile.storedInt("sil_force"), 10);
    EXPECT_EQ(profile.storedInt("sil_speed"), 10);
    // Only read at a start, never written.
    EXPECT_EQ(profile.storedInt("sil_multicut"), std::nullopt);
    EXPECT_EQ(profile.storedInt("sil_trackenh"), std::nullopt);

    EXPECT_EQ(readResolution(profile), (Resolution{508.0f, 508.0f}));
}

TEST(CutSettings, HostPrintingMarksForcesPrintAndCut) {
    struct Case {
        bool printRegMarks;
        int regMarkType;
        int storedCutType;
        int expected;
    } cases[] = {
        {true, 1, 0, 1},  {true, 2, 2, 1},  {true, 0, 0, 0},   {true, -1, 2, 2},
        {false, 2, 2, 2}, {true, 1, 7, 1},  {false, 0, 7, -1}, {false, 0, -3, -1},
    };
    for (const auto& c : cases) {
        MemoryProfile profile;
        profile.writeInt("sil_cuttype", c.storedCutType);
        CutSettings settings = loadCutSettings(profile, FixedHostMarkSettings(c.printRegMarks, c.regMarkType));
        EXPECT_EQ(settings.cutTypeIndex, c.expected) << c.printRegMarks << ' ' << c.regMarkType << ' ' << c.storedCutType;
        EXPECT_EQ(profile.storedInt("sil_cuttype"), c.expected);
    }
}

TEST(CutSettings, LevelsAreClampedAndStoredBackClamped) {
    struct Case {
        int storedForce, storedSpeed, force, speed;
    } cases[] = {{40, 10, 33, 10}, {0, 0, 1, 1}, {-7, 11, 1, 10}, {33, 1, 33, 1}, {1, 10, 1, 10},
                 {INT32_MIN, INT32_MAX, 1, 10}};
    for (const auto& c : cases) {
        MemoryProfile profile;
        profile.writeInt("sil_force", c.storedForce);
        profile.writeInt("sil_speed", c.storedSpeed);
        CutSettings settings = loadCutSettings(profile, FixedHostMarkSettings());
        EXPECT_EQ(settings.forceLevel, c.force);
        EXPECT_EQ(settings.speedLevel, c.speed);
        EXPECT_EQ(profile.storedInt("sil_force"), c.force);
        EXPECT_EQ(profile.storedInt("sil_speed"), c.speed);
    }
}

TEST(CutSettings, RowsOutsideTheListLeaveNoSelection) {
    MemoryProfile profile;
    profile.writeInt("sil_multicut", 10);
    profile.writeInt("sil_cuttype", 3);
    CutSettings settings = loadCutSettings(profile, FixedHostMarkSettings());
    EXPECT_EQ(settings.multiCutIndex, NoSelection);
    EXPECT_EQ(settings.passCount(), 0);
    EXPECT_EQ(settings.cutTypeIndex, NoSelection);
    EXPECT_FALSE(settings.printAndCut());
    EXPECT_FALSE(settings.knifePoint());
    EXPECT_EQ(profile.storedInt("sil_multicut"), 10);  // untouched until the user picks a row
    EXPECT_EQ(profile.storedInt("sil_cuttype"), -1);

    profile.writeInt("sil_multicut", 9);
    profile.writeInt("sil_cuttype", 2);
    settings = loadCutSettings(profile, FixedHostMarkSettings());
    EXPECT_EQ(settings.passCount(), 10);
    EXPECT_TRUE(settings.knifePoint());
}

TEST(CutSettings, CheckBoxesReadAnyNonzeroAsTickedAndStoreZeroOrOne) {
    MemoryProfile profile;
    profile.writeInt("sil_usebo", 0);
    profile.writeInt("sil_carmat", 5);
    profile.writeInt("sil_trackenh", -1);
    CutSettings settings = loadCutSettings(profile, FixedHostMarkSettings());
    EXPECT_FALSE(settings.bladeOffset);
    EXPECT_TRUE(settings.carrierMat);
    EXPECT_TRUE(settings.trackEnhancing);
    EXPECT_EQ(profile.storedInt("sil_usebo"), 0);
    EXPECT_EQ(profile.storedInt("sil_carmat"), 1);
}

TEST(Resolution, ReadsStoredTextsAfreshAndHandsThemBack) {
    struct Case {
        std::u16string x, y;
        float dpiX, dpiY;
        bool usable;
    } cases[] = {
        {u"508.0", u"1016/2", 508.0f, 508.0f, true},
        {u"500 1/2", u"502.763", 500.5f, 502.763f, true},
        {u"abc", u"508", 0.0f, 508.0f, false},
        {u"508", u"-508", 508.0f, -508.0f, false},
        {u"1/0", u"508", 0.0f, 508.0f, false},
        {u"1e300", u"508", 0.0f, 508.0f, false},  // beyond a float: reads as no number
        {u"508", u"1e-30", 508.0f, 1e-30f, false},  // no machine has these
        {u"1e8", u"508", 1e8f, 508.0f, false},
        {u"1", u"100000", 1.0f, 100000.0f, true},
    };
    for (const auto& c : cases) {
        MemoryProfile profile;
        profile.writeText("sil_dpix", c.x);
        profile.writeText("sil_dpiy", c.y);
        std::u16string textX, textY;
        Resolution resolution = readResolution(profile, &textX, &textY);
        EXPECT_EQ(resolution.dpiX, c.dpiX);
        EXPECT_EQ(resolution.dpiY, c.dpiY);
        EXPECT_EQ(textX, c.x);
        EXPECT_EQ(textY, c.y);
        EXPECT_EQ(isUsableResolution(resolution), c.usable);
    }
    MemoryProfile clean;
    std::u16string textX, textY;
    readResolution(clean, &textX, nullptr);
    readResolution(clean, nullptr, &textY);
    EXPECT_EQ(textX, u"508.0");
    EXPECT_EQ(textY, u"508.0");
}

}  // namespace
}  // namespace vantrel
