// The unit's port rates and parity codes against the positions of the pages' and dialogs'
// "Baudrate:" and "Parity:" lists.
#pragma once

#include <array>
#include <cstdint>

#include "config/UnitConfig.h"

inline constexpr std::array<int, 8> kBaudRates = {1200,  2400,  4800,  9600,
                                                  19200, 38400, 57600, 115200};
// The device dialogs offer the first seven rates, 57600 selected at start.
inline constexpr int kDialogBaudCount = 7;
inline constexpr int kDefaultBaudIndex = 6;

// The "Parity:" list, in list order; the record's codes are in another order.
inline constexpr std::array<const char*, 4> kParityListTexts = {"None", "Odd", "Even",
                                                                "2 Stop Bits"};
enum ParityListPosition : int {
    ParityListNone = 0,
    ParityListOdd = 1,
    ParityListEven = 2,
    ParityListTwoStopBits = 3,
};

// The "Data bits:" list: "7" (sevenDataBits = 1) first, then "8" (any other value).
inline constexpr std::array<const char*, 2> kDataBitsListTexts = {"7", "8"};
enum DataBitsListPosition : int {
    DataBitsListSeven = 0,
    DataBitsListEight = 1,
};

// A rate between entries shows as the next lower entry; negative or low rates give 0.
int BaudRateToIndex(std::int32_t baudRate);
// Any index outside the table, including "no selection" (-1), gives 9600.
std::int32_t IndexToBaudRate(int index);
// List order is "None", "Odd", "Even", "2 Stop Bits"; record codes are 0 none, 1 even,
// 2 odd, 3 two stop bits. Unknown codes show as "None".
int ParityToIndex(int parity);
// Any other position, including "no selection" (-1), gives no parity.
int IndexToParity(int index);
