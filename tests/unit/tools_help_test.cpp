#include <gtest/gtest.h>

#include "tools/help_document.h"
#include "tools/version_text.h"

namespace vantrel {
namespace {

TEST(HelpDocument, ColoursAreWrittenRedFirst) {
    EXPECT_EQ(htmlColour(0x12, 0x34, 0x56), u"#123456");
    // The platform colour value keeps red in its low byte.
    EXPECT_EQ(htmlColourFromColorRef(0x00563412), u"#123456");
    EXPECT_EQ(htmlColourFromColorRef(0x00F0F0F0), u"#F0F0F0");
    EXPECT_EQ(htmlColourFromColorRef(0x000000FF), u"#FF0000");
    EXPECT_EQ(htmlColourFromColorRef(0xFF0A0B0C), u"#0C0B0A");
}

TEST(HelpDocument, DocumentIsBuiltAroundThePage) {
    EXPECT_EQ(buildHelpDocument(u"<b>A</b>\r\nB\n", 0x00000000, 0x00D8E9EC),
              u"<html><head></head><body style='font:11px Tahoma; margin: 2px 2px 2px 2px;color:#000000;"
              u"background-color:#ECE9D8'><b>A</b>\r<br />B<br /></body></html>");
    EXPECT_EQ(lineFeedsToBreaks(u"\n\n"), u"<br /><br />");
    EXPECT_EQ(buildHelpDocument(u"", 0x00563412, 0x00FFFFFF),
              u"<html><head></head><body style='font:11px Tahoma; margin: 2px 2px 2px 2px;color:#123456;"
              u"background-color:#FFFFFF'></body></html>");
}

TEST(HelpDocument, FallbackTextReadsLikeThePage) {
    struct Case {
        const char* what;
        std::u16string page;
        std::u16string text;
    } cases[] = {
        {"line feeds break, markup goes", u"<b>Track Enhancing</b>\r\nRolls the media.\r\n",
         u"Track Enhancing\nRolls the media."},
        {"rule", u"One\r\n<hr />Two", u"One\n\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\nTwo"},
        {"bullets", u"<ul><li>Mat loaded</li><li>Blade set</li></ul>After",
         u"  \u2022 Mat loaded\n  \u2022 Blade set\n\nAfter"},
        {"entities", u"a &amp; b &lt;c&gt; &#8482; &#x41; &unknown; &", u"a & b <c> \u2122 A &unknown; &"},
        {"spaces collapse", u"  a  \t b   ", u"a b"},
        {"style dropped", u"<style>p{x}</style>Text<SCRIPT>x</SCRIPT>", u"Text"},
        {"unfinished tag ends the text", u"Text <b", u"Text"},
        {"attributes and case", u"<FONT color='red'>IMPORTANT</FONT>: x", u"IMPORTANT: x"},
    };
    for (const auto& c : cases) EXPECT_EQ(helpFallbackText(c.page), c.text) << c.what;
}

TEST(AboutText, VersionHasTheAskedParts) {
    struct Case {
        std::uint32_t ms, ls;
        int count;
        unsigned twoDigits;
        const char* text;
    } cases[] = {
        {0x00030000, 0x00000000, 3, 0, "3.0.0"},   {0x00010002, 0x00030004, 3, 0, "1.2.3"},
        {0x000A0000, 0x000C0000, 3, 0, "10.0.12"}, {0x00010002, 0x00030004, 4, 0, "1.2.3.4"},
        {0x00010002, 0x00030004, 1, 0, "1"},       {0x00010002, 0x00030004, 3, 0b010, "1.02.3"},
        {0xFFFF0000, 0x00000000, 2, 0, "65535.0"}, {0, 0, 3, 0, "0.0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatFileVersion(fileVersionFromHalves(c.ms, c.ls), c.count, c.twoDigits), c.text);
}

TEST(AboutText, BuildTimeInTheLibraryForm) {
    EXPECT_EQ(buildTimestamp("Mar 28 2013", "15:01:23"), "Thu Mar 28 15:01:23 2013");
    EXPECT_EQ(buildTimestamp("Dec  7 2026", "21:06:27"), "Mon Dec  7 21:06:27 2026");
    EXPECT_EQ(buildTimestamp("Feb 29 2000", "00:00:00"), "Tue Feb 29 00:00:00 2000");
    EXPECT_EQ(buildTimestamp("Jan  1 1970", "00:00:01"), "Thu Jan  1 00:00:01 1970");
    EXPECT_EQ(buildTimestamp("Foo 28 2013", "15:01:23"), "Foo 28 2013 15:01:23");
    EXPECT_EQ(buildTimestamp("", ""), " ");
}

TEST(AboutText, TextIsNameVersionTimeNotice) {
    std::u16string text = aboutText(u"Vantrel", "3.0.0", "Thu Mar 28 15:01:23 2013");
    EXPECT_EQ(text.rfind(u"Vantrel v3.0.0\nBuild Timestamp: Thu Mar 28 15:01:23 2013\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - std::u16string(AboutNotice).size()), AboutNotice);
}

}  // namespace
}  // namespace vantrel
