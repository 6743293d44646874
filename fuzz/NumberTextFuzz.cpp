// SPDX-License-Identifier: GPL-3.0-or-later
// Number text under random input: no crash, no sanitizer report, and the properties every
// field relies on.
#include "text/NumberText.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace logora::text;

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

std::u16string textOf(const std::uint8_t* data, std::size_t size) {
    std::u16string t(size / 2, u'\0');
    std::memcpy(t.data(), data, t.size() * 2);
    return t;
}

// The leading number as the rules read it (blanks dropped anywhere, an optional sign, digits
// with at most one point, an exponent only after a digit and only with digits), read by the
// C library: an independent reading of the same value, overflow and underflow included.
// Returns false for what it does not cover (the radix forms).
bool independent(const std::u16string& t, double& value) {
    std::string s;
    for (char16_t c : t) {
        if (c == u' ' || c == u'\t' || c == u'\n') {
            continue;
        }
        if (c > 127) {
            break;
        }
        s.push_back(static_cast<char>(c));
    }
    if (!s.empty() && s[0] == '&') {
        return false;
    }
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    bool digit = false, point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            digit = true;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    std::string number = s.substr(0, i);
    if (digit && i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        const std::size_t digits = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            ++j;
        }
        if (j > digits) {
            number += 'e' + s.substr(i + 1, j - i - 1);
        }
    }
    value = digit ? std::strtod(number.c_str(), nullptr) : 0.0;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Half the inputs as ASCII (where numbers live), half as raw UTF-16.
    const bool ascii = size > 0 && (data[0] & 1) != 0;
    std::u16string t;
    if (ascii) {
        for (std::size_t i = 1; i < size; ++i) {
            t.push_back(static_cast<char16_t>(data[i] & 0x7F));
        }
    } else if (size > 0) {
        t = textOf(data + 1, size - 1);
    }
    const double v = parseNumber(t);
    check(!std::isnan(v));
    if (double expected = 0; independent(t, expected)) {
        check(v == expected);
    }
    for (Pattern p : {Pattern::Four, Pattern::Three, Pattern::Two}) {
        const std::u16string written = patternText(v, p);
        if (std::isfinite(v)) {
            // A pattern text read back and written again is unchanged.
            check(patternText(parseNumber(written), p) == written);
            check(patternValue(v, p) == parseNumber(written));
            const auto point = written.find(u'.');
            check(point != std::u16string::npos &&
                  written.size() - point - 1 == static_cast<std::size_t>(p));
        } else {
            check(written == kOverflow);
        }
    }
    const std::u16string plain = plainText(v);
    if (std::isfinite(v)) {
        check(plainText(parseNumber(plain)) == plain);
    }
    // The ordinal comparison is a total order: antisymmetric and consistent with equality.
    const std::u16string other = textOf(data, size);
    const int ab = compareOrdinal(t, other);
    const int ba = compareOrdinal(other, t);
    check((ab < 0) == (ba > 0) && (ab == 0) == (ba == 0) && (ab == 0) == (t == other));
    check(compareOrdinal(t, t) == 0);
    return 0;
}
