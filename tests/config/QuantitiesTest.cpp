#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "config/Quantities.h"

namespace {

// What a page stores for a typed value: rounded half away from zero.
std::int32_t StoreRounded(double displayValue, int unitCode)
{
    const double base = FromDisplayUnits(displayValue, unitCode);
    return TruncateToInt32(base + 0.5 * SignOf(base));
}

}  // namespace

struct DisplayCase {
    std::int32_t stored;
    int unitCode;
    double display;  // expected ToDisplayUnits, to within 1e-9 relative
    const char* text;
};

TEST(Quantities, StoredValuesShowInDisplayUnits)
{
    const DisplayCase cases[] = {
        {4381264, 14, 100.0000080798607, "100"},  // MGD
        {3048, 9, 10.00000032, "10.0"},           // ft/s
        {3048, 3, 120.0000008, "120"},            // inches
        {3778, 37, 100.004, "100"},               // degrees Fahrenheit
        {0, 37, 32.0, "32.0"},
        {-1780, 37, -0.04, "-0.040"},       // negative values keep three decimals
        {10000, 36, 100.0, "100"},          // degrees Celsius
        {12345, 27, 1234500.0, "1234500"},  // litres
        {100, 13, 0.0001, "0.000"},
        {-32768, 14, -32768.0, "--"},  // the missing-value mark, whatever the unit
        {-32768, 37, -32768.0, "--"},
        {-32768, 200, -32768.0, "--"},
        {-32767, 5, -32767.0, "-32767.000"},
        {250, 99, 250.0, "250"},  // unknown codes convert with factor 1
    };
    for (const DisplayCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.stored << " in unit " << c.unitCode);
        const double display = ToDisplayUnits(c.stored, c.unitCode);
        EXPECT_NEAR(display, c.display, std::abs(c.display) * 1e-9 + 1e-12);
        EXPECT_EQ(FormatValue(display), c.text);
    }
}

TEST(Quantities, TypedValuesStoreInBaseUnits)
{
    struct StoreCase {
        double typed;
        int unitCode;
        std::int32_t stored;
    };
    const StoreCase cases[] = {
        {100, 14, 4381264},  // 4381263.646 rounds up
        {212, 37, 10000},     {32, 37, 0},
        {-40, 37, -4000},     {5, 3, 127},  // 126.99999... in inches
        {2.5, 5, 3},          {-2.5, 5, -3},
        {-32768, 14, -32768}, {1e300, 14, std::numeric_limits<std::int32_t>::max()},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.typed << " in unit " << c.unitCode);
        EXPECT_EQ(StoreRounded(c.typed, c.unitCode), c.stored);
    }
    EXPECT_EQ(FromDisplayUnits(212, 37), 10000.0);
    EXPECT_EQ(FromDisplayUnits(32, 37), 0.0);
}

TEST(Quantities, EveryUnitConvertsBackToTheSameStoredValue)
{
    for (int code = 0; code <= 40; ++code) {
        for (const std::int32_t stored : {0, 1, -1, 7, 3048, -500, 123456, 4381264, 9999999}) {
            EXPECT_EQ(StoreRounded(ToDisplayUnits(stored, code), code), stored)
                << "unit " << code << ", stored " << stored;
        }
    }
    for (const int code : {5, 10, 20, 25}) {
        EXPECT_EQ(ToDisplayUnits(12345, code), 12345.0);
        EXPECT_EQ(FromDisplayUnits(12.25, code), 12.25);
    }
}

TEST(Quantities, FormatValueShrinksDecimalsAsValuesGrow)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0.000"},
        {0.9994, "0.999"},
        {0.9996, "1.00"},
        {9.994, "9.99"},
        {9.9996, "10.0"},
        {99.9996, "100"},
        {-2.5, "-2.500"},
        {250.5, "251"},
        {-32768.0, "--"},
        {-32768.5, "-32768.500"},
        {1e12, "2147483647"},  // saturates instead
                               // of overflowing
        {std::nan(""), "0"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatValue(value), text) << value;
}

TEST(Quantities, NamesAndKinds)
{
    EXPECT_STREQ(DataTypeName(1), "Q Main");
    EXPECT_STREQ(DataTypeName(42), "Summed Flow");
    for (const int code : {0, 43, -1, 255}) {
        EXPECT_STREQ(DataTypeName(code), "UNKNOWN DATA TYPE") << code;
        EXPECT_EQ(QuantityKindOf(code), KindNone) << code;
    }
    EXPECT_EQ(QuantityKindOf(40), KindDepth);
    EXPECT_FALSE(IsCombinedDataType(37));
    EXPECT_TRUE(IsCombinedDataType(38));
    EXPECT_TRUE(IsCombinedDataType(42));
    EXPECT_FALSE(IsCombinedDataType(43));

    EXPECT_STREQ(UnitName(0), "");
    EXPECT_STREQ(UnitName(1), "Unknown Units");
    EXPECT_STREQ(UnitName(39), "Unknown Units");
    EXPECT_STREQ(UnitName(0xFFFFFFFFu), "Unknown Units");
    EXPECT_STREQ(UnitAbbreviation(0), "");
    EXPECT_STREQ(UnitAbbreviation(-1), "Unknown Units");
    EXPECT_STREQ(UnitAbbreviation(39), "Unknown Units");
    EXPECT_STREQ(UnitAbbreviation(13), "m\xB3/s");
    EXPECT_STREQ(UnitAbbreviation(16), "m\xB3/s");
    EXPECT_STREQ(UnitAbbreviation(22), "ft\xB2");
    EXPECT_STREQ(UnitAbbreviation(37),
                 "\xB0"
                 "F");
}

TEST(Quantities, SignOfAndTruncation)
{
    EXPECT_EQ(SignOf(0.0), 1.0);
    EXPECT_EQ(SignOf(-0.0), 1.0);
    EXPECT_EQ(SignOf(-1e-300), -1.0);
    EXPECT_EQ(TruncateToInt32(-2.9), -2);
    EXPECT_EQ(TruncateToInt32(-1e10), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int32_t>::max());
}
