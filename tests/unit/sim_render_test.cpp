#include <gtest/gtest.h>

#include "toolpath/job_reader.h"
#include "toolpath/png_writer.h"
#include "toolpath/toolpath_render.h"

namespace vantrel {
namespace {

std::uint32_t bigEndian(const std::string& s, std::size_t at) {
    return (std::uint32_t{static_cast<std::uint8_t>(s[at])} << 24) |
           (std::uint32_t{static_cast<std::uint8_t>(s[at + 1])} << 16) |
           (std::uint32_t{static_cast<std::uint8_t>(s[at + 2])} << 8) | static_cast<std::uint8_t>(s[at + 3]);
}

// Reads the stored blocks of a zlib stream back, checking every header.
std::string inflateStored(const std::string& z) {
    EXPECT_EQ((static_cast<std::uint8_t>(z[0]) * 256 + static_cast<std::uint8_t>(z[1])) % 31, 0);
    std::string out;
    std::size_t at = 2;
    while (true) {
        std::uint8_t header = static_cast<std::uint8_t>(z.at(at));
        std::size_t len = static_cast<std::uint8_t>(z[at + 1]) | (static_cast<std::uint8_t>(z[at + 2]) << 8);
        std::size_t nlen = static_cast<std::uint8_t>(z[at + 3]) | (static_cast<std::uint8_t>(z[at + 4]) << 8);
        EXPECT_EQ(len ^ 0xFFFF, nlen);
        out += z.substr(at + 5, len);
        at += 5 + len;
        if (header & 1) break;
        EXPECT_EQ(header, 0);
    }
    EXPECT_EQ(bigEndian(z, at), adler32(out));
    EXPECT_EQ(at + 4, z.size());
    return out;
}

TEST(SimPng, ChecksumsMatchTheirStandardValues) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32("IEND"), 0xAE426082u);
    EXPECT_EQ(adler32("Wikipedia"), 0x11E60398u);
    // Long input exercises the modulo steps of Adler-32 against a plain sum.
    std::string big(100000, '\xFF');
    std::uint64_t a = 1, b = 0;
    for (unsigned char c : big) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(adler32(big), static_cast<std::uint32_t>((b << 16) | a));
}

TEST(SimPng, StoredBlocksCarryTheDataAtEveryBlockBoundary) {
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 200000u}) {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 251);
        EXPECT_EQ(inflateStored(zlibStored(data)), data) << size;
    }
}

TEST(SimPng, FileHasSignatureChunksAndRows) {
    std::vector<std::uint8_t> rgb{255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3};
    std::string png = encodePng(2, 2, rgb);
    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    std::vector<std::string> types;
    std::string idat;
    for (std::size_t at = 8; at < png.size();) {
        std::uint32_t length = bigEndian(png, at);
        std::string type = png.substr(at + 4, 4);
        EXPECT_EQ(bigEndian(png, at + 8 + length), crc32(png.substr(at + 4, 4 + length))) << type;
        if (type == "IHDR") {
            EXPECT_EQ(bigEndian(png, at + 8), 2u);
            EXPECT_EQ(bigEndian(png, at + 12), 2u);
            EXPECT_EQ(png.substr(at + 16, 5), std::string("\x08\x02\x00\x00\x00", 5));
        }
        if (type == "IDAT") idat = png.substr(at + 8, length);
        types.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(inflateStored(idat), std::string("\0\xFF\0\0\0\xFF\0\0\0\0\xFF\1\2\3", 14));
    EXPECT_TRUE(encodePng(2, 2, std::vector<std::uint8_t>(11)).empty());
    EXPECT_TRUE(encodePng(0, 2, {}).empty());
}

TEST(SimRender, RasterShowsCutsMovesAndHomeWhereTheyAre) {
    // Move to (y 0, x 1000) raised, then cut down the carriage to (1000, 1000).
    std::vector<ToolSegment> path{{{0, 0}, {0, 1000}, false}, {{0, 1000}, {1000, 1000}, true}};
    Raster r = rasterizeToolPath(path, 117);  // 100 pixels for 1000 steps, 8 of margin each side
    ASSERT_EQ(r.width, 117u);
    ASSERT_EQ(r.height, 117u);
    EXPECT_EQ(r.pixel(108, 50), CutColour);    // x 1000 across, halfway down
    EXPECT_EQ(r.pixel(108, 108), CutColour);
    EXPECT_EQ(r.pixel(8 + 9, 8), MoveColour);  // the raised move runs dashed along the top
    EXPECT_EQ(r.pixel(8 + 5, 8), PaperColour);
    EXPECT_EQ(r.pixel(8, 8), HomeColour);
    EXPECT_EQ(r.pixel(50, 50), PaperColour);
    std::size_t cut = 0;
    for (std::uint32_t row = 0; row < r.height; ++row)
        for (std::uint32_t col = 0; col < r.width; ++col) cut += r.pixel(col, row) == CutColour;
    EXPECT_EQ(cut, 101u);
    EXPECT_FALSE(toolPathPng(path).empty());
    // Empty record: still a valid picture of the home position.
    EXPECT_GT(rasterizeToolPath({}).width, 0u);
}

TEST(SimRender, MediaOutlineAndCaptionAreDrawnBesideThePath) {
    const std::vector<ToolSegment> path{{{0, 0}, {500, 500}, true}};
    PictureExtras extras;
    extras.mediaY = 1000;
    extras.mediaX = 1000;
    extras.caption = {"cut 1.00 in", "|"};
    const Raster r = rasterizeToolPath(path, 117, extras);
    ASSERT_EQ(r.width, 117u);
    ASSERT_EQ(r.height, 117u + 2 * 12);  // two lines of 10-pixel glyphs and their spacing
    EXPECT_EQ(r.pixel(108, 50), MediaColour);  // the media's far edge
    EXPECT_EQ(r.pixel(58, 58), CutColour);
    // The second line's "|" stands in the glyph's third column, rows 1 to 8.
    EXPECT_EQ(r.pixel(8 + 2, 117 + 12 + 4), CaptionColour);
    EXPECT_EQ(r.pixel(8 + 0, 117 + 12 + 4), PaperColour);
    const std::string svg = toolPathSvg(path, extras);
    EXPECT_NE(svg.find("<rect class=\"media\" x=\"0\" y=\"0\" width=\"1000\" height=\"1000\""), std::string::npos);
    EXPECT_NE(svg.find(">cut 1.00 in</text>"), std::string::npos) << svg;
}

// Lengths as the machine moves: in inches at each axis's resolution, curves
// along the curve, the raised return home included; any split into pieces.
TEST(JobReader, TotalsAsTheMachineMovesInAnyPieces) {
    const std::string job =
        "FN0|FC18|\\29,29|Z6096,20000|FX10,0|!10,0|L0|L0|M0,0|M0,1000|D508,1000,508,2000|M0,2000|"
        "BZ1,0,2000,0,2000,0,2250,0,2500|D0,2000|H|";
    for (std::size_t piece : {job.size(), std::size_t{1}, std::size_t{7}}) {
        JobReader reader(1000, 508, true);
        for (std::size_t at = 0; at < job.size(); at += piece) reader.read(std::string_view(job).substr(at, piece));
        const JobTotals& t = reader.totals();
        // Cut: 1 in across the carriage, 1 in along the feed, then a straight curve
        // of 500 steps and the 500 back: 1 in.
        EXPECT_NEAR(t.cutInches, 3.0, 1e-6) << piece;
        // Travel: 1 in to the first figure, 1 in back across the carriage, none
        // to the curve's start (already there), home 2 in.
        EXPECT_NEAR(t.travelInches, 1.0 + 1.0 + 2.0, 1e-6) << piece;
        EXPECT_EQ(t.toolLifts, 2u);
        EXPECT_EQ(t.bytes, job.size());
        EXPECT_EQ(reader.limitY(), 6096);
        EXPECT_EQ(reader.limitX(), 20000);
        ASSERT_FALSE(reader.path().empty());
        EXPECT_TRUE(reader.path().back().to == (ToolPoint{0, 0}) && !reader.path().back().down);
    }
}

TEST(SimRender, SvgJoinsRunsAndKeepsCutsApartFromMoves) {
    std::vector<ToolSegment> path{{{0, 0}, {10, 20}, false},
                                  {{10, 20}, {10, 30}, true},
                                  {{10, 30}, {15.5, 30}, true},
                                  {{15.5, 30}, {0, 0}, false}};
    std::string svg = toolPathSvg(path);
    EXPECT_NE(svg.find("class=\"cuts\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\" "
                       "vector-effect=\"non-scaling-stroke\" d=\"M20 10L30 10L30 15.5\""),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("d=\"M0 0L20 10M30 15.5L0 0\""), std::string::npos) << svg;
}

}  // namespace
}  // namespace vantrel
