#include "config/Convert.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace zrk {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Drops a leading "+" (std::from_chars accepts only "-"). False when what
// follows cannot start a number, so that "+-1" and "+ 1" are rejected.
bool SkipPlus(std::string_view& t)
{
    if (t.empty() || t.front() != '+')
        return true;
    t.remove_prefix(1);
    return !t.empty() && (IsDigit(t.front()) || t.front() == '.');
}

constexpr int kSignificantDigits = 15;

// A non-negative decimal number: the digits with the decimal point before
// index `point` (which may lie outside the digits). No leading or trailing
// zeros; no digits at all is zero.
struct Decimal {
    std::string digits;
    int point = 0;
};

// The exact decimal value of a finite, non-negative double. Every double is
// m * 2^e with a 53-bit integer m, so it has at most 53 - e binary fraction
// digits, and each of them adds exactly one decimal fraction digit; the
// smallest subnormal needs 1074.
Decimal ExactDecimal(double magnitude)
{
    int exponent = 0;
    std::frexp(magnitude, &exponent);
    const int precision = std::clamp(53 - exponent, 0, 1074);
    // 309 integer digits at most, or "0." and 1074 decimals.
    std::array<char, 1200> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                         std::chars_format::fixed, precision);
    if (ec != std::errc{})
        return {};
    const std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const std::size_t dot = text.find('.');
    const std::string_view integer = text.substr(0, dot);

    Decimal d;
    d.digits.assign(integer);
    if (dot != std::string_view::npos)
        d.digits.append(text.substr(dot + 1));
    d.point = static_cast<int>(integer.size());

    const std::size_t lead = d.digits.find_first_not_of('0');
    if (lead == std::string::npos)
        return {};
    d.digits.erase(0, lead);
    d.point -= static_cast<int>(lead);
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
    return d;
}

// Keeps the digits before index `cut`, rounding half away from zero. As the
// digits are exact, the first dropped digit alone decides.
void RoundAt(Decimal& d, int cut)
{
    if (cut >= static_cast<int>(d.digits.size()))
        return;
    if (cut < 0) {
        d = {};
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(cut)] >= '5';
    d.digits.resize(static_cast<std::size_t>(cut));
    if (up) {
        int i = cut - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        }
    }
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
    if (d.digits.empty())
        d = {};
}

} // namespace

std::optional<int32_t> ParseInt(std::string_view text)
{
    std::string_view t = Trim(text);
    if (!SkipPlus(t) || t.empty())
        return std::nullopt;
    int32_t value = 0;
    const char* last = t.data() + t.size();
    const auto [end, ec] = std::from_chars(t.data(), last, value);
    if (ec != std::errc{} || end != last)
        return std::nullopt;
    return value;
}

double SafeStrToFloat(std::string_view text)
{
    std::string_view t = Trim(text);
    if (!SkipPlus(t) || t.empty())
        return 0.0;
    double value = 0.0;
    const char* last = t.data() + t.size();
    const auto [end, ec] = std::from_chars(t.data(), last, value, std::chars_format::general);
    if (ec != std::errc{} || end != last || !std::isfinite(value))
        return 0.0;
    return value;
}

std::string SafeIntToStr(int64_t value)
{
    std::array<char, 24> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc{})
        return "0";
    return std::string(buffer.data(), end);
}

std::string SafeFloatToStr(double value)
{
    if (!std::isfinite(value))
        return "0";
    Decimal d = ExactDecimal(std::fabs(value));
    RoundAt(d, kSignificantDigits);
    if (d.digits.empty())
        return "0";

    std::string out = std::signbit(value) ? "-" : "";
    const int size = static_cast<int>(d.digits.size());
    const int exponent = d.point - 1;   // of the first digit
    if (exponent < -4 || exponent >= kSignificantDigits) {
        out += d.digits.front();
        if (size > 1) {
            out += '.';
            out.append(d.digits, 1);
        }
        out += 'E';
        out += SafeIntToStr(exponent);
    } else if (d.point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.point), '0');
        out += d.digits;
    } else if (d.point >= size) {
        out += d.digits;
        out.append(static_cast<std::size_t>(d.point - size), '0');
    } else {
        out.append(d.digits, 0, static_cast<std::size_t>(d.point));
        out += '.';
        out.append(d.digits, static_cast<std::size_t>(d.point));
    }
    return out;
}

std::string SafeFloatToStrF(double value, int digits)
{
    if (!std::isfinite(value))
        return "0";
    digits = std::clamp(digits, 0, 18);
    Decimal d = ExactDecimal(std::fabs(value));
    if (!d.digits.empty())
        RoundAt(d, std::min(d.point + digits, kSignificantDigits));

    std::string out = (std::signbit(value) && !d.digits.empty()) ? "-" : "";
    const int size = static_cast<int>(d.digits.size());
    const auto digitAt = [&](int i) {
        return (i >= 0 && i < size) ? d.digits[static_cast<std::size_t>(i)] : '0';
    };
    if (d.point <= 0) {
        out += '0';
    } else {
        for (int i = 0; i < d.point; ++i)
            out += digitAt(i);
    }
    if (digits > 0) {
        out += '.';
        for (int i = 0; i < digits; ++i)
            out += digitAt(d.point + i);
    }
    return out;
}

} // namespace zrk
