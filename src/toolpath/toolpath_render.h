#pragma once
// Drawings of what the machine did, or will do. Both put the feed direction
// (x, the second value of a pair) across and the carriage direction (y) down,
// so a design looks as it was drawn; the origin (home, where a job starts) is
// always inside the view. Cuts (tool down) are solid black, moves with the
// tool raised dashed light blue, home red; the media, when given, a grey
// outline beneath, and a caption, when given, lines of text below.
#include <cstdint>
#include <string>
#include <vector>

#include "toolpath/tool_path.h"

namespace vantrel {

struct PictureExtras {
    // The media's outline from the origin, in steps: across the carriage (y)
    // and along the feed (x). None when either is 0.
    double mediaY = 0;
    double mediaX = 0;
    std::vector<std::string> caption;  // printable ASCII, one line each
    std::vector<ToolSegment> overhang;  // cuts the machine leaves out, drawn over the rest in red
    // Print and Cut: the registration marks where they are printed, each a
    // closed outline in the same steps as the path, drawn filled.
    std::vector<std::vector<ToolPoint>> marks;
};

std::string toolPathSvg(const std::vector<ToolSegment>& path, const PictureExtras& extras = {});

struct Raster {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3, rows top to bottom
    // Colour at (column, row); for tests and tools.
    std::uint32_t pixel(std::uint32_t column, std::uint32_t row) const;
};

// The tool path scaled so that the drawing, margins included, is at most
// `maxSide` pixels on its longer side; a caption adds its lines below.
Raster rasterizeToolPath(const std::vector<ToolSegment>& path, std::uint32_t maxSide = 1200,
                         const PictureExtras& extras = {});
std::string toolPathPng(const std::vector<ToolSegment>& path, std::uint32_t maxSide = 1200,
                        const PictureExtras& extras = {});

inline constexpr std::uint32_t CutColour = 0x000000;
inline constexpr std::uint32_t MoveColour = 0x7FA7E0;
inline constexpr std::uint32_t MarkColour = 0xC03080;
inline constexpr std::uint32_t HomeColour = 0xE02020;
inline constexpr std::uint32_t OverhangColour = 0xFF0000;
inline constexpr std::uint32_t PaperColour = 0xFFFFFF;
inline constexpr std::uint32_t MediaColour = 0xB0B0B0;
inline constexpr std::uint32_t CaptionColour = 0x202020;

}  // namespace vantrel
