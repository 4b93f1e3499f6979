#include "toolpath/png_writer.h"

#include <array>

namespace vantrel {
namespace {

const std::array<std::uint32_t, 256>& crcTable() {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putBigEndian(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void putChunk(std::string& out, std::string_view type, std::string_view data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::size_t start = out.size();
    out.append(type);
    out.append(data);
    putBigEndian(out, crc32(std::string_view(out).substr(start)));
}

}  // namespace

std::uint32_t crc32(std::string_view bytes, std::uint32_t crc) {
    const auto& table = crcTable();
    crc = ~crc;
    for (char b : bytes) crc = table[(crc ^ static_cast<std::uint8_t>(b)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t adler32(std::string_view bytes, std::uint32_t adler) {
    constexpr std::uint32_t Mod = 65521;
    std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
    // 5552 bytes is the longest run whose sums cannot overflow 32 bits.
    while (!bytes.empty()) {
        std::size_t n = std::min<std::size_t>(bytes.size(), 5552);
        for (std::size_t i = 0; i < n; ++i) {
            a += static_cast<std::uint8_t>(bytes[i]);
            b += a;
        }
        a %= Mod;
        b %= Mod;
        bytes.remove_prefix(n);
    }
    return (b << 16) | a;
}

std::string zlibStored(std::string_view data) {
    constexpr std::size_t MaxBlock = 65535;
    std::string out;
    out.reserve(data.size() + data.size() / MaxBlock * 5 + 11);
    out += '\x78';  // deflate, 32 KiB window
    out += '\x01';  // no dictionary, fastest; 0x7801 is a multiple of 31
    std::size_t offset = 0;
    do {
        std::size_t n = std::min(MaxBlock, data.size() - offset);
        bool last = offset + n == data.size();
        out += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(data.substr(offset, n));
        offset += n;
    } while (offset < data.size());
    putBigEndian(out, adler32(data));
    return out;
}

std::string encodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb) {
    if (width == 0 || height == 0 || rgb.size() != std::size_t{width} * height * 3) return {};
    std::string raw;
    std::size_t row = std::size_t{width} * 3;
    raw.reserve((row + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        raw += '\0';  // filter type None
        raw.append(reinterpret_cast<const char*>(rgb.data()) + y * row, row);
    }
    std::string header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header += '\x08';  // bit depth
    header += '\x02';  // colour type RGB
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

    std::string png("\x89PNG\r\n\x1A\n", 8);
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace vantrel
