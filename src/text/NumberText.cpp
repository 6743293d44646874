// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/NumberText.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

namespace logora::text {
namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isIgnoredBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

// Integer after "&H" / "&O". Accumulated in double: exact to 2^53, finite far beyond.
double parseRadix(std::u16string_view text, std::size_t pos, int radix) {
    double value = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos];
        if (isIgnoredBlank(c)) {
            continue;
        }
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (radix == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (radix == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0 || digit >= radix) {
            break;
        }
        value = value * radix + digit;
    }
    return value;
}

// Collects the ASCII of the number into a small buffer; long digit runs spill to the heap.
class NumberBuffer {
  public:
    void push(char c) {
        if (size_ < inline_.size()) {
            inline_[size_] = c;
        } else {
            if (size_ == inline_.size()) {
                spill_.assign(inline_.data(), size_);
            }
            spill_.push_back(c);
        }
        ++size_;
    }
    std::size_t size() const { return size_; }
    void truncate(std::size_t n) {
        size_ = n;
        if (size_ > inline_.size()) {
            spill_.resize(size_);
        } else {
            spill_.clear();
        }
    }
    const char* data() const { return size_ > inline_.size() ? spill_.data() : inline_.data(); }

  private:
    std::array<char, 64> inline_{};
    std::string spill_;
    std::size_t size_ = 0;
};

// The decimal form of a finite value at 15 significant digits: d0.d1...d14 x 10^exp.
struct Decimal15 {
    bool negative = false;
    std::array<char, 15> digits{};
    int exponent = 0;
    bool isZero() const {
        for (char d : digits) {
            if (d != '0') {
                return false;
            }
        }
        return true;
    }
};

Decimal15 decimal15(double value) {
    std::array<char, 40> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                      std::chars_format::scientific, 14);
    const char* p = buf.data();
    Decimal15 d;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    d.digits[0] = *p++;
    ++p; // the point
    for (int i = 1; i < 15; ++i) {
        d.digits[i] = *p++;
    }
    ++p; // 'e'
    int exponent = 0;
    std::from_chars(*p == '+' ? p + 1 : p, result.ptr, exponent);
    d.exponent = exponent;
    return d;
}

std::u16string ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// |v| x 10^decimals rounded half away from zero, as the 15-digit rule rounds it, when
// that is certain without the decimal form: the product lies clearly away from a half,
// further than both the product's own error and the 15-digit rounding can move it.
// False near a half (2.675, 0.0625 at three decimals); the exact path decides those.
bool roundScaledFast(double v, int decimals, std::uint64_t& scaled) {
    const double a = v < 0 ? -v : v;
    if (!(a < 1e10)) {
        return false;
    }
    const double p = a * kPow10[decimals];
    const double whole = std::floor(p);
    const double frac = p - whole;
    const double margin = p * 1e-13 + 1e-12;
    const double fromHalf = frac - 0.5;
    if (fromHalf <= margin && fromHalf >= -margin) {
        return false;
    }
    scaled = static_cast<std::uint64_t>(whole) + (frac > 0.5 ? 1 : 0);
    return true;
}

std::u16string formatScaled(bool negative, std::uint64_t scaled, int decimals) {
    char16_t buf[32];
    char16_t* end = buf + 32;
    char16_t* p = end;
    for (int i = 0; i < decimals; ++i) {
        *--p = static_cast<char16_t>(u'0' + scaled % 10);
        scaled /= 10;
    }
    if (decimals > 0) {
        *--p = u'.';
    }
    do {
        *--p = static_cast<char16_t>(u'0' + scaled % 10);
        scaled /= 10;
    } while (scaled != 0);
    if (negative) {
        *--p = u'-';
    }
    return std::u16string(p, end);
}

// A plain ASCII decimal of at most 15 digits and one point, read exactly: the integer of
// its digits divided by a power of ten is the correctly rounded value.
bool parseSimple(std::u16string_view text, double& value) {
    if (text.empty() || text.size() > 17) {
        return false;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = -1;
    for (char16_t c : text) {
        if (c >= u'0' && c <= u'9') {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - u'0');
            ++digits;
            if (decimals >= 0) {
                ++decimals;
            }
        } else if (c == u'.' && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (digits == 0 || digits > 15) {
        return false;
    }
    value = static_cast<double>(mantissa) / kPow10[decimals < 0 ? 0 : decimals];
    return true;
}

} // namespace

namespace {

// The power of ten of the first non-zero digit of "digits[.digits][e[+-]digits]", with the
// exponent read saturating: enough to tell an overflow from an underflow.
long decimalMagnitude(std::string_view number) {
    const std::size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t i = e + 1;
        const bool minus = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+')) {
            ++i;
        }
        for (; i < number.size(); ++i) {
            exponent = std::min(exponent * 10 + (number[i] - '0'), 1000000000L);
        }
        exponent = minus ? -exponent : exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return -1000000000L;
    }
    const long place =
        first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
    return place + exponent;
}

} // namespace

namespace {

std::size_t skipBlanks(std::u16string_view text, std::size_t pos) {
    while (pos < text.size() && isIgnoredBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

// After "&": "H" reads hexadecimal digits, "O" octal ones; anything else is no number.
double parsePrefixed(std::u16string_view text, std::size_t afterAmpersand) {
    const std::size_t next = skipBlanks(text, afterAmpersand);
    if (next < text.size()) {
        const char16_t kind = text[next];
        if (kind == u'H' || kind == u'h') {
            return parseRadix(text, next + 1, 16);
        }
        if (kind == u'O' || kind == u'o') {
            return parseRadix(text, next + 1, 8);
        }
    }
    return 0;
}

// The leading decimal number as the characters from_chars reads, its sign kept apart.
struct ScannedNumber {
    NumberBuffer digits;
    bool negative = false;
    bool seenDigit = false;
    bool nonZeroDigit = false;
};

ScannedNumber scanDecimal(std::u16string_view text, std::size_t pos) {
    ScannedNumber n;
    NumberBuffer& buf = n.digits;
    bool seenSign = false;
    bool seenPoint = false;
    enum class State {
        Mantissa,
        ExponentLetter,
        ExponentSign,
        ExponentDigits
    } state = State::Mantissa;
    std::size_t mantissaEnd = 0;

    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos];
        if (isIgnoredBlank(c)) {
            continue;
        }
        if (state == State::Mantissa) {
            if (!seenSign && !n.seenDigit && !seenPoint && (c == u'+' || c == u'-')) {
                seenSign = true;
                n.negative = c == u'-';
            } else if (isDigit(c)) {
                n.seenDigit = true;
                n.nonZeroDigit = n.nonZeroDigit || c != u'0';
                buf.push(static_cast<char>(c));
            } else if (c == u'.' && !seenPoint) {
                seenPoint = true;
                buf.push('.');
            } else if (n.seenDigit && (c == u'E' || c == u'e' || c == u'D' || c == u'd')) {
                mantissaEnd = buf.size();
                buf.push('e');
                state = State::ExponentLetter;
            } else {
                break;
            }
        } else if (state == State::ExponentLetter) {
            if (c == u'+' || c == u'-') {
                buf.push(static_cast<char>(c));
                state = State::ExponentSign;
            } else if (isDigit(c)) {
                buf.push(static_cast<char>(c));
                state = State::ExponentDigits;
            } else {
                break;
            }
        } else if (state == State::ExponentSign) {
            if (isDigit(c)) {
                buf.push(static_cast<char>(c));
                state = State::ExponentDigits;
            } else {
                break;
            }
        } else {
            if (isDigit(c)) {
                buf.push(static_cast<char>(c));
            } else {
                break;
            }
        }
    }
    if (state == State::ExponentLetter || state == State::ExponentSign) {
        buf.truncate(mantissaEnd); // an exponent letter without digits is not part of the number
    }
    return n;
}

double valueOf(const ScannedNumber& n) {
    if (!n.seenDigit) {
        return 0;
    }
    const NumberBuffer& buf = n.digits;
    double value = 0;
    const auto result =
        std::from_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large (overflow) or too small (underflow to zero), told by the value's decimal
        // magnitude: "0.000…1" is tiny without a negative exponent, "1000…e-50" is huge with one.
        value = n.nonZeroDigit && decimalMagnitude(std::string_view(buf.data(), buf.size())) >= 0
                    ? HUGE_VAL
                    : 0.0;
    }
    return n.negative ? -value : value;
}

} // namespace

double parseNumber(std::u16string_view text) {
    double simple = 0;
    if (text.empty()) {
        return 0;
    }
    if (parseSimple(text, simple)) {
        return simple;
    }
    const std::size_t pos = skipBlanks(text, 0);
    if (pos < text.size() && text[pos] == u'&') {
        return parsePrefixed(text, pos + 1);
    }
    return valueOf(scanDecimal(text, pos));
}

namespace {

// The pattern text through the value's 15-digit decimal form: exact for every value.
std::u16string patternTextExact(double value, int decimals) {
    const Decimal15 d = decimal15(value);
    // Digits kept: those whose place value is at least 10^-decimals.
    const int kept = d.exponent + decimals + 1;
    std::string scaled; // value x 10^decimals as an integer digit string
    if (kept >= 15) {
        scaled.assign(d.digits.data(), d.digits.size());
        scaled.append(static_cast<std::size_t>(kept - 15), '0');
    } else if (kept >= 0) {
        scaled.assign(d.digits.data(), static_cast<std::size_t>(kept));
        if (d.digits[static_cast<std::size_t>(kept)] >= '5') {
            int i = kept - 1;
            while (i >= 0 && scaled[static_cast<std::size_t>(i)] == '9') {
                scaled[static_cast<std::size_t>(i)] = '0';
                --i;
            }
            if (i >= 0) {
                ++scaled[static_cast<std::size_t>(i)];
            } else {
                scaled.insert(scaled.begin(), '1');
            }
        }
    }
    if (scaled.size() < static_cast<std::size_t>(decimals) + 1) {
        scaled.insert(0, static_cast<std::size_t>(decimals) + 1 - scaled.size(), '0');
    }
    const std::size_t intLen = scaled.size() - static_cast<std::size_t>(decimals);
    std::size_t firstNonZero = 0;
    while (firstNonZero + 1 < intLen && scaled[firstNonZero] == '0') {
        ++firstNonZero;
    }
    bool allZero = scaled.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (d.negative && !allZero) {
        out.push_back('-');
    }
    out.append(scaled, firstNonZero, intLen - firstNonZero);
    out.push_back('.');
    out.append(scaled, intLen, std::string::npos);
    return ascii(out);
}

} // namespace

std::u16string patternText(double value, Pattern pattern) {
    if (!std::isfinite(value)) {
        return std::u16string(kOverflow);
    }
    const int decimals = static_cast<int>(pattern);
    std::uint64_t scaled = 0;
    if (roundScaledFast(value, decimals, scaled)) {
        return formatScaled(value < 0 && scaled != 0, scaled, decimals);
    }
    return patternTextExact(value, decimals);
}

double patternValue(double value, Pattern pattern) {
    if (!std::isfinite(value)) {
        return value;
    }
    const int decimals = static_cast<int>(pattern);
    std::uint64_t scaled = 0;
    if (roundScaledFast(value, decimals, scaled)) {
        const double magnitude = static_cast<double>(scaled) / kPow10[decimals];
        return value < 0 ? -magnitude : magnitude;
    }
    return parseNumber(patternTextExact(value, decimals));
}

std::u16string plainText(double value) {
    if (!std::isfinite(value)) {
        return std::u16string(kOverflow);
    }
    // Values with few decimals (pieces, lengths, amounts): the shortest decimal P / 10^k
    // that reads back as the value has at most 15 digits and is then its 15-digit form.
    const double a = value < 0 ? -value : value;
    if (a < 1e14) {
        for (int k = 0; k <= 6; ++k) {
            const double p = a * kPow10[k];
            if (p < 1e15 && p == std::floor(p) && p / kPow10[k] == a) {
                auto scaled = static_cast<std::uint64_t>(p);
                int decimals = k;
                while (decimals > 0 && scaled % 10 == 0) {
                    scaled /= 10;
                    --decimals;
                }
                return formatScaled(value < 0 && scaled != 0, scaled, decimals);
            }
        }
    }
    const Decimal15 d = decimal15(value);
    if (d.isZero()) {
        return u"0";
    }
    int significant = 15;
    while (significant > 1 && d.digits[static_cast<std::size_t>(significant - 1)] == '0') {
        --significant;
    }
    const std::string_view digits(d.digits.data(), static_cast<std::size_t>(significant));
    std::string out;
    if (d.negative) {
        out.push_back('-');
    }
    if (d.exponent >= 15 || d.exponent < -15) {
        // Beyond any tally: scientific form, which the parse reads back.
        out.push_back(digits[0]);
        if (digits.size() > 1) {
            out.push_back('.');
            out.append(digits.substr(1));
        }
        out.append(d.exponent < 0 ? "E-" : "E+");
        const int e = d.exponent < 0 ? -d.exponent : d.exponent;
        if (e < 10) {
            out.push_back('0');
        }
        out.append(std::to_string(e));
    } else if (d.exponent >= 0) {
        const auto intLen = static_cast<std::size_t>(d.exponent) + 1;
        if (digits.size() <= intLen) {
            out.append(digits);
            out.append(intLen - digits.size(), '0');
        } else {
            out.append(digits.substr(0, intLen));
            out.push_back('.');
            out.append(digits.substr(intLen));
        }
    } else {
        out.append("0.");
        out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        out.append(digits);
    }
    return ascii(out);
}

int compareOrdinal(std::u16string_view a, std::u16string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::u16string intText(long long value) {
    return ascii(std::to_string(value));
}

std::u16string trimmed(std::u16string_view text) {
    constexpr std::u16string_view blank = u" \t\u3000";
    const auto first = text.find_first_not_of(blank);
    if (first == std::u16string_view::npos) {
        return {};
    }
    return std::u16string(text.substr(first, text.find_last_not_of(blank) - first + 1));
}

std::u16string fromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 && i + 1 < utf8.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            len = 2;
        } else if ((c >> 4) == 0xE && i + 2 < utf8.size()) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            len = 3;
        } else if ((c >> 3) == 0x1E && i + 3 < utf8.size()) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 3]) & 0x3Fu);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace logora::text
