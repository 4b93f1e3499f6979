#pragma once
// A small PNG encoder: 8-bit RGB, no filtering, and a zlib stream of stored
// (uncompressed) deflate blocks. Larger than a compressed file, but exact and
// free of any library.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

std::uint32_t crc32(std::string_view bytes, std::uint32_t crc = 0);
std::uint32_t adler32(std::string_view bytes, std::uint32_t adler = 1);

// The zlib stream (RFC 1950) of `data` in stored deflate blocks (RFC 1951).
std::string zlibStored(std::string_view data);

// `rgb` holds width * height * 3 bytes, rows top to bottom. Returns the whole
// file, or an empty string when the sizes do not match.
std::string encodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb);

}  // namespace vantrel
