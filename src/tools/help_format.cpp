#include "tools/help_format.h"

#include <algorithm>
#include <cctype>

#include "tools/html_tokens.h"

namespace vantrel {

namespace {


// The inline state while reading: bold, italic and underline count their
// open tags; colours and links nest.
struct InlineState {
    int bold = 0, italic = 0, underline = 0;
    std::vector<long> colours;
    int link = -1;
};

class Reader : private html::PageVisitor {
public:
    FormattedHelp read(std::u16string_view doc) {
        // The content of these elements is not text.
        html::readPage(doc, {u"script", u"style", u"head", u"title"}, *this);
        endBlock();
        return std::move(out_);
    }

private:
    void tag(const std::u16string& name, bool closing, std::u16string_view body) override {
        if (name == u"br") {
            lineBreak();
            return;
        }
        if (!styleTag(name, closing, body)) blockTag(name, closing);
        lastEndedByBreak_ = false;
    }
    void space() override { pendingSpace_ = true; }
    void character(char16_t c) override { put(c); }

    // A line break ends the line; a second one in a row leaves an empty line.
    void lineBreak() {
        if (current_.runs.empty() && lastEndedByBreak_) out_.blocks.push_back({});
        endBlock();
        lastEndedByBreak_ = true;
    }

    // Bold, italic, underline, colour and links; false for any other tag.
    bool styleTag(const std::u16string& name, bool closing, std::u16string_view body) {
        auto count = [closing](int& n) { n = closing ? std::max(0, n - 1) : n + 1; };
        if (name == u"b" || name == u"strong") count(style_.bold);
        else if (name == u"i" || name == u"em") count(style_.italic);
        else if (name == u"u") count(style_.underline);
        else if (name == u"font" || name == u"span") colourTag(closing, body);
        else if (name == u"a") linkTag(closing, body);
        else return false;
        return true;
    }

    void colourTag(bool closing, std::u16string_view body) {
        if (closing) {
            if (!style_.colours.empty()) style_.colours.pop_back();
            return;
        }
        long colour = html::parseColour(html::attribute(body, u"color"));
        if (colour < 0) colour = colourFromStyle(html::attribute(body, u"style"));
        // Keeps the enclosing colour when this tag sets none.
        style_.colours.push_back(colour >= 0 ? colour : currentColour());
    }

    void linkTag(bool closing, std::u16string_view body) {
        if (closing) {
            style_.link = -1;
            return;
        }
        std::u16string href = html::attribute(body, u"href");
        if (!href.empty()) {
            out_.links.push_back(href);
            style_.link = static_cast<int>(out_.links.size()) - 1;
        }
    }

    // Paragraphs, headings, lists, items and rules.
    void blockTag(const std::u16string& name, bool closing) {
        if (name == u"p" || name == u"div" || name == u"body") {
            endBlock();
        } else if (html::isHeading(name)) {
            endBlock();
            if (!closing) current_.kind = HelpBlockKind::Heading;
        } else if (name == u"ul" || name == u"ol") {
            endBlock();
            if (closing) {
                if (!lists_.empty()) lists_.pop_back();
            } else {
                lists_.push_back(name == u"ol" ? 0 : -1);
            }
        } else if (name == u"li") {
            endBlock();
            if (!closing) startItem();
        } else if (name == u"hr") {
            endBlock();
            HelpBlock rule;
            rule.kind = HelpBlockKind::Rule;
            out_.blocks.push_back(rule);
        }
    }

    void startItem() {
        if (!lists_.empty() && lists_.back() >= 0) {
            current_.kind = HelpBlockKind::Numbered;
            current_.number = ++lists_.back();
        } else {
            current_.kind = HelpBlockKind::Bullet;
        }
    }

    static long colourFromStyle(std::u16string_view style) {
        const std::u16string lowered = html::lowered(style);
        for (std::size_t at = lowered.find(u"color"); at != std::u16string::npos; at = lowered.find(u"color", at + 1)) {
            if (at > 0 && (lowered[at - 1] == u'-' || std::isalpha(static_cast<unsigned char>(lowered[at - 1])))) continue;
            std::size_t colon = lowered.find(u':', at);
            if (colon == std::u16string::npos) return -1;
            std::size_t end = lowered.find(u';', colon);
            return html::parseColour(std::u16string_view(lowered).substr(colon + 1, end == std::u16string::npos
                                                                                       ? std::u16string::npos
                                                                                       : end - colon - 1));
        }
        return -1;
    }

    long currentColour() const { return style_.colours.empty() ? -1 : style_.colours.back(); }

    void put(char16_t c) {
        HelpRun style;
        style.bold = style_.bold > 0;
        style.italic = style_.italic > 0;
        style.underline = style_.underline > 0;
        style.colour = currentColour();
        style.link = style_.link;
        if (pendingSpace_ && !current_.runs.empty()) {
            // The space between two runs underlines only inside one link.
            HelpRun space = style;
            if (current_.runs.back().link != style.link) space.link = -1;
            append(u' ', space);
        }
        pendingSpace_ = false;
        append(c, style);
        lastEndedByBreak_ = false;
    }

    void append(char16_t c, const HelpRun& style) {
        if (current_.runs.empty() || !current_.runs.back().sameStyle(style)) {
            current_.runs.push_back(style);
        }
        current_.runs.back().text.push_back(c);
    }

    void endBlock() {
        pendingSpace_ = false;
        if (!current_.runs.empty()) {
            // A plain line that is bold from end to end reads as a heading.
            if (current_.kind == HelpBlockKind::Paragraph &&
                std::all_of(current_.runs.begin(), current_.runs.end(), [](const HelpRun& r) { return r.bold; }))
                current_.kind = HelpBlockKind::Heading;
            out_.blocks.push_back(std::move(current_));
        }
        current_ = {};
    }

    FormattedHelp out_;
    HelpBlock current_;
    InlineState style_;
    std::vector<int> lists_;  // per open list: -1 for bullets, else the last number
    bool pendingSpace_ = false;
    bool lastEndedByBreak_ = false;
};

std::u16string listMarker(const HelpBlock& block) {
    if (block.kind == HelpBlockKind::Bullet) return u"\u2022\t";
    if (block.kind != HelpBlockKind::Numbered) return {};
    std::u16string number;
    for (char c : std::to_string(block.number)) number.push_back(static_cast<char16_t>(c));
    return number + u".\t";
}

void appendRtfText(std::string& rtf, std::u16string_view text) {
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            rtf.push_back('\\');
            rtf.push_back(static_cast<char>(c));
        } else if (c == u'\t') {
            rtf += "\\tab ";
        } else if (c >= 0x20 && c < 0x80) {
            rtf.push_back(static_cast<char>(c));
        } else if (c >= 0x80) {
            // A signed 16-bit number, then the one-character stand-in \uc1 announces.
            rtf += "\\u" + std::to_string(static_cast<std::int16_t>(c)) + "?";
        }
    }
}

void appendColour(std::string& rtf, std::uint32_t colorRef) {
    rtf += "\\red" + std::to_string(colorRef & 0xFF) + "\\green" + std::to_string((colorRef >> 8) & 0xFF) + "\\blue" +
           std::to_string((colorRef >> 16) & 0xFF) + ";";
}

// RTF sizes are in half points, spacing in twips (1/20 point). The body is
// the browser's 11 pixels at 96 dots per inch, 8.25 points; the control
// scales points with the screen, so the page grows with the display.
constexpr int BodyHalfPoints = 17;
constexpr int HeadingHalfPoints = 22;
constexpr int ParagraphSpaceAfter = 80;
constexpr int HeadingSpaceBefore = 60;
constexpr int HeadingSpaceAfter = 40;
constexpr int ItemSpaceAfter = 30;
constexpr int ItemIndent = 300;

}  // namespace

FormattedHelp formatHelp(std::u16string_view document) { return Reader().read(document); }

std::u16string FormattedHelp::plainText() const {
    std::u16string text;
    for (const HelpBlock& block : blocks) {
        text += listMarker(block);
        for (const HelpRun& run : block.runs) text += run.text;
        text.push_back(u'\r');
    }
    return text;
}

std::vector<HelpLinkRange> FormattedHelp::linkRanges() const {
    std::vector<HelpLinkRange> ranges;
    std::size_t at = 0;
    for (const HelpBlock& block : blocks) {
        at += listMarker(block).size();
        for (const HelpRun& run : block.runs) {
            if (run.link >= 0 && static_cast<std::size_t>(run.link) < links.size()) {
                // Runs of one link that differ in style join into one range.
                if (!ranges.empty() && ranges.back().end == at && ranges.back().target == links[run.link])
                    ranges.back().end += run.text.size();
                else
                    ranges.push_back({at, at + run.text.size(), links[run.link]});
            }
            at += run.text.size();
        }
        ++at;
    }
    return ranges;
}

namespace {

// The paragraph's spacing, indent and size, after \pard\plain\f0\cf1.
std::string paragraphControls(HelpBlockKind kind) {
    switch (kind) {
        case HelpBlockKind::Heading:
            return "\\sb" + std::to_string(HeadingSpaceBefore) + "\\sa" + std::to_string(HeadingSpaceAfter) + "\\fs" +
                   std::to_string(HeadingHalfPoints);
        case HelpBlockKind::Bullet:
        case HelpBlockKind::Numbered:
            return "\\sa" + std::to_string(ItemSpaceAfter) + "\\fi-" + std::to_string(ItemIndent) + "\\li" +
                   std::to_string(2 * ItemIndent) + "\\tx" + std::to_string(2 * ItemIndent) + "\\fs" +
                   std::to_string(BodyHalfPoints);
        case HelpBlockKind::Rule:
            return "\\sa" + std::to_string(ParagraphSpaceAfter) + "\\brdrb\\brdrs\\brdrw10\\brsp20\\fs8";
        case HelpBlockKind::Paragraph:
            return "\\sa" + std::to_string(ParagraphSpaceAfter) + "\\fs" + std::to_string(BodyHalfPoints);
    }
    return {};
}

// A run's weight, slant, underline and colour; `extra` is the page's own
// colours, numbered from 3 in the colour table.
std::string runControls(const HelpRun& run, HelpBlockKind kind, const std::vector<long>& extra) {
    std::string controls;
    if (run.bold || kind == HelpBlockKind::Heading) controls += "\\b";
    if (run.italic) controls += "\\i";
    if (run.link >= 0) return controls + "\\ul\\cf2";
    if (run.underline) controls += "\\ul";
    if (run.colour >= 0) {
        auto index = std::find(extra.begin(), extra.end(), run.colour) - extra.begin();
        controls += "\\cf" + std::to_string(3 + index);
    }
    return controls;
}

}  // namespace

std::string helpRtf(const FormattedHelp& help, const HelpColours& colours) {
    // Colour table: 1 the text, 2 the links, then the page's own colours.
    std::vector<long> extra;
    for (const HelpBlock& block : help.blocks)
        for (const HelpRun& run : block.runs)
            if (run.colour >= 0 && std::find(extra.begin(), extra.end(), run.colour) == extra.end())
                extra.push_back(run.colour);

    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss\\fcharset0 Tahoma;}}{\\colortbl ;";
    appendColour(rtf, colours.text);
    appendColour(rtf, colours.link);
    for (long rgb : extra) {
        auto value = static_cast<std::uint32_t>(rgb);
        appendColour(rtf, ((value >> 16) & 0xFF) | (value & 0xFF00) | ((value & 0xFF) << 16));
    }
    rtf += "}\n";

    for (const HelpBlock& block : help.blocks) {
        rtf += "\\pard\\plain\\f0\\cf1" + paragraphControls(block.kind) + ' ';
        if (std::u16string marker = listMarker(block); !marker.empty()) appendRtfText(rtf, marker);
        for (const HelpRun& run : block.runs) {
            std::string controls = runControls(run, block.kind, extra);
            // The space ends the last control word; without one it would be text.
            rtf += '{' + controls + (controls.empty() ? "" : " ");
            appendRtfText(rtf, run.text);
            rtf += '}';
        }
        rtf += "\\par\n";
    }
    rtf += "}";
    return rtf;
}

std::optional<HelpPage> helpPageForLink(std::u16string_view target) {
    struct Named {
        std::u16string_view file;
        HelpPage page;
    };
    static constexpr Named Pages[] = {{u"settings.html", SettingsHelp},
                                      {u"perform_cut.html", PerformCutHelp},
                                      {u"multi_cut.html", MultiCutHelp},
                                      {u"cut_type.html", CutTypeHelp},
                                      {u"calibration.html", CalibrationHelp}};
    if (std::size_t hash = target.find(u'#'); hash != std::u16string_view::npos) target = target.substr(0, hash);
    if (std::size_t slash = target.find_last_of(u"/\\"); slash != std::u16string_view::npos)
        target = target.substr(slash + 1);
    const std::u16string name = html::lowered(target);
    for (const auto& p : Pages)
        if (p.file == name) return p.page;
    return std::nullopt;
}

}  // namespace vantrel
