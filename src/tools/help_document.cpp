#include "tools/help_document.h"

#include "tools/html_tokens.h"

namespace vantrel {

using html::decodeEntity;
using html::isSpace;
using html::lower;
using html::tagName;

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

std::u16string helpPageAsText(std::u16string_view page) {
    std::u16string out;
    bool pendingSpace = false;
    auto newLine = [&](int atLeast) {
        // Ends the current line and makes sure `atLeast` line breaks close the text so far.
        pendingSpace = false;
        if (out.empty()) return;
        int have = 0;
        for (auto it = out.rbegin(); it != out.rend() && *it == u'\n'; ++it) ++have;
        for (; have < atLeast; ++have) out.push_back(u'\n');
    };
    auto put = [&](char16_t c) {
        if (pendingSpace && !out.empty() && out.back() != u'\n' && out.back() != u' ') out.push_back(u' ');
        pendingSpace = false;
        out.push_back(c);
    };
    std::size_t i = 0;
    while (i < page.size()) {
        char16_t c = page[i];
        if (c == u'<') {
            std::size_t close = page.find(u'>', i + 1);
            if (close == std::u16string_view::npos) break;  // an unfinished tag ends the text
            bool closing = false;
            std::u16string name = tagName(page.substr(i + 1, close - i - 1), closing);
            i = close + 1;
            if (name == u"br") {
                out.push_back(u'\n');
                pendingSpace = false;
            } else if (name == u"p" || name == u"ul" || name == u"ol" || name == u"table" ||
                       (name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6')) {
                newLine(2);
            } else if (name == u"div" || name == u"tr") {
                newLine(1);
            } else if (name == u"li") {
                newLine(1);
                if (!closing) out += u"  \u2022 ";
            } else if (name == u"hr") {
                newLine(1);
                out += u"\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\u2014\n";
            } else if (name == u"td" && closing) {
                pendingSpace = true;
            } else if (name == u"script" || name == u"style") {
                if (!closing) {
                    std::u16string endTag = u"</" + name;
                    std::size_t end = i;
                    for (;; ++end) {
                        end = page.find(u"</", end);
                        if (end == std::u16string_view::npos) break;
                        std::u16string candidate;
                        for (std::size_t k = end; k < page.size() && k < end + endTag.size(); ++k)
                            candidate.push_back(lower(page[k]));
                        if (candidate == endTag) break;
                    }
                    i = end == std::u16string_view::npos ? page.size() : end;
                }
            }
            continue;
        }
        if (isSpace(c)) {
            pendingSpace = true;
            ++i;
            continue;
        }
        if (c == u'&') {
            char16_t decoded = 0;
            std::size_t used = decodeEntity(page.substr(i + 1), decoded);
            if (used) {
                put(decoded);
                i += used + 1;
                continue;
            }
        }
        put(c);
        ++i;
    }
    while (!out.empty() && (out.back() == u'\n' || out.back() == u' ')) out.pop_back();
    return out;
}

std::u16string helpFallbackText(std::u16string_view page) { return helpPageAsText(lineFeedsToBreaks(page)); }

}  // namespace vantrel
