#include <gtest/gtest.h>

#include <random>

#include "cutdata/commands.h"

namespace vantrel {
namespace {

TEST(CommandLanguage, EveryCatalogueCommandHasItsExactText) {
    CommandStream s;
    s.move(1016, 508).draw(0, -3).bezier(1, 2, 3, 4, 5, 6, 7, 8).home();
    s.bladeOffset(18).force(33).speed(1);
    s.lowerLeft(29, 29).upperRight(6096, 60000).feedLength(60000).farCorner(812, 2032);
    s.identify().testPattern().markLength(400).markThickness(16).searchMarks(4000, 5000);
    EXPECT_EQ(s.text(),
              "M1016,508|D0,-3|BZ1,1,2,3,4,5,6,7,8|H|"
              "FC18|FX33,0|!1,0|"
              "\\29,29|Z6096,60000|FO60000|FU812,2032|"
              "FG|FH|TB51,400|TB53,16|TB23,4000,5000|");
}

TEST(CommandLanguage, IntegersAreBareDecimalsWithTheirSign) {
    struct Case {
        long long value;
        const char* text;
    } cases[] = {{0, "0"}, {7, "7"}, {-12, "-12"}, {305, "305"}, {-2147483648LL, "-2147483648"},
                 {9223372036854775807LL, "9223372036854775807"}};
    for (const auto& c : cases) {
        std::string out;
        appendInt(out, c.value);
        EXPECT_EQ(out, c.text);
    }
    EXPECT_EQ(CommandStream().move(-12, 305).text(), "M-12,305|");
}

TEST(CommandLanguage, SixDecimalFormMatchesPrintf) {
    EXPECT_EQ(CommandStream().moveFixed(508.0, 508.0).text(), "M508.000000,508.000000|");
    EXPECT_EQ(CommandStream().drawFixed(-0.5, 3556.0000004).text(), "D-0.500000,3556.000000|");
    // The reference is printf's "%f", rounding included; the locale never matters to us.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> values(-1e6, 1e6);
    for (int i = 0; i < 2000; ++i) {
        double v = values(random);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%f", v);
        std::string out;
        appendSixDecimal(out, v);
        ASSERT_EQ(out, expected) << v;
    }
}

TEST(CommandLanguage, DrawListIsOneOpenCommand) {
    std::string body = "|M0,0|";
    DrawList list(body);
    EXPECT_FALSE(list.started());
    list.add(1, 2);
    list.add(-3, 4);
    list.add(5, 6);
    EXPECT_TRUE(list.started());
    EXPECT_EQ(body, "|M0,0|D1,2,-3,4,5,6");
}

TEST(CommandLanguage, TemplatesAreFilledInOrder) {
    CutHeaderValues header;
    header.jobPrefix = JobPrefix;
    header.bladeOffset = 0;
    header.feedLength = 60000;
    header.margin = 29;
    header.carriageLimit = 6096;
    header.force = 10;
    header.speed = 5;
    EXPECT_EQ(cutHeader(header),
              "FN0|FN1|FJ|FC0|TB99|FM1|TB50,1|FO60000|&100,100,100|\\29,29|Z6096,60000|FX10,0|!5,0|L0|L0|");

    header.jobPrefix = {};
    header.bladeOffset = 18;
    header.farCorner = "FU100,200|";
    header.feedLength = 9000;
    header.margin = 0;
    header.carriageLimit = 4000;
    EXPECT_EQ(cutHeader(header),
              "FC18|TB99|FU100,200|FM1|TB50,1|FO9000|&100,100,100|\\0,0|Z4000,9000|FX10,0|!5,0|L0|L0|");

    EXPECT_EQ(cutJobText("HDR|", ""), "HDR|M0,0|&1,1,1|TB50,0|FO0|H|");
    EXPECT_EQ(cutJobText("HDR|", "|M1,2|D3,4"), "HDR|M0,0|M1,2|D3,4|&1,1,1|TB50,0|FO0|H|");

    EXPECT_EQ(calibrationSquareText("M508.000000,508.000000|"),
              "FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z4120,20000|FX10,0|!10,0|L0|L0|"
              "M508.000000,508.000000|&1,1,1|TB50,0|FO0|H|");

    MarkSearchValues search{3, 400, 16, 100, 120, 4000, 5000};
    EXPECT_EQ(markSearchText(search),
              "!3,0|FJ|FN1|TB99|TB51,400|TB52,2|TB53,16|TB54,0,0|TB55,1|M100,120|TB23,4000,5000|");
    EXPECT_EQ(testCutText(12, 5), "FC0|FX12,0|!5,0|FH|");
}

TEST(Wire, TerminatorsBecomeEtxAndNothingElseChanges) {
    EXPECT_EQ(toWire("H|"), std::string("\x48\x03", 2));
    EXPECT_EQ(toWire(StatusRequest), std::string("\x1B\x05", 2));
    EXPECT_EQ(toWire(jogSequence(JogCode::Stop)), std::string("\x1B\x00\x00", 3));
    EXPECT_EQ(jogSequence(JogCode::Up), std::string("\x1B\x00\x02", 3));
    EXPECT_EQ(jogSequence(JogCode::Left), std::string("\x1B\x00\x08", 3));
    EXPECT_EQ(jogSequence(JogCode::Down), std::string("\x1B\x00\x01", 3));
    EXPECT_EQ(jogSequence(JogCode::Right), std::string("\x1B\x00\x04", 3));
}

TEST(Wire, NoPipeByteEverReachesTheMachine) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> bytes(0, 255);
    for (int round = 0; round < 200; ++round) {
        std::string block(static_cast<std::size_t>(bytes(random)) * 4, '\0');
        for (char& c : block) c = static_cast<char>(bytes(random) < 64 ? '|' : bytes(random));
        std::string wire = toWire(block);
        ASSERT_EQ(wire.size(), block.size());
        for (std::size_t i = 0; i < block.size(); ++i) {
            ASSERT_NE(wire[i], '|');
            ASSERT_EQ(wire[i], block[i] == '|' ? ETX : block[i]);
        }
    }
}

}  // namespace
}  // namespace vantrel
