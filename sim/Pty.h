// A pseudo-terminal pair in raw mode. The slave side stays open as long as this object
// lives: reads on the master fail while no slave is open, and the tool opens and closes the
// slave for every operation.
#pragma once

#include <string>

class CPty {
public:
    CPty() = default;
    ~CPty();
    CPty(const CPty&) = delete;
    CPty& operator=(const CPty&) = delete;

    // Creates the pair, both sides raw (a fresh pty echoes and holds back a '>' without a
    // line end), the slave at baudRate. False with errno set when the system refuses.
    bool Open(int baudRate);
    void Close();

    int MasterFd() const { return masterFd; }
    int SlaveFd() const { return slaveFd; }
    const std::string& SlavePath() const { return slavePath; }

    // The rate the slave side is set to, as whoever opened it last set it; 0 when unknown.
    int SlaveBaudRate() const;

    // The tool locks the terminal (flock) and marks it exclusive while it uses it, and
    // clears the mark when it closes. A tool that was killed cannot, and as this side keeps
    // the terminal open the mark would stay, turning away everyone but root. Clears it once
    // nobody holds the lock any more.
    void ClearAbandonedExclusive();

private:
    int masterFd = -1;
    int slaveFd = -1;
    std::string slavePath;
};
