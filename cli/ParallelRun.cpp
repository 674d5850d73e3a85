#include "cli/ParallelRun.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/BackgroundWriter.h"
#include "cli/CliOutput.h"
#include "cli/Console.h"
#include "cli/StatusPrinter.h"
#include "comm/PortNames.h"

namespace {

constexpr std::size_t kBarWidth = CStatusPrinter::kBarWidth;

// The status lines of every unit, through one writer. Each port's observer is called on
// that port's thread; the lock is held only while a line is put together.
class CUnitsStatus {
public:
    CUnitsStatus(CBackgroundWriter& writer, bool isTerminal, const std::atomic<bool>& stopFlag)
        : out(writer), terminal(isTerminal), stop(stopFlag)
    {
    }

    COperationObserver& Add(const std::string& port)
    {
        units.push_back(std::make_unique<CUnit>(*this, port + ": "));
        return *units.back();
    }

    // Takes the bar away and has everything written out.
    void Finish()
    {
        std::lock_guard lock(mutex);
        if (!drawn.empty()) out.Write("\r\x1b[K");
        drawn.clear();
        out.Flush();
    }

private:
    struct CUnit final : COperationObserver {
        CUnit(CUnitsStatus& status, std::string prefix) : status(status), prefix(std::move(prefix))
        {
        }
        void ShowStatus(const std::string& text) override { status.Status(*this, text); }
        void ShowProgress(std::size_t current, std::size_t maximum) override
        {
            status.Progress(*this, current, maximum);
        }
        bool StopRequested() const override { return status.stop; }

        CUnitsStatus& status;
        const std::string prefix;
        std::string lastPrinted;
        bool inBar = false;  // a download under way, shown in the bar
        std::size_t position = 0;
        std::size_t range = 1;
    };

    void Status(CUnit& unit, const std::string& text)
    {
        std::lock_guard lock(mutex);
        if (IsProgressStatus(text)) {
            if (terminal) {
                unit.inBar = true;
                DrawBar();
                return;
            }
            if (unit.prefix + text == unit.lastPrinted) return;  // each percentage once
        } else {
            unit.inBar = false;
        }
        // A failed step's details follow on further lines; the summary carries them.
        unit.lastPrinted = unit.prefix + text.substr(0, text.find('\n'));
        // On a terminal the line goes above the bar, which is drawn again below it.
        out.Write((drawn.empty() ? "" : "\r\x1b[K") + unit.lastPrinted + "\n");
        drawn.clear();
        if (terminal) DrawBar();
    }

    void Progress(CUnit& unit, std::size_t current, std::size_t maximum)
    {
        std::lock_guard lock(mutex);
        unit.range = std::max<std::size_t>(maximum, 1);
        unit.position = std::min(current, unit.range);
        if (terminal && unit.inBar) DrawBar();
    }

    // One bar for all downloads under way, at their mean progress.
    void DrawBar()
    {
        std::size_t downloads = 0;
        double sum = 0;
        for (const auto& unit : units) {
            if (!unit->inBar) continue;
            ++downloads;
            sum += double(unit->position) / double(unit->range);
        }
        if (downloads == 0) return;
        const double share = sum / double(downloads);
        const auto filled = static_cast<std::size_t>(share * kBarWidth);
        const std::string line =
            "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " +
            std::to_string(downloads) + " of " + std::to_string(units.size()) +
            " units flashing, " + std::to_string(int(share * 100)) + " % complete";
        if (line == drawn) return;
        drawn = line;
        out.Write(line + "\x1b[K");
    }

    CBackgroundWriter& out;
    const bool terminal;
    const std::atomic<bool>& stop;
    std::mutex mutex;
    std::vector<std::unique_ptr<CUnit>> units;  // complete before the threads start
    std::string drawn;                          // the bar as it shows now; empty when none
};

struct Outcome {
    bool ok = false;
    std::string errorText;
    std::string output;
};

// Prefixes every line of the text.
std::string Prefixed(const std::string& prefix, const std::string& text)
{
    std::string result;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        result += prefix + text.substr(at, next - at);
        at = next;
    }
    if (!result.empty() && !result.ends_with('\n')) result += '\n';
    return result;
}

}  // namespace

std::string PortsInConflict(const std::vector<std::string>& ports)
{
    std::vector<std::string> devices;
    for (const std::string& port : ports) {
        std::string device = ResolvePortName(port);
        if (device.empty()) device = port;
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(device, error);
        if (!error) device = real.string();
        for (std::size_t i = 0; i < devices.size(); ++i)
            if (devices[i] == device)
                return "--port " + ports[i] + " and --port " + port + " are the same port";
        devices.push_back(device);
    }
    return {};
}

int RunOnEveryPort(const std::vector<std::string>& ports, const UnitConnection& connection,
                   const UnitOperation& operation)
{
    std::atomic<bool> stop{false};
    std::vector<Outcome> outcomes(ports.size());
    {
        CBackgroundWriter writer(stderr);
        CUnitsStatus status(writer, IsTerminal(stderr), stop);
        std::vector<COperationObserver*> observers;
        for (const std::string& port : ports) observers.push_back(&status.Add(port));
        {
            // The threads end before the signals are given back: a stop reaches all of them.
            CSignalsStopFlash signals(stop);
            std::vector<std::jthread> threads;
            for (std::size_t i = 0; i < ports.size(); ++i) {
                threads.emplace_back([&, i] {
                    UnitConnection own = connection;
                    own.port = ports[i];
                    Outcome& outcome = outcomes[i];
                    outcome.ok = operation(own, *observers[i], outcome.errorText, outcome.output);
                });
            }
        }
        status.Finish();
    }

    std::string output;
    for (std::size_t i = 0; i < ports.size(); ++i)
        output += Prefixed(ports[i] + ": ", outcomes[i].output);
    if (!output.empty() && PrintOutput(output) != ExitSuccess) return ExitFailure;

    std::string summary = "Summary:\n";
    std::size_t failed = 0;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Outcome& outcome = outcomes[i];
        failed += outcome.ok ? 0 : 1;
        summary +=
            "  " + ports[i] + ": " + (outcome.ok ? "ok" : OneLineFailure(outcome.errorText)) + "\n";
    }
    (void)std::fputs(summary.c_str(), stderr);
    if (failed == 0) return ExitSuccess;
    return ReportFailure(std::to_string(failed) + " of " + std::to_string(ports.size()) +
                         " units failed");
}
