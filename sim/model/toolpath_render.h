#pragma once
// Drawings of what the machine did. Both put the feed direction (x, the
// second value of a pair) across and the carriage direction (y) down, so a
// design looks as it was drawn; the origin (home) is always inside the view.
// Cuts (tool down) are solid black, moves with the tool raised dashed blue.
#include <cstdint>
#include <string>
#include <vector>

#include "model/machine.h"

namespace vantrel::sim {

std::string toolPathSvg(const std::vector<ToolSegment>& path);

struct Raster {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3, rows top to bottom
    // Colour at (column, row); for tests and tools.
    std::uint32_t pixel(std::uint32_t column, std::uint32_t row) const;
};

// The tool path scaled so that the picture, margins included, is at most
// `maxSide` pixels on its longer side.
Raster rasterizeToolPath(const std::vector<ToolSegment>& path, std::uint32_t maxSide = 1200);
std::string toolPathPng(const std::vector<ToolSegment>& path, std::uint32_t maxSide = 1200);

inline constexpr std::uint32_t CutColour = 0x000000;
inline constexpr std::uint32_t MoveColour = 0x7FA7E0;
inline constexpr std::uint32_t HomeColour = 0xE02020;
inline constexpr std::uint32_t PaperColour = 0xFFFFFF;

}  // namespace vantrel::sim
