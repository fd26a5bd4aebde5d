#include "config/Convert.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace zrk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Convert, ParseInt)
{
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"0", 0}, {"42", 42}, {" \t-17\r\n", -17}, {"+5", 5}, {"-0", 0},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt}, {"-2147483649", std::nullopt},
        {"", std::nullopt}, {"  ", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt},
        {"12abc", std::nullopt}, {"1 2", std::nullopt}, {"1.5", std::nullopt},
        {"+-1", std::nullopt}, {"- 1", std::nullopt}, {"0x10", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseInt(text), expected) << '"' << text << '"';
}

TEST(Convert, SafeStrToFloat)
{
    const std::pair<const char*, double> cases[] = {
        {"1.5", 1.5}, {" -2.25 ", -2.25}, {"+3", 3}, {"1e3", 1000}, {"1E-2", 0.01},
        {".5", 0.5}, {"5.", 5}, {"0.04", 0.04}, {"4.94e-324", 4.94e-324},
        {"0,5", 0}, {"1,000", 0}, {"", 0}, {"abc", 0}, {"12abc", 0}, {"1e", 0},
        {"+-1", 0}, {"+.", 0}, {"inf", 0}, {"-infinity", 0}, {"nan", 0}, {"1e400", 0},
        {"0x10", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SafeStrToFloat(text), expected) << '"' << text << '"';
}

TEST(Convert, SafeIntToStr)
{
    EXPECT_EQ(SafeIntToStr(0), "0");
    EXPECT_EQ(SafeIntToStr(-5), "-5");
    EXPECT_EQ(SafeIntToStr(INT64_MIN), "-9223372036854775808");
}

TEST(Convert, SafeFloatToStr)
{
    const std::pair<double, const char*> cases[] = {
        {0.04, "0.04"}, {1, "1"}, {0.5, "0.5"}, {-2.25, "-2.25"}, {100, "100"},
        {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"}, {2.0 / 3, "0.666666666666667"},
        {123456789.123456789, "123456789.123457"}, {0.0001, "0.0001"},
        {999999999999999, "999999999999999"}, {1e15, "1E15"}, {9999999999999999, "1E16"},
        {1e20, "1E20"}, {1.5e-5, "1.5E-5"}, {-1e-7, "-1E-7"},
        {1.7976931348623157e308, "1.79769313486232E308"}, {4.9406564584124654e-324, "4.94065645841247E-324"},
        {0.0, "0"}, {-0.0, "0"}, {kInf, "0"}, {-kInf, "0"}, {kNaN, "0"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(SafeFloatToStr(value), expected) << value;
}

TEST(Convert, SafeFloatToStrF)
{
    struct Case {
        double value;
        int digits;
        const char* expected;
    };
    const Case cases[] = {
        {0.04, 2, "0.04"}, {2.5, 0, "3"}, {-2.5, 0, "-3"}, {0.125, 2, "0.13"},
        {1.005, 2, "1.00"},   // stored as 1.00499999999999989...
        {1.0, 3, "1.000"}, {99.5, 0, "100"}, {0.6, 0, "1"}, {0.4, 0, "0"},
        {-0.001, 2, "0.00"}, {123.456, 1, "123.5"}, {0.1, 18, "0.100000000000000000"},
        {1.0 / 3, 18, "0.333333333333333000"}, {1e20, 1, "100000000000000000000.0"},
        {5e-324, 18, "0.000000000000000000"}, {2.5, -1, "3"}, {1.0, 99, "1.000000000000000000"},
        {kInf, 2, "0"}, {kNaN, 2, "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SafeFloatToStrF(c.value, c.digits), c.expected) << c.value << ", " << c.digits;
}

TEST(Convert, TextRoundTripsThroughFifteenDigits)
{
    for (double value : {0.04, -2.25, 1234.5678, 1e-9, 6.02214076e23, 0.1 + 0.2})
        EXPECT_EQ(SafeFloatToStr(SafeStrToFloat(SafeFloatToStr(value))), SafeFloatToStr(value));
}

TEST(Convert, IgnoresTheProcessLocale)
{
    const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"};
    const char* found = nullptr;
    for (const char* name : locales) {
        if ((found = std::setlocale(LC_ALL, name)) != nullptr)
            break;
    }
    if (found == nullptr)
        GTEST_SKIP() << "no German locale installed";
    const double parsed = SafeStrToFloat("0.5");
    const std::string shortest = SafeFloatToStr(-2.25);
    const std::string fixed = SafeFloatToStrF(0.04, 2);
    const double comma = SafeStrToFloat("0,5");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(parsed, 0.5);
    EXPECT_EQ(shortest, "-2.25");
    EXPECT_EQ(fixed, "0.04");
    EXPECT_EQ(comma, 0.0);
}

} // namespace
} // namespace zrk
