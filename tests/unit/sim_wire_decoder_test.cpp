#include <gtest/gtest.h>

#include <random>

#include "model/wire_decoder.h"

namespace vantrel::sim {
namespace {

using Kind = WireCommand::Kind;

// A byte string from a literal, NULs included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::vector<WireCommand> decodeAll(std::string_view bytes) {
    WireDecoder decoder;
    std::vector<WireCommand> out;
    decoder.feed(bytes, out);
    return out;
}

std::vector<std::string> described(const std::vector<WireCommand>& commands) {
    std::vector<std::string> out;
    for (const auto& c : commands) out.push_back(describe(c));
    return out;
}

TEST(SimWireDecoder, SeparatesTextCommandsAndEscapes) {
    struct Case {
        std::string bytes;
        std::vector<std::string> expected;
    } cases[] = {
        {bytes("H\x03"), {"H"}},
        {bytes("\x1B\x05"), {"<ESC ENQ>"}},
        {bytes("\x1B\x00\x02\x1B\x00\x00"), {"<ESC NUL 02>", "<ESC NUL 00>"}},
        {bytes("FG\x03M-12,305\x03\x1B\x05"), {"FG", "M-12,305", "<ESC ENQ>"}},
        // Two ETX in a row: an empty command.
        {bytes("\x03\x03"), {"", ""}},
        {bytes("\x1B\x41"), {"<ESC 41>"}},
        // An escape between the bytes of a text command leaves the text whole.
        {bytes("FX1\x1B\x05" "0,0\x03"), {"<ESC ENQ>", "FX10,0"}},
        {bytes("\\29,29\x03\x7F\x03"), {"\\\\29,29", "\\x7F"}},
    };
    for (const auto& c : cases) EXPECT_EQ(described(decodeAll(c.bytes)), c.expected) << describe({Kind::Text, c.bytes, 0});
}

TEST(SimWireDecoder, AnySplitOfTheStreamGivesTheSameCommands) {
    const std::string stream =
        bytes("FN0\x03" "FN1\x03" "\x1B\x05" "D1,2,3,4\x03" "\x1B\x00\x08" "H\x03" "\x1B\x00\x00" "FG\x03");
    const auto whole = decodeAll(stream);
    ASSERT_EQ(whole.size(), 8u);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        WireDecoder decoder;
        std::vector<WireCommand> out;
        std::size_t at = 0;
        while (at < stream.size()) {
            std::size_t n = std::uniform_int_distribution<std::size_t>(1, 5)(random);
            decoder.feed(std::string_view(stream).substr(at, n), out);
            at += n;
        }
        EXPECT_EQ(out, whole);
        EXPECT_EQ(decoder.pendingBytes(), 0u);
    }
}

TEST(SimWireDecoder, KeepsAnIncompleteCommandUntilItsEnd) {
    WireDecoder decoder;
    std::vector<WireCommand> out;
    decoder.feed("M10,2", out);
    decoder.feed("0", out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(decoder.pendingBytes(), 6u);
    decoder.feed(std::string_view("\x1B", 1), out);
    EXPECT_EQ(decoder.pendingBytes(), 7u);
    decoder.feed(std::string_view("\x05\x03", 2), out);
    EXPECT_EQ(described(out), (std::vector<std::string>{"<ESC ENQ>", "M10,20"}));
    decoder.feed("D1,1", out);
    decoder.reset();
    decoder.feed(std::string_view("H\x03", 2), out);
    EXPECT_EQ(out.back().text, "H");
}

TEST(SimWireDecoder, BoundsACommandThatNeverEnds) {
    WireDecoder decoder(100);
    std::vector<WireCommand> out;
    std::string endless(1000, 'D');
    for (int i = 0; i < 50; ++i) decoder.feed(endless, out);
    EXPECT_LE(decoder.pendingBytes(), 100u);
    decoder.feed(std::string_view("\x03H\x03", 3), out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].kind, Kind::Oversized);
    EXPECT_LE(out[0].text.size(), 100u);
    EXPECT_EQ(out[1], (WireCommand{Kind::Text, "H", 0}));
    // A command exactly at the limit is still whole.
    out.clear();
    decoder.feed(std::string(100, 'L') + '\x03', out);
    EXPECT_EQ(out.at(0).kind, Kind::Text);
}

}  // namespace
}  // namespace vantrel::sim
