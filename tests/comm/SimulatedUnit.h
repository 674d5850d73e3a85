// What the protocol tests share: a simulated unit on its own pseudo-terminal and a copy of
// the protocol's waits short enough for failure paths to take milliseconds.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/Communications.h"
#include "sim/SimUnit.h"

inline CommTimings FastTimings()
{
    CommTimings t;
    t.bannerTimeoutMs = t.commandTimeoutMs = t.promptAfterBaudMs = 200;
    t.frameByteTimeoutMs = 20;
    t.pingWindowMs = t.rebootWindowMs = 100;
    t.ackPolls = t.userBlockPolls = t.rebootPauseMs = 5;
    t.userBlockPollPauseMs = 2;
    t.commandRetryPauseMs = t.flashStartPauseMs = t.flashRebootPauseMs = 10;
    return t;
}

// A default S (SimFaults, SimOptions) with one field set.
template <class S, class T, class V>
S With(T S::*field, V value)
{
    S s;
    s.*field = value;
    return s;
}

// The unit misbehaves on lines that start with the prefix, `times` times (-1: always).
inline SimFaults LineFaults(const std::string& prefix, SimLineFault::Kind kind, int times = -1)
{
    return With(&SimFaults::lineFaults, std::vector<SimLineFault>{{prefix, 0, times, kind}});
}

inline UnitConfig DefaultConfig()
{
    UnitConfig config;
    SetDefaults(config);
    return config;
}

class SimulatedUnitTest : public ::testing::Test {
protected:
    // A unit with other settings than the defaults; replaces the running one.
    void StartUnit(const UnitConfig& config, const SimOptions& options = {})
    {
        unit = std::make_unique<CSimUnit>(config, options);
        ASSERT_TRUE(unit->Start());
    }
    void SetUp() override { StartUnit(DefaultConfig()); }

    std::string Device() const { return unit->DevicePath(); }

    void FaultLines(const std::string& prefix, SimLineFault::Kind kind, int times = -1)
    {
        unit->SetFaults(LineFaults(prefix, kind, times));
    }

    std::unique_ptr<CSimUnit> unit;
};

// A scratch folder, removed with all it holds at the end of the test.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/weirlink-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path, ignored); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::error_code ignored;
};

// A scratch file that is removed at the end of the test.
class TempFile : TempFolder {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes) : file(TempFolder::Path() + "/file")
    {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const std::string& Path() const { return file; }

private:
    std::string file;
};

// The test's own runtime folder: the simulators announced there are the test's alone.
class TempRuntimeFolder : public TempFolder {
public:
    TempRuntimeFolder() { ::setenv("XDG_RUNTIME_DIR", Path().c_str(), 1); }
    ~TempRuntimeFolder() { ::unsetenv("XDG_RUNTIME_DIR"); }
};

// Guards a step whose waits must end by themselves: should it still be running when the
// limit has passed, the watchdog stops it through the flag and the test fails, rather than
// hanging until ctest gives up. The limit is far above what the step should take.
class CStepWatchdog {
public:
    CStepWatchdog(std::chrono::seconds limit, std::atomic<bool>& stop)
        : limit(limit), thread([this, &stop] {
              std::unique_lock lock(mutex);
              if (!ended.wait_for(lock, this->limit, [this] { return finished; })) {
                  fired = true;
                  stop = true;
              }
          })
    {
    }
    ~CStepWatchdog()
    {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        ended.notify_all();
        thread.join();
        EXPECT_FALSE(fired) << "still waiting after " << limit.count() << " s";
    }
    CStepWatchdog(const CStepWatchdog&) = delete;
    CStepWatchdog& operator=(const CStepWatchdog&) = delete;

private:
    const std::chrono::seconds limit;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    bool fired = false;
    std::thread thread;  // last: it uses the members above
};
