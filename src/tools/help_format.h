#pragma once
// A help page formatted for the read-only view that stands in where no HTML
// browser exists: read from the same document the browser is given, into
// paragraphs of styled runs, then written as RTF for a rich-edit control.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/help_document.h"

namespace vantrel {

struct HelpRun {
    std::u16string text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    long colour = -1;  // 0xRRGGBB, or -1 for the text colour
    int link = -1;     // index into FormattedHelp::links, or -1

    bool sameStyle(const HelpRun& other) const {
        return bold == other.bold && italic == other.italic && underline == other.underline &&
               colour == other.colour && link == other.link;
    }
};

enum class HelpBlockKind {
    Heading,    // an <h1>..<h6>, or a line that is bold from end to end
    Paragraph,  // a line ended by <br>, or a <p> or <div>
    Bullet,     // an item of a <ul>
    Numbered,   // an item of an <ol>, with its number
    Rule,       // <hr>: an empty paragraph with a line under it
};

struct HelpBlock {
    HelpBlockKind kind = HelpBlockKind::Paragraph;
    int number = 0;
    std::vector<HelpRun> runs;
};

// A link as it lies in the view's text: [start, end) in plainText().
struct HelpLinkRange {
    std::size_t start = 0;
    std::size_t end = 0;
    std::u16string target;
};

struct FormattedHelp {
    std::vector<HelpBlock> blocks;
    std::vector<std::u16string> links;  // the href of each link, by index

    // The text as the rich-edit control holds it after reading the RTF: each
    // block's text (a bullet or number, then a tab, before list items) and
    // one "\r" after every block.
    std::u16string plainText() const;
    std::vector<HelpLinkRange> linkRanges() const;
};

// Reads a help document or page body: tags it does not know are dropped,
// white space collapses as in a browser, entities are decoded.
FormattedHelp formatHelp(std::u16string_view document);

// Colours of the view, as platform colour values (red in the low byte).
struct HelpColours {
    std::uint32_t text = 0;
    std::uint32_t link = 0x00CC6600;
};

// The RTF of the formatted page: Tahoma, headings bold and larger, spaced
// paragraphs, bullets and numbers with a hanging indent, rules as a bottom
// border, links underlined in the link colour. 7-bit text; other characters
// as \u escapes.
std::string helpRtf(const FormattedHelp& help, const HelpColours& colours);

// The page a link names: its file name, e.g. "multi_cut.html", in any case,
// with or without a path or a "#part"; none when it names no page.
std::optional<HelpPage> helpPageForLink(std::u16string_view target);

}  // namespace vantrel
