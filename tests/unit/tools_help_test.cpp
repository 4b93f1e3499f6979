#include <gtest/gtest.h>

#include <algorithm>

#include "tools/help_document.h"
#include "tools/help_format.h"
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
        {"a ';' beyond any entity's length", u"&amp &#x2122 x; &&amp;;", u"&amp &#x2122 x; &&;"},
        {"spaces collapse", u"  a  \t b   ", u"a b"},
        {"style dropped", u"<style>p{x}</style>Text<SCRIPT>x</SCRIPT>", u"Text"},
        {"unfinished tag ends the text", u"Text <b", u"Text"},
        {"attributes and case", u"<FONT color='red'>IMPORTANT</FONT>: x", u"IMPORTANT: x"},
    };
    for (const auto& c : cases) EXPECT_EQ(helpFallbackText(c.page), c.text) << c.what;
}

// The formatted view reads the very document the browser gets.
TEST(HelpFormat, PageBecomesHeadingsParagraphsListsRulesAndLinks) {
    const std::u16string page =
        u"<b>Perform Cut</b>\r\nPress <b>Start</b> &amp; wait.\r\n"
        u"<ul style='margin-top:2px'><li>Mat <a href='settings.html#mat'>loaded</a></li><li>Blade set</li></ul>\r\n"
        u"<hr />\r\n<font color='#FF0000'><b>Note:</b> landscape</font>\r\n"
        u"<ol><li>One</li><li>Two</li></ol>\r\n\r\nEnd <A HREF=\"cut_type.html\"><b>Cut</b> Type</a>.";
    FormattedHelp help = formatHelp(buildHelpDocument(page, 0x00000000, 0x00F0F0F0));

    using K = HelpBlockKind;
    std::vector<std::pair<K, std::u16string>> blocks;
    for (const auto& b : help.blocks) {
        std::u16string text;
        for (const auto& r : b.runs) text += r.text;
        blocks.emplace_back(b.kind, text);
    }
    std::vector<std::pair<K, std::u16string>> expected = {
        {K::Heading, u"Perform Cut"},  {K::Paragraph, u"Press Start & wait."}, {K::Bullet, u"Mat loaded"},
        {K::Bullet, u"Blade set"},      {K::Rule, u""},                         {K::Paragraph, u"Note: landscape"},
        {K::Numbered, u"One"},          {K::Numbered, u"Two"},                  {K::Paragraph, u""},
        {K::Paragraph, u"End Cut Type."}};
    EXPECT_EQ(blocks, expected);
    EXPECT_EQ(help.blocks[7].number, 2);
    // Styles: bold inside a line, the red note keeps its colour through the bold part.
    ASSERT_EQ(help.blocks[1].runs.size(), 3u);
    EXPECT_TRUE(help.blocks[1].runs[1].bold);
    EXPECT_FALSE(help.blocks[1].runs[2].bold);
    for (const auto& r : help.blocks[5].runs) EXPECT_EQ(r.colour, 0xFF0000);

    EXPECT_EQ(help.plainText(), u"Perform Cut\rPress Start & wait.\r\u2022\tMat loaded\r\u2022\tBlade set\r\r"
                                u"Note: landscape\r1.\tOne\r2.\tTwo\r\rEnd Cut Type.\r");
    std::vector<HelpLinkRange> links = help.linkRanges();
    ASSERT_EQ(links.size(), 2u);
    std::u16string text = help.plainText();
    EXPECT_EQ(text.substr(links[0].start, links[0].end - links[0].start), u"loaded");
    EXPECT_EQ(links[0].target, u"settings.html#mat");
    EXPECT_EQ(text.substr(links[1].start, links[1].end - links[1].start), u"Cut Type") << "one range across styles";

    EXPECT_EQ(helpPageForLink(links[0].target)->resourceId, SettingsHelp.resourceId);
    EXPECT_EQ(helpPageForLink(u"res://x/HELP/Cut_Type.HTML")->resourceId, CutTypeHelp.resourceId);
    EXPECT_FALSE(helpPageForLink(u"https://example.com/"));
    EXPECT_FALSE(helpPageForLink(u""));
}

TEST(HelpFormat, RtfCarriesTheStylesAndEscapesTheText) {
    FormattedHelp help = formatHelp(
        u"<b>Title</b><br />a {b} \\ c&trade;<br /><ul><li>x</li></ul><font color='red'>r</font> <a href='a.html'>l</a><hr>");
    std::string rtf = helpRtf(help, {0x00563412, 0x00CC6600});
    auto has = [&](const std::string& part) { return rtf.find(part) != std::string::npos; };
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(rtf.back(), '}');
    EXPECT_TRUE(has("{\\fonttbl{\\f0\\fswiss\\fcharset0 Tahoma;}}"));
    // Colour 1 the text (red first), 2 the links, 3 the page's red.
    EXPECT_TRUE(has("{\\colortbl ;\\red18\\green52\\blue86;\\red0\\green102\\blue204;\\red255\\green0\\blue0;}"));
    EXPECT_TRUE(has("\\fs22 {\\b Title}\\par")) << "heading bold and larger than the \\fs17 body";
    EXPECT_TRUE(has("\\fs17 {a \\{b\\} \\\\ c\\u8482?}\\par"));
    EXPECT_TRUE(has("\\fi-300\\li600\\tx600\\fs17 \\u8226?\\tab {x}\\par"));
    EXPECT_TRUE(has("{\\cf3 r}{ }{\\ul\\cf2 l}"));
    EXPECT_TRUE(has("\\brdrb"));
    for (char c : rtf) EXPECT_LT(static_cast<unsigned char>(c), 0x80u);
    // Paragraphs, as the control counts them, match the text the links are placed in.
    std::size_t pars = 0;
    for (std::size_t at = rtf.find("\\par\n"); at != std::string::npos; at = rtf.find("\\par\n", at + 1)) ++pars;
    std::u16string text = help.plainText();
    EXPECT_EQ(pars, static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\r')));
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
