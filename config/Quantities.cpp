#include "config/Quantities.h"

#include <cmath>
#include <limits>

std::int32_t TruncateToInt32(double value)
{
    if (std::isnan(value)) return 0;
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (value <= lowest) return std::numeric_limits<std::int32_t>::min();
    if (value >= highest) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}
