#include <gtest/gtest.h>

#include <limits>

#include "pages/SerialSettings.h"

TEST(SerialSettings, RatesBetweenEntriesShowAsTheNextLowerEntry)
{
    const std::pair<std::int32_t, int> cases[] = {
        {115200, 7}, {230400, 7}, {115199, 6},
        {57600, 6},  {100000, 6}, {57599, 5},
        {38400, 5},  {19200, 4},  {14400, 3},
        {9600, 3},   {4800, 2},   {2400, 1},
        {2399, 0},   {1200, 0},   {300, 0},
        {0, 0},      {-5, 0},     {std::numeric_limits<std::int32_t>::min(), 0},
    };
    for (const auto& [rate, index] : cases) EXPECT_EQ(BaudRateToIndex(rate), index) << rate;

    for (int index = 0; index < 8; ++index)
        EXPECT_EQ(BaudRateToIndex(IndexToBaudRate(index)), index);
    EXPECT_EQ(IndexToBaudRate(0), 1200);
    EXPECT_EQ(IndexToBaudRate(7), 115200);
    EXPECT_EQ(IndexToBaudRate(-1), 9600);
    EXPECT_EQ(IndexToBaudRate(8), 9600);
    EXPECT_EQ(baudRateTable[kDefaultBaudIndex], 57600);
}

TEST(SerialSettings, ParityCodesAgainstListPositions)
{
    // Record codes 0 none, 1 even, 2 odd, 3 two stop bits; list "None", "Odd", "Even", ...
    const std::pair<int, const char*> shown[] = {{0, "None"},        {1, "Even"}, {2, "Odd"},
                                                 {3, "2 Stop Bits"}, {7, "None"}, {-1, "None"}};
    for (const auto& [code, text] : shown)
        EXPECT_STREQ(kParityListTexts[ParityToIndex(code)], text) << code;

    for (int code = 0; code <= 3; ++code) EXPECT_EQ(IndexToParity(ParityToIndex(code)), code);
    EXPECT_EQ(IndexToParity(-1), 0);
    EXPECT_EQ(IndexToParity(4), 0);
}
