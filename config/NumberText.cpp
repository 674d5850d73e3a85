#include "config/NumberText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

namespace {

// The blanks strtod and strtol skip in the C locale.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view text, std::size_t i)
{
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i;
}

std::size_t SkipDigits(std::string_view text, std::size_t i, std::size_t& count)
{
    for (; i < text.size() && IsDigit(text[i]); ++i) ++count;
    return i;
}

// Whether a plain decimal number beyond double's range lies above it rather than below: its
// first significant digit stands at a positive power of ten.
bool IsAboveRange(std::string_view number)
{
    long long power = 0;  // of the first significant digit, plus one
    std::size_t i = 0;
    while (i < number.size() && !IsDigit(number[i]) && number[i] != '.') ++i;  // the sign
    bool significant = false;
    for (; i < number.size() && IsDigit(number[i]); ++i) {
        significant = significant || number[i] != '0';
        if (significant) ++power;
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; !significant && i < number.size() && IsDigit(number[i]); ++i) {
            significant = number[i] != '0';
            if (!significant) --power;
        }
    }
    if (const std::size_t e = number.find_first_of("eE"); e != std::string_view::npos)
        power += std::clamp<long long>(ReadInteger(number.substr(e + 1)), -1000000, 1000000);
    return power > 0;
}

}  // namespace

namespace {

// Where the plain decimal number at the start of the text (after blanks) ends, and where it
// began; `end` is `start` when there is none. Hexadecimal, "inf" and "nan", which strtod
// would also take, are no numbers here.
struct DecimalSpan {
    std::size_t start;
    std::size_t end;
};

DecimalSpan FindDecimal(std::string_view text)
{
    const std::size_t start = SkipBlanks(text, 0);
    std::size_t i = start;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    i = SkipDigits(text, i, digits);
    if (i < text.size() && text[i] == '.') i = SkipDigits(text, i + 1, digits);
    if (digits == 0) return {start, start};
    // An exponent counts only when it has digits: "2e" reads as 2.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        std::size_t exponentDigits = 0;
        j = SkipDigits(text, j, exponentDigits);
        if (exponentDigits > 0) i = j;
    }
    return {start, i};
}

double ToDouble(std::string_view text, DecimalSpan span)
{
    // from_chars reads the same in every locale, but takes no '+'.
    std::size_t first = span.start;
    if (text[first] == '+') ++first;
    const std::string_view number = text.substr(first, span.end - first);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error != std::errc::result_out_of_range) return value;
    // Beyond double's range: an infinity above it, zero below it.
    const bool negative = number.starts_with('-');
    if (IsAboveRange(number)) return negative ? -HUGE_VAL : HUGE_VAL;
    return negative ? -0.0 : 0.0;
}

}  // namespace

double ReadDecimal(std::string_view text)
{
    const DecimalSpan span = FindDecimal(text);
    return span.end == span.start ? 0.0 : ToDouble(text, span);
}

std::optional<double> ParseDecimal(std::string_view text)
{
    const DecimalSpan span = FindDecimal(text);
    if (span.end == span.start || SkipBlanks(text, span.end) != text.size()) return std::nullopt;
    const double value = ToDouble(text, span);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

long ReadInteger(std::string_view text)
{
    std::size_t i = SkipBlanks(text, 0);
    const std::size_t signAt = i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !IsDigit(text[i])) return 0;

    // from_chars takes a '-' but not a '+', so the minus stays with the digits.
    const char* first = text.data() + (negative ? signAt : i);
    long value = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) return negative ? LONG_MIN : LONG_MAX;
    return error == std::errc() ? value : 0;
}

std::string FormatDecimal(double value, int decimals)
{
    decimals = std::clamp(decimals, 0, 30);
    // Room for the 309 integer digits of the largest double, a sign, a point and decimals.
    char text[360];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return {};
    return std::string(text, end);
}
