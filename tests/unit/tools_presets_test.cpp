#include <gtest/gtest.h>

#include "tools/presets.h"

namespace vantrel {
namespace {

const MaterialPreset Felt{u"Felt", 5, 20, 2, true, true, 1, false};

TEST(MaterialPresets, BuiltInListIsTheNineteenInOrder) {
    const auto& list = builtInPresets();
    ASSERT_EQ(list.size(), 19u);
    EXPECT_EQ(list.front(), (MaterialPreset{u"Light Printer Paper", 10, 10, 1, true, true, 1, true}));
    EXPECT_EQ(list[8].name, u"Inkjet Photo Paper (140g/m\u00B2)");
    EXPECT_EQ(list[9], (MaterialPreset{u"Adhesive Backed Label Sheet", 10, 14, 1, false, true, 1, true}));
    EXPECT_EQ(list[11], (MaterialPreset{u"Sil. Sketch Pen", 10, 10, 0, true, false, 1, true}));
    EXPECT_EQ(list.back(), (MaterialPreset{u"Sil. Temporary Tatoo Sheet", 3, 25, 3, false, true, 2, true}));
    for (const auto& p : list) {
        EXPECT_TRUE(p.builtIn) << std::string(p.name.begin(), p.name.end());
        EXPECT_GE(p.speed, 1);
        EXPECT_LE(p.speed, 10);
        EXPECT_GE(p.force, 1);
        EXPECT_LE(p.force, 33);
        EXPECT_GE(p.depth, 0);
        EXPECT_LT(p.depth, PresetDepthCount);
    }
}

TEST(MaterialPresets, RecordIsWrittenByteExactly) {
    EXPECT_EQ(encodePresetRecord(Felt), u"1\t1\t2\t20\t1\t5\t0\tFelt\u00FF");
    MaterialPreset odd{u"  Odd \u00E9", -3, 0, 0, false, true, 10, true};
    // The built-in field is always written as 0; the name is kept unchanged.
    EXPECT_EQ(encodePresetRecord(odd), u"1\t0\t0\t0\t10\t-3\t0\t  Odd \u00E9\u00FF");
}

TEST(MaterialPresets, OnlyUserPresetsAreStoredInListOrder) {
    std::vector<MaterialPreset> list = builtInPresets();
    MaterialPreset pen{u"Pen", 10, 10, 0, false, false, 3, false};
    list.push_back(Felt);
    list.push_back(pen);
    EXPECT_EQ(encodePresets(list), u"1\t1\t2\t20\t1\t5\t0\tFelt\u00FF0\t0\t0\t10\t3\t10\t0\tPen\u00FF");
    EXPECT_EQ(encodePresets(builtInPresets()), u"");
}

TEST(MaterialPresets, StoredTextRoundTrips) {
    std::vector<MaterialPreset> users = {Felt, {u"B\u00E4r (x)", 1, 33, 3, false, false, 10, false}};
    EXPECT_EQ(decodePresets(encodePresets(users)), users);
}

TEST(MaterialPresets, RecordsAreReadAsStored) {
    struct Case {
        const char* what;
        std::u16string stored;
        std::vector<MaterialPreset> expected;
    };
    const std::vector<Case> cases = {
        {"empty", u"", {}},
        {"no terminator at all", u"1\t1\t2\t20\t1\t5\t0\tFelt", {}},
        {"text after the last terminator is ignored", u"1\t1\t2\t20\t1\t5\t0\tFelt\u00FF1\t1\t2", {Felt}},
        {"runs of tabs are one separator", u"1\t\t1\t2\t\t\t20\t1\t5\t0\t\tFelt\u00FF", {Felt}},
        {"name ends at a tab", u"1\t1\t2\t20\t1\t5\t0\tFelt\tmore\u00FF", {Felt}},
        {"non-zero seventh field is built-in", u"1\t1\t2\t20\t1\t5\t7\tFelt\u00FF",
         {{u"Felt", 5, 20, 2, true, true, 1, true}}},
        {"booleans: any non-zero is set", u"-1\t2\t2\t20\t1\t5\t0\tFelt\u00FF", {Felt}},
        {"integers: blanks, sign, stop at other text", u" 0\t 0\t+3\t-4x\t9z\t 12abc\t0\tN\u00FF",
         {{u"N", 12, -4, 3, false, false, 9, false}}},
        {"no digits reads 0", u"a\tb\tc\td\te\tf\tg\tName\u00FF", {{u"Name", 0, 0, 0, false, false, 0, false}}},
        {"overflow saturates", u"0\t0\t0\t99999999999999\t1\t-99999999999\t0\tBig\u00FF",
         {{u"Big", -2147483647 - 1, 2147483647, 0, false, false, 1, false}}},
        // A record short of fields is dropped, not added half-filled; its neighbours survive.
        {"short record skipped", u"1\t1\t2\u00FF1\t1\t2\t20\t1\t5\t0\tFelt\u00FF\u00FF", {Felt}},
        {"record of seven fields skipped", u"1\t1\t2\t20\t1\t5\t0\u00FF", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(decodePresets(c.stored), c.expected) << c.what;
}

TEST(MaterialPresets, NamesThatCannotBeStoredIntactAreRefused) {
    EXPECT_TRUE(presetNameProblem(u"Felt (thick) \u00E9\u00B2").empty());
    EXPECT_FALSE(presetNameProblem(u"Fe\tlt").empty());
    EXPECT_FALSE(presetNameProblem(u"Felt\u00FF").empty());
    // Whatever the name, an accepted one comes back unchanged.
    for (std::u16string name : {u"a", u" lead", u"x\u00FEy", u"\u4E2D"}) {
        ASSERT_TRUE(presetNameProblem(name).empty());
        MaterialPreset p = Felt;
        p.name = name;
        auto back = decodePresets(encodePresets({p}));
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].name, name);
    }
}

TEST(MaterialPresets, NamesAreTrimmedAtBothEnds) {
    EXPECT_EQ(trimPresetName(u"  Felt sheet \t "), u"Felt sheet");
    EXPECT_EQ(trimPresetName(u" \t\r\n "), u"");
    EXPECT_EQ(trimPresetName(u"x"), u"x");
}

TEST(MaterialPresets, InformationPanelAndQuestionTexts) {
    EXPECT_EQ(presetInfoText(builtInPresets()[11]),
              u"Depth: N/A\nSpeed: 10\nForce: 10\nCarrier Mat: Yes\nBlade Offset: No\nMulti-Cut: 1\n");
    EXPECT_EQ(presetInfoText(builtInPresets().back()),
              u"Depth: 0.3 mm.\nSpeed: 3\nForce: 25\nCarrier Mat: No\nBlade Offset: Yes\nMulti-Cut: 2\n");
    EXPECT_EQ(depthText(1), u"0.1 mm.");
    EXPECT_EQ(depthText(2), u"0.2 mm.");
    EXPECT_EQ(depthText(4), u"");
    EXPECT_EQ(depthText(-1), u"");
    EXPECT_EQ(deletePresetQuestion(u"Felt"), u"Are you sure you want to delete the preset \"Felt\"?");
}

}  // namespace
}  // namespace vantrel
