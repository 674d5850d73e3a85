// Numbers typed by a person into a field, and numbers shown in one. Reading never fails:
// leading blanks and a sign are allowed, reading stops at the first character that does not
// fit, and text without a number reads as 0. The C locale is always used, whatever the
// desktop's language, so a file or a field never depends on who edited it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Decimals and an exponent allowed ("2.5", "-1e3"); no hexadecimal, "inf" or "nan". A value
// beyond double's range reads as an infinity of its sign.
double ReadDecimal(std::string_view text);
// The same plain decimal number, but it must be the whole text (blanks around it allowed), and
// it must lie within double's range; anything else is no number.
std::optional<double> ParseDecimal(std::string_view text);
// Digits only; a value beyond long's range saturates.
long ReadInteger(std::string_view text);

// The value with exactly `decimals` digits after a '.', rounded to nearest ("%.*f" in the C
// locale).
std::string FormatDecimal(double value, int decimals);
