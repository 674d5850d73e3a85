#include "sim/WinePort.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string WinePrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0')
        return prefix;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.wine";
}

CWinePort::CWinePort(const std::string& terminal, const std::string& prefix)
{
    const std::size_t slash = terminal.rfind('/');
    int terminalNumber = -1;
    try {
        terminalNumber = std::stoi(terminal.substr(slash + 1));
    } catch (const std::exception&) {
        return;  // not a /dev/pts/N terminal
    }
    const int number = kFirstNumber + terminalNumber;
    const std::string folder = prefix + "/dosdevices/";
    const std::string linkName = "com" + std::to_string(number);
    // Made beside the final name and renamed over it, so that the name never leads nowhere.
    const std::string temporary = folder + "." + linkName + "." + std::to_string(::getpid());
    std::error_code error;
    std::filesystem::remove(temporary, error);
    if (::symlink(terminal.c_str(), temporary.c_str()) != 0) return;
    if (::rename(temporary.c_str(), (folder + linkName).c_str()) != 0) {
        ::unlink(temporary.c_str());
        return;
    }
    link = folder + linkName;
    name = "COM" + std::to_string(number);
}

CWinePort::~CWinePort()
{
    if (!link.empty()) ::unlink(link.c_str());
}
