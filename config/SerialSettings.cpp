#include "config/SerialSettings.h"

int BaudRateToIndex(std::int32_t baudRate)
{
    // Signed on purpose: a rate that arrived as a huge unsigned value shows as the lowest.
    for (int index = static_cast<int>(kBaudRates.size()) - 1; index > 0; --index)
        if (baudRate >= kBaudRates[index]) return index;
    return 0;
}

std::int32_t IndexToBaudRate(int index)
{
    if (index < 0 || index >= static_cast<int>(kBaudRates.size())) return 9600;
    return kBaudRates[index];
}

int ParityToIndex(int parity)
{
    switch (parity) {
        case ParityEven: return ParityListEven;
        case ParityOdd: return ParityListOdd;
        case ParityTwoStopBits: return ParityListTwoStopBits;
        default: return ParityListNone;
    }
}

int IndexToParity(int index)
{
    switch (index) {
        case ParityListOdd: return ParityOdd;
        case ParityListEven: return ParityEven;
        case ParityListTwoStopBits: return ParityTwoStopBits;
        default: return ParityNone;
    }
}
