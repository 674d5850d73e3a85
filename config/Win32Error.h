// Windows: the system's own words for an error code, as it shows them to its users.
#pragma once

#include <string>

// "Access is denied.": FormatMessage's text in the user's language, without the line end;
// "Error 1234" when the system has no text for the code.
std::string SystemErrorText(unsigned long code);
