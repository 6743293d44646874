// SPDX-License-Identifier: GPL-3.0-or-later
// Number text: how Logora reads numbers out of field texts and writes them back.
// Every figure on screen is a field text; these four operations decide how a
// tally behaves at its edges, so they follow the conventions exactly.
#pragma once

#include <string>
#include <string_view>

namespace logora::text {

// Shown in place of a number that is not finite (a typed 1e999, or a sum that overflows).
inline constexpr std::u16string_view kOverflow = u"溢出";

// The leading-number parse: blanks, tabs and line feeds are ignored anywhere; then an
// optional sign, digits with at most one point and an optional exponent (E, e, D, d).
// Reading stops at the first character that cannot continue the number; no digits give 0.
// "&H" and "&O" introduce hexadecimal and octal integers.
double parseNumber(std::u16string_view text);

// The digit patterns "0.0000", "0.000" and "0.00".
enum class Pattern { Four = 4, Three = 3, Two = 2 };

// The value at 15 significant digits, rounded half away from zero to the pattern's decimals.
std::u16string patternText(double value, Pattern pattern);

// The value of patternText(value, pattern) read back, without making the text.
double patternValue(double value, Pattern pattern);

// The value at 15 significant digits without trailing zeros (12, 0.5, 1234.56, -3).
std::u16string plainText(double value);

// Ordinal comparison by UTF-16 code unit; a proper prefix sorts first.
// Returns a negative number, zero or a positive number.
int compareOrdinal(std::u16string_view a, std::u16string_view b);

// True when text sorts strictly before threshold: the test of zero hiding.
inline bool sortsBelow(std::u16string_view text, std::u16string_view threshold) {
    return compareOrdinal(text, threshold) < 0;
}

// A typed text without the blanks, tabs and ideographic spaces around it.
std::u16string trimmed(std::u16string_view text);

// An integer in decimal digits (row names, counts, error numbers in messages).
std::u16string intText(long long value);

// Conversions at the edges (tests, files, widgets): UTF-8 <-> UTF-16.
std::u16string fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

} // namespace logora::text
