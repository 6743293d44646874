// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

using namespace logora::text;

namespace {

struct ParseCase {
    std::u16string text;
    double value;
};

TEST(ParseNumber, ReadsTheLeadingNumber) {
    const ParseCase cases[] = {
        {u"", 0},        {u"12abc", 12}, {u"1 2", 12},   {u"1\t2\n3", 123}, {u"1,5", 1},
        {u"-3", -3},     {u"+4", 4},     {u"- 3", -3},   {u".", 0},         {u"-", 0},
        {u"1.2.3", 1.2}, {u"1e2", 100},  {u"1D2", 100},  {u"1d-2", 0.01},   {u"1E+2", 100},
        {u"1e", 1},      {u"1e+", 1},    {u"e5", 0},     {u".5", 0.5},      {u"550\r\n", 550},
        {u"\r550", 0}, // a carriage return is not a blank
        {u"4.50", 4.5},  {u"&H1F", 31},  {u"&hff", 255}, {u"&O17", 15},     {u"&o8", 0},
        {u"&", 0},       {u"6米", 6},    {u"0.1", 0.1},  {u"+-3", 0},       {u"  7", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseNumber(c.text), c.value) << toUtf8(c.text);
    }
}

TEST(ParseNumber, IsCorrectlyRounded) {
    EXPECT_EQ(parseNumber(u"0.1"), 0.1);
    EXPECT_EQ(parseNumber(u"2.675"), 2.675);
    EXPECT_EQ(parseNumber(u"0.30000000000000004"), 0.1 + 0.2);
    const std::u16string longDigits(200, u'1');
    EXPECT_DOUBLE_EQ(parseNumber(longDigits), 1.1111111111111111e199);
}

TEST(ParseNumber, AbsurdExponentsNeitherCrashNorWrap) {
    EXPECT_TRUE(std::isinf(parseNumber(u"1e999")));
    EXPECT_TRUE(std::isinf(parseNumber(u"-1e999999999999999999")));
    EXPECT_EQ(parseNumber(u"1e-999"), 0);
    EXPECT_EQ(parseNumber(u"0e999"), 0);
    EXPECT_TRUE(std::isinf(parseNumber(std::u16string(400, u'9'))));
    // Decided by the value, not by the exponent's sign.
    const std::pair<std::u16string, double> byValue[] = {
        {u"0." + std::u16string(330, u'0') + u"1", 0.0},
        {u"-0." + std::u16string(330, u'0') + u"1", -0.0},
        {u"1" + std::u16string(400, u'0') + u"e-50", HUGE_VAL},
        {u"0.000" + std::u16string(400, u'0') + u"1e400", 1e-4},
        {u"0." + std::u16string(400, u'0') + u"1e+50", 0.0},
        {u"1" + std::u16string(400, u'0') + u"e-390", 1e10},
    };
    for (const auto& [text, value] : byValue) {
        EXPECT_EQ(parseNumber(text), value) << text.size();
    }
}

struct PatternCase {
    double value;
    Pattern pattern;
    std::u16string text;
};

TEST(PatternText, RoundsAtFifteenDigitsThenHalfAwayFromZero) {
    const PatternCase cases[] = {
        {0.0625, Pattern::Three, u"0.063"},
        {2.675, Pattern::Two, u"2.68"}, // 2.67499999... in binary, 2.67500000000000 at 15 digits
        {1.005, Pattern::Two, u"1.01"},
        {0, Pattern::Four, u"0.0000"},
        {1234.5, Pattern::Two, u"1234.50"},
        {0.5, Pattern::Two, u"0.50"},
        {0.06157536, Pattern::Three, u"0.062"},
        {0.00005, Pattern::Four, u"0.0001"},
        {0.00004999, Pattern::Four, u"0.0000"},
        {0.0004, Pattern::Two, u"0.00"},
        {0.005, Pattern::Two, u"0.01"},
        {9.9999, Pattern::Three, u"10.000"},
        {999.995, Pattern::Two, u"1000.00"},
        {-2.675, Pattern::Two, u"-2.68"},
        {-0.00001, Pattern::Four, u"0.0000"}, // no minus on a zero
        {0.1 + 0.2, Pattern::Two, u"0.30"},
        {1e20, Pattern::Two, u"100000000000000000000.00"},
        {123456789012345678.0, Pattern::Two, u"123456789012346000.00"},
        {1e-300, Pattern::Four, u"0.0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(patternText(c.value, c.pattern), c.text) << c.value;
    }
}

TEST(PatternText, NonFiniteValuesShowOverflow) {
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (double v : values) {
        EXPECT_EQ(patternText(v, Pattern::Four), u"溢出");
        EXPECT_EQ(plainText(v), u"溢出");
    }
}

TEST(PatternText, ReadsBackExactly) {
    for (int i = 0; i < 20000; ++i) {
        const double v = i * 0.0137;
        const auto t = patternText(v, Pattern::Four);
        EXPECT_EQ(patternText(parseNumber(t), Pattern::Four), t);
    }
}

struct PlainCase {
    double value;
    std::u16string text;
};

TEST(PlainText, FifteenDigitsWithoutTrailingZeros) {
    const PlainCase cases[] = {
        {12, u"12"},
        {0.1 + 0.2, u"0.3"},
        {1234.56, u"1234.56"},
        {-3, u"-3"},
        {4.5, u"4.5"},
        {0, u"0"},
        {-0.0, u"0"},
        {0.5, u"0.5"},
        {100, u"100"},
        {0.0001, u"0.0001"},
        {0.00001, u"0.00001"},
        {120.5 + 80.25, u"200.75"},
        {100.5 + 99.5, u"200"},
        {123456789012345.0, u"123456789012345"},
        {1.0 / 3, u"0.333333333333333"},
        {1e15, u"1E+15"},
        {1.5e-16, u"1.5E-16"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plainText(c.value), c.text) << c.value;
    }
}

TEST(CompareOrdinal, ByCodeUnitWithPrefixFirst) {
    struct Case {
        std::u16string text, threshold;
        int sign;
    };
    const Case cases[] = {
        {u"", u"1", -1},           {u"0", u"1", -1},           {u"0.5", u"1", -1},
        {u".5", u"1", -1},         {u"-3", u"1", -1},          {u" 7", u"1", -1},
        {u"1", u"1", 0},           {u"1.5", u"1", 1},          {u"10", u"1", 1},
        {u"2", u"1", 1},           {u"0.0000", u"0.0001", -1}, {u"0.0123", u"0.0001", 1},
        {u"0.0001", u"0.0001", 0}, {u"0.00", u"0.01", -1},     {u"0.5", u"0.01", 1},
        {u"溢出", u"1", 1},        {u"\uFFFF", u"\u4E00", 1},
    };
    for (const auto& c : cases) {
        const int r = compareOrdinal(c.text, c.threshold);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << toUtf8(c.text) << " vs " << toUtf8(c.threshold);
        EXPECT_EQ(sortsBelow(c.text, c.threshold), c.sign < 0);
    }
}

TEST(Utf, RoundTripsChineseAndSurrogates) {
    const std::u16string s = u"直径12CM以下：😀";
    EXPECT_EQ(fromUtf8(toUtf8(s)), s);
}

} // namespace

namespace {

// The quick paths must agree with the 15-digit decimal form for every value; compare with
// an independent slow rendering through snprintf's exact %.14e digits.
std::u16string slowPattern(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    std::string digits;
    const char* p = buf;
    bool neg = *p == '-';
    if (neg) {
        ++p;
    }
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            digits.push_back(*p);
        }
    }
    const int exp = std::atoi(p + 1);
    // Scale to an integer count of 10^-decimals units, rounding half away at digit 15.
    long double units = 0;
    for (char d : digits) {
        units = units * 10 + (d - '0');
    }
    const int shift = exp - 14 + decimals; // units * 10^shift
    long double scaled = units;
    if (shift >= 0) {
        for (int i = 0; i < shift; ++i) {
            scaled *= 10;
        }
    } else {
        long double div = 1;
        for (int i = 0; i < -shift; ++i) {
            div *= 10;
        }
        scaled = std::floor(units / div + 0.5L);
    }
    const auto n = static_cast<unsigned long long>(scaled);
    std::string out = std::to_string(n);
    if (out.size() <= static_cast<std::size_t>(decimals)) {
        out.insert(0, static_cast<std::size_t>(decimals) + 1 - out.size(), '0');
    }
    out.insert(out.size() - static_cast<std::size_t>(decimals), ".");
    if (neg && n != 0) {
        out.insert(0, "-");
    }
    return std::u16string(out.begin(), out.end());
}

TEST(PatternText, QuickPathAgreesWithTheDecimalForm) {
    unsigned long long seed = 12345;
    auto next = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return seed >> 11;
    };
    for (int i = 0; i < 40000; ++i) {
        // Values made of few decimals, their sums and products: where ties and near-ties live.
        const double a = static_cast<double>(next() % 100000) / 10000;
        const double b = static_cast<double>(next() % 100000) / 1000;
        const double values[] = {a, a * b, a + b, a * 550, b / 8, -a * b};
        for (double v : values) {
            for (int d : {2, 3, 4}) {
                const auto pattern = static_cast<Pattern>(d);
                ASSERT_EQ(patternText(v, pattern), slowPattern(v, d)) << v << " at " << d;
                ASSERT_EQ(patternValue(v, pattern), parseNumber(patternText(v, pattern)));
            }
            char exact[64];
            std::snprintf(exact, sizeof exact, "%.14e", v);
            ASSERT_EQ(parseNumber(plainText(v)), std::strtod(exact, nullptr)) << exact;
        }
    }
}

} // namespace
