#include "design/design_sniff.h"

namespace vantrel {

using namespace std::string_view_literals;

namespace {

struct Signature {
    std::string_view start;
    std::string_view format;
};

// Formats a crafter may pick by mistake, by the bytes they always begin with.
constexpr Signature Signatures[] = {
    {"\x89PNG"sv, "a PNG image"},
    {"\xFF\xD8\xFF"sv, "a JPEG image"},
    {"GIF87a"sv, "a GIF image"},
    {"GIF89a"sv, "a GIF image"},
    {"BM"sv, "a BMP image"},
    {"II*\0"sv, "a TIFF image"},
    {"MM\0*"sv, "a TIFF image"},
    {"%PDF-"sv, "a PDF document"},
    {"%!PS"sv, "a PostScript or EPS file"},
    {"\xC5\xD0\xD3\xC6"sv, "an EPS file"},
    {"PK\x03\x04"sv, "a ZIP archive (or a document stored as one)"},
    {"\x1F\x8B"sv, "gzip-compressed data that this program cannot open"},
    {"AutoCAD Binary DXF"sv, "a DXF file"},
    {"RIFF"sv, "a RIFF file (such as a WebP image)"},
};

std::string_view trimmedStart(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// A text DXF opens with the group code 0 and "SECTION" on the next line.
bool isTextDxf(std::string_view head) {
    head = trimmedStart(head);
    if (head.empty() || head[0] != '0') return false;
    head.remove_prefix(1);
    const std::size_t line = head.find('\n');
    if (line == std::string_view::npos || trimmedStart(head.substr(0, line)).size() != 0) return false;
    return trimmedStart(head.substr(line + 1)).substr(0, 7) == "SECTION";
}

}  // namespace

std::string_view foreignFormatOf(std::string_view head) {
    for (const Signature& s : Signatures)
        if (head.substr(0, s.start.size()) == s.start) return s.format;
    if (isTextDxf(head)) return "a DXF file";
    // Path data never opens with a brace or a bracket.
    const std::string_view text = trimmedStart(head);
    if (!text.empty() && (text[0] == '{' || text[0] == '[')) return "a JSON document";
    return {};
}

std::string foreignFormatSentence(std::string_view format) {
    return "this looks like " + std::string(format) +
           "; Vantrel reads SVG documents (.svg, or .svgz compressed) and SVG path data";
}

}  // namespace vantrel
