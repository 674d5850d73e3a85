// The simulated unit as a COM port of a Wine prefix, so that the Windows build of the tool
// can be tried against it: $WINEPREFIX/dosdevices/comN is a link to the unit's terminal,
// and Wine opens that terminal when a Windows program opens \\.\COMn.
#pragma once

#include <string>

// $WINEPREFIX, or ~/.wine where Wine keeps its prefix when the variable is unset.
std::string WinePrefix();

class CWinePort {
public:
    // The number follows from the terminal's (/dev/pts/3 is COM18), so that units on
    // different terminals never share a name; a link left behind under that name is replaced.
    explicit CWinePort(const std::string& terminal, const std::string& prefix = WinePrefix());
    ~CWinePort();  // removes the link
    CWinePort(const CWinePort&) = delete;
    CWinePort& operator=(const CWinePort&) = delete;

    // "COM18"; empty when no link could be made.
    const std::string& Name() const { return name; }

    static constexpr int kFirstNumber = 15;

private:
    std::string link;
    std::string name;
};
