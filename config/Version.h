// The program version, shown by the About box and by "weirlink --version".
#pragma once

inline constexpr char kProgramVersion[] = "1.03";
