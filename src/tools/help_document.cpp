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

// What each tag does to the text.
class PlainTextReader : private html::PageVisitor {
public:
    std::u16string read(std::u16string_view page) {
        // The content of these elements is not text.
        html::readPage(page, {u"script", u"style"}, *this);
        return text_.finish();
    }

private:
    void tag(const std::u16string& name, bool closing, std::u16string_view) override {
        if (name == u"br") {
            text_.lineBreak();
        } else if (name == u"p" || name == u"ul" || name == u"ol" || name == u"table" || html::isHeading(name)) {
            text_.newLine(2);
        } else if (name == u"div" || name == u"tr") {
            text_.newLine(1);
        } else if (name == u"li") {
            text_.newLine(1);
            if (!closing) text_.append(u"  \u2022 ");
        } else if (name == u"hr") {
            text_.newLine(1);
            text_.append(u"\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\n");
        } else if (name == u"td" && closing) {
            text_.space();
        }
    }
    void space() override { text_.space(); }
    void character(char16_t c) override { text_.put(c); }

    PlainText text_;
};

}  // namespace

std::u16string helpPageAsText(std::u16string_view page) { return PlainTextReader().read(page); }

std::u16string helpFallbackText(std::u16string_view page) { return helpPageAsText(lineFeedsToBreaks(page)); }

}  // namespace vantrel
