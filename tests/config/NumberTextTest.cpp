#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <string>

#include "config/NumberText.h"
#include "config/Quantities.h"

TEST(NumberText, ReadDecimalTakesTheNumberAtTheStart)
{
    const double inf = HUGE_VAL;
    const std::pair<const char*, double> cases[] = {
        {"2.5", 2.5},       {"  -1e3", -1000}, {"\t+4", 4},   {"1,5", 1},         {".5", 0.5},
        {"5.", 5},          {"-.5", -0.5},     {"2e", 2},     {"2e+", 2},         {"1e-2x", 0.01},
        {"12.5 MGD", 12.5}, {"", 0},           {"abc", 0},    {".", 0},           {"-", 0},
        {"+-5", 0},         {"- 5", 0},        {"0x10", 0},   {"inf", 0},         {"nan", 0},
        {"1e999", inf},     {"-1e999", -inf},  {"1e-999", 0}, {"-32768", -32768},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadDecimal(text), value) << '"' << text << '"';

    // Only the view is read, not whatever follows it in memory.
    const std::string digits = "1234";
    EXPECT_EQ(ReadDecimal(std::string_view(digits).substr(0, 2)), 12);
    EXPECT_EQ(ReadDecimal(std::string(100000, '9')), inf);
}

TEST(NumberText, ReadIntegerStopsAtTheFirstNonDigitAndSaturates)
{
    const std::pair<const char*, long> cases[] = {
        {"120", 120},
        {" -45x", -45},
        {"+7", 7},
        {"3.9", 3},
        {"", 0},
        {"x1", 0},
        {"+-1", 0},
        {"- 1", 0},
        {"-", 0},
        {"007", 7},
        {"99999999999999999999999", LONG_MAX},
        {"-99999999999999999999999", LONG_MIN},
        {"-9223372036854775808", LONG_MIN},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadInteger(text), value) << '"' << text << '"';
}

TEST(NumberText, FormatDecimalRoundsToNearest)
{
    EXPECT_EQ(FormatDecimal(0.29, 2), "0.29");
    EXPECT_EQ(FormatDecimal(0.949999988079071, 2), "0.95");
    EXPECT_EQ(FormatDecimal(-0.0004, 3), "-0.000");
    EXPECT_EQ(FormatDecimal(1e20, 1), "100000000000000000000.0");
    EXPECT_EQ(FormatDecimal(-1.7976931348623157e308, 3).size(), 309u + 5u);
}

// A desktop in a language with a decimal comma must not change what is read or shown.
TEST(NumberText, IgnoresTheProcessLocale)
{
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8",  "de_DE",       "fr_FR.UTF-8",
                                "fr_FR.utf8",  "nl_NL.UTF-8", "es_ES.UTF-8", "it_IT.UTF-8",
                                "pt_BR.UTF-8", "ru_RU.UTF-8", "sv_SE.UTF-8"};
    const char* found = nullptr;
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',') {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const double read = ReadDecimal("2.5");
    const std::string shown = FormatValue(2.5);
    const std::string integer = FormatValue(1234.0);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(read, 2.5) << found;
    EXPECT_EQ(shown, "2.50") << found;
    EXPECT_EQ(integer, "1234") << found;
}
