// Numbers typed by a person into a field. Reading never fails: leading blanks and a sign
// are allowed, reading stops at the first character that does not fit, and text without a
// number reads as 0. The C locale is always used, whatever the desktop's language.
#pragma once

#include <string_view>

// Decimals and an exponent allowed ("2.5", "-1e3").
double ReadDecimal(std::string_view text);
// Digits only; a value beyond long's range saturates.
long ReadInteger(std::string_view text);
