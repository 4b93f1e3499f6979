#include "tools/help_document.h"

#include "tools/html_tokens.h"

namespace vantrel {

namespace {

void appendHexByte(std::u16string& out, std::uint8_t value) {
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    out.push_back(digits[value >> 4]);
    out.push_back(digits[value & 0xF]);
}

}  // namespace

std::u16string htmlColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::u16string out = u"#";
    appendHexByte(out, red);
    appendHexByte(out, green);
    appendHexByte(out, blue);
    return out;
}

std::u16string htmlColourFromColorRef(std::uint32_t colorRef) {
    return htmlColour(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

std::u16string lineFeedsToBreaks(std::u16string_view page) {
    std::u16string out;
    out.reserve(page.size() + page.size() / 8);
    for (char16_t c : page) {
        if (c == u'\n') out += u"<br />";
        else out.push_back(c);
    }
    return out;
}

std::u16string buildHelpDocument(std::u16string_view page, std::uint32_t textColorRef, std::uint32_t backColorRef) {
    std::u16string doc = u"<html><head></head><body style='font:11px Tahoma; margin: 2px 2px 2px 2px;color:";
    doc += htmlColourFromColorRef(textColorRef);
    doc += u";background-color:";
    doc += htmlColourFromColorRef(backColorRef);
    doc += u"'>";
    doc += lineFeedsToBreaks(page);
    doc += u"</body></html>";
    return doc;
}

namespace {

bool isHeading(const std::u16string& name) {
    return name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6';
}

// The page's text as it builds up: runs of white space become one space
// where text follows on the same line; block elements end lines.
class PlainText {
public:
    // Ends the current line and makes sure `atLeast` line breaks close the text so far.
    void newLine(int atLeast) {
        pendingSpace_ = false;
        if (out_.empty()) return;
        int have = 0;
        for (auto it = out_.rbegin(); it != out_.rend() && *it == u'\n'; ++it) ++have;
        for (; have < atLeast; ++have) out_.push_back(u'\n');
    }
    void lineBreak() {
        out_.push_back(u'\n');
        pendingSpace_ = false;
    }
    void space() { pendingSpace_ = true; }
    void put(char16_t c) {
        if (pendingSpace_ && !out_.empty() && out_.back() != u'\n' && out_.back() != u' ') out_.push_back(u' ');
        pendingSpace_ = false;
        out_.push_back(c);
    }
    void append(std::u16string_view text) { out_ += text; }
    std::u16string finish() {
        while (!out_.empty() && (out_.back() == u'\n' || out_.back() == u' ')) out_.pop_back();
        return std::move(out_);
    }

private:
    std::u16string out_;
    bool pendingSpace_ = false;
};

// What a tag does to the text; a script or style element's content is
// skipped, as it is not text.
void applyTag(PlainText& text, const html::Piece& tag, html::PieceReader& reader) {
    const std::u16string& name = tag.name;
    if (name == u"br") {
        text.lineBreak();
    } else if (name == u"p" || name == u"ul" || name == u"ol" || name == u"table" || isHeading(name)) {
        text.newLine(2);
    } else if (name == u"div" || name == u"tr") {
        text.newLine(1);
    } else if (name == u"li") {
        text.newLine(1);
        if (!tag.closing) text.append(u"  \u2022 ");
    } else if (name == u"hr") {
        text.newLine(1);
        text.append(u"\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\n");
    } else if (name == u"td" && tag.closing) {
        text.space();
    } else if ((name == u"script" || name == u"style") && !tag.closing) {
        reader.skipElement(name);
    }
}

}  // namespace

std::u16string helpPageAsText(std::u16string_view page) {
    PlainText text;
    html::PieceReader reader(page);
    html::Piece piece;
    while (reader.next(piece)) {
        switch (piece.kind) {
        case html::Piece::Kind::Tag: applyTag(text, piece, reader); break;
        case html::Piece::Kind::Space: text.space(); break;
        case html::Piece::Kind::Character: text.put(piece.character); break;
        case html::Piece::Kind::Markup: break;
        }
    }
    return text.finish();
}

std::u16string helpFallbackText(std::u16string_view page) { return helpPageAsText(lineFeedsToBreaks(page)); }

}  // namespace vantrel
