#include "tools/presets.h"

#include <climits>

namespace vantrel {

namespace {

void appendDecimal(std::u16string& out, long long value) {
    std::string digits = std::to_string(value);
    out.append(digits.begin(), digits.end());
}

std::u16string ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// Decimal with optional leading blanks and sign; reading stops at the first
// other character; no digits gives 0. Out-of-range values saturate.
int readDecimal(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

const std::vector<MaterialPreset>& builtInPresets() {
    // name, speed, force, depth, carrier mat, blade offset, multi-cut, built-in
    static const std::vector<MaterialPreset> presets = {
        {u"Light Printer Paper", 10, 10, 1, true, true, 1, true},
        {u"Medium Printer Paper", 10, 25, 2, true, true, 1, true},
        {u"Light Patterned Paper (40 lb)", 5, 25, 2, true, true, 1, true},
        {u"Medium Patterned Paper", 5, 30, 3, true, true, 1, true},
        {u"Medium Cardstock (65 lb)", 5, 30, 2, true, true, 1, true},
        {u"Heavy Cardstock (80 lb)", 3, 33, 3, true, true, 1, true},
        {u"Vellum", 3, 14, 1, true, true, 1, true},
        {u"Inkjet Photo Paper (28-44 lb)", 10, 20, 2, true, true, 1, true},
        {u"Inkjet Photo Paper (140g/m\u00B2)", 10, 27, 3, true, true, 1, true},
        {u"Adhesive Backed Label Sheet", 10, 14, 1, false, true, 1, true},
        {u"Transparency Film", 3, 33, 3, true, true, 1, true},
        {u"Sil. Sketch Pen", 10, 10, 0, true, false, 1, true},
        {u"Sil. Vinyl", 8, 9, 1, false, true, 1, true},
        {u"Sil. Fuzzy Vinyl (Flocked)", 3, 28, 3, false, true, 1, true},
        {u"Sil. Print. Heat Transfer (Light)", 3, 2, 1, false, true, 1, true},
        {u"Sil. Print. Heat Transfer (Dark)", 3, 4, 1, false, true, 1, true},
        {u"Sil. Rhinestone Template", 10, 33, 3, false, true, 1, true},
        {u"Sil. Printable Magnet Sheet", 1, 33, 2, true, true, 1, true},
        {u"Sil. Temporary Tatoo Sheet", 3, 25, 3, false, true, 2, true},
    };
    return presets;
}

std::u16string encodePresetRecord(const MaterialPreset& p) {
    std::u16string out;
    for (long long field : {p.bladeOffset ? 1LL : 0LL, p.carrierMat ? 1LL : 0LL, static_cast<long long>(p.depth),
                            static_cast<long long>(p.force), static_cast<long long>(p.multiCut),
                            static_cast<long long>(p.speed), 0LL}) {
        appendDecimal(out, field);
        out.push_back(PresetFieldSeparator);
    }
    out.append(p.name);
    out.push_back(PresetRecordTerminator);
    return out;
}

std::u16string encodePresets(const std::vector<MaterialPreset>& presets) {
    std::u16string out;
    for (const auto& p : presets)
        if (!p.builtIn) out += encodePresetRecord(p);
    return out;
}

std::optional<MaterialPreset> decodePresetRecord(std::u16string_view record) {
    std::vector<std::u16string_view> pieces;
    std::size_t start = 0;
    while (start <= record.size() && pieces.size() < 8) {
        std::size_t tab = record.find(PresetFieldSeparator, start);
        if (tab == std::u16string_view::npos) tab = record.size();
        if (tab > start) pieces.push_back(record.substr(start, tab - start));
        start = tab + 1;
    }
    if (pieces.size() < 8) return std::nullopt;
    MaterialPreset p;
    p.bladeOffset = readDecimal(pieces[0]) != 0;
    p.carrierMat = readDecimal(pieces[1]) != 0;
    p.depth = readDecimal(pieces[2]);
    p.force = readDecimal(pieces[3]);
    p.multiCut = readDecimal(pieces[4]);
    p.speed = readDecimal(pieces[5]);
    p.builtIn = readDecimal(pieces[6]) != 0;
    p.name = std::u16string(pieces[7]);
    return p;
}

std::vector<MaterialPreset> decodePresets(std::u16string_view stored) {
    std::vector<MaterialPreset> presets;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = stored.find(PresetRecordTerminator, start);
        if (end == std::u16string_view::npos) break;
        if (auto preset = decodePresetRecord(stored.substr(start, end - start))) presets.push_back(std::move(*preset));
        start = end + 1;
    }
    return presets;
}

std::u16string presetNameProblem(std::u16string_view name) {
    if (name.find(PresetFieldSeparator) != std::u16string_view::npos)
        return u"A preset name cannot contain a tab character.\n\nPlease enter another name.";
    if (name.find(PresetRecordTerminator) != std::u16string_view::npos)
        return u"A preset name cannot contain the character \"\u00FF\".\n\nPlease enter another name.";
    return {};
}

std::u16string trimPresetName(std::u16string_view name) {
    std::size_t end = name.size();
    while (end > 0 && isSpace(name[end - 1])) --end;
    std::size_t begin = 0;
    while (begin < end && isSpace(name[begin])) ++begin;
    return std::u16string(name.substr(begin, end - begin));
}

std::u16string depthText(int depth) {
    switch (depth) {
        case 0: return u"N/A";
        case 1: return u"0.1 mm.";
        case 2: return u"0.2 mm.";
        case 3: return u"0.3 mm.";
        default: return {};
    }
}

std::u16string presetInfoText(const MaterialPreset& p) {
    std::u16string out = u"Depth: " + depthText(p.depth) + u"\n";
    out += u"Speed: ";
    appendDecimal(out, p.speed);
    out += u"\nForce: ";
    appendDecimal(out, p.force);
    out += u"\nCarrier Mat: " + ascii(p.carrierMat ? "Yes" : "No");
    out += u"\nBlade Offset: " + ascii(p.bladeOffset ? "Yes" : "No");
    out += u"\nMulti-Cut: ";
    appendDecimal(out, p.multiCut);
    out += u"\n";
    return out;
}

std::u16string deletePresetQuestion(std::u16string_view name) {
    return u"Are you sure you want to delete the preset \"" + std::u16string(name) + u"\"?";
}

}  // namespace vantrel
