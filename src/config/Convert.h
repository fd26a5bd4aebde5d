#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text <-> number conversions for configuration values. All of them ignore
// the C and C++ locales: "." is always the decimal separator, whatever
// locale the process or a loaded library has set.
namespace zrk {

// ASCII white space: space, tab, CR, LF, VT, FF.
bool IsSpace(char c);
// The text without white space at either end.
std::string_view Trim(std::string_view s);

// Decimal integer with optional surrounding whitespace and an optional sign.
// Empty text, junk, trailing junk or a value outside 32 bits gives nullopt.
std::optional<int32_t> ParseInt(std::string_view text);

// Decimal real ("1.5", " -2.25 ", "+3", ".5", "1e3", "1E-2"). Anything that
// is not entirely such a number, including "0,5", "inf", "nan" and values
// too large for a double, gives 0.
double SafeStrToFloat(std::string_view text);

std::string SafeIntToStr(int64_t value);

// Shortest text of the value rounded to 15 significant digits (half away
// from zero), without trailing zeros: 0.04 -> "0.04", 100 -> "100",
// 0.1 + 0.2 -> "0.3". Scientific form when the decimal exponent is below -4
// or 15 and above: 1e20 -> "1E20", 1.5e-5 -> "1.5E-5". Zero, -0 and
// non-finite values give "0".
std::string SafeFloatToStr(double value);

// Fixed-point text with `digits` decimals (clamped to 0..18): (0.04, 2) ->
// "0.04", (2.5, 0) -> "3". Rounds the exact binary value half away from
// zero, and keeps at most 15 significant digits (further digits print as
// 0), so (1.005, 2) -> "1.00" because 1.005 is stored as 1.00499999....
// A result that rounds to zero has no sign. Non-finite values give "0".
std::string SafeFloatToStrF(double value, int digits);

} // namespace zrk
