#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "settings/measurement.h"

namespace vantrel {
namespace {

TEST(ParseMeasurement, ReadsDecimalsFractionsAndMixedNumbers) {
    struct Case {
        std::string text;
        double expected;
    } cases[] = {
        {"508.0", 508.0},       {"508", 508.0},          {"  42abc", 42.0},      {"-3.5e2", -350.0},
        {"+.5", 0.5},           {"5.", 5.0},             {"1e", 1.0},            {"2e+", 2.0},
        {"1/16", 0.0625},       {"6 1/16", 6.0625},      {"-1 1/2", -1.5},       {"1016/2", 508.0},
        {"5 15/16", 5.9375},    {"500 1/2", 500.5},      {"-1/2", -0.5},         {"1/-2", -0.5},
        {"6 -1/16", 5.9375},    {"6  1/16", 6.0625},     {"\t6 1/16", 6.0625},   {"2 1/2 3/4", 2.5},
        // Decimal points are not honoured inside fractions: the integers stop there.
        {"1.5/2", 0.5},         {"3/4.9", 0.75},         {"1.9 1/2", 1.5},
        // A blank is a separator only between a whole number and its fraction.
        {"6 1", 6.0},           {"6\t1/16", 0.375},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ParseMeasurement(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseMeasurement, WholeNumberZeroOrLeadingBlankAddsTheFraction) {
    // Read by sign, not by value, so a zero whole number keeps the fraction positive.
    EXPECT_DOUBLE_EQ(ParseMeasurement("0 1/2"), 0.5);
    EXPECT_DOUBLE_EQ(ParseMeasurement(" 1/2"), 0.5);
    EXPECT_DOUBLE_EQ(ParseMeasurement("   1/2"), 0.5);
    EXPECT_DOUBLE_EQ(ParseMeasurement(" 6 1/16"), 6.0625);
    EXPECT_DOUBLE_EQ(ParseMeasurement("-0 1/2"), -0.5);
}

TEST(ParseMeasurement, TextThatDoesNotReadGivesZeroNeverANonFiniteValue) {
    const std::string cases[] = {"", " ", "abc", "-", ".", "e5", "1/0", "1/", "1/x", "5/ -0", "inf", "-INF",
                                 "nan", "infinity", "0x10", "1e999", "-1e999", "1e-999",
                                 std::string("\0" "5", 2)};
    for (const auto& text : cases) {
        double value = ParseMeasurement(text);
        EXPECT_TRUE(std::isfinite(value)) << text;
        EXPECT_EQ(value, 0.0) << text;
    }
}

TEST(ParseMeasurement, HugeIntegersSaturateInsteadOfWrapping) {
    EXPECT_DOUBLE_EQ(ParseMeasurement("99999999999999999999999/1"), 9223372036854775807.0);
    EXPECT_DOUBLE_EQ(ParseMeasurement("-99999999999999999999999/1"), -9223372036854775808.0);
    EXPECT_DOUBLE_EQ(ParseMeasurement("1/99999999999999999999999"), 1.0 / 9223372036854775807.0);
}

TEST(ParseMeasurement, StopsAtNulAndIgnoresNonAsciiCharacters) {
    EXPECT_DOUBLE_EQ(ParseMeasurement(std::string("1\0/2", 4)), 1.0);
    EXPECT_DOUBLE_EQ(ParseMeasurement(u"500 1/2"), 500.5);
    EXPECT_DOUBLE_EQ(ParseMeasurement(u"1016/2"), 508.0);
    EXPECT_DOUBLE_EQ(ParseMeasurement(u"\uFF15"), 0.0);  // a full-width digit is not a digit
    EXPECT_DOUBLE_EQ(ParseMeasurement(u"12\u00B73"), 12.0);
    EXPECT_DOUBLE_EQ(ParseMeasurement(std::u16string(u"7\0/2", 4)), 7.0);
}

// Our decimal reading must agree with the C library's wherever the C library
// reads a plain decimal (it also reads "inf", "nan" and hexadecimal, which we refuse).
TEST(ParseMeasurement, DecimalsAgreeWithTheCLibrary) {
    std::mt19937 random(11);
    const std::string alphabet = "0123456789.eE+- a";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 12);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = length(random); n > 0; --n) text.push_back(alphabet[pick(random)]);
        double expected = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(expected)) expected = 0.0;
        ASSERT_EQ(ParseMeasurement(text), expected) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace vantrel
