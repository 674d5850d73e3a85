// weirlink-sim: a simulated unit on a pseudo-terminal, for trying the tools without hardware.
// The first line on standard output is the terminal to open; the unit also announces itself
// so that it shows up as a COM port. It runs until interrupted.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>

#include "comm/PortNames.h"
#include "config/ConfigFile.h"
#include "sim/SimUnit.h"

int main(int argc, char** argv)
{
    CLI::App app{"A simulated Weirlink unit on a pseudo-terminal."};
    std::string configPath;
    SimOptions options;
    SimFaults faults;
    bool noAnnounce = false;
    bool log = false;
    std::string userBlock;
    std::vector<std::string> failPrefixes, mutePrefixes;
    int failTimes = -1;
    int failLine = 0;
    std::string image;

    app.add_option("--config", configPath, "Start with the configuration of this .cfg file")
        ->check(CLI::ExistingFile);
    app.add_option("--baud", options.baudRate,
                   "Rate of the configuration port at start (default: the configuration's)");
    app.add_flag("--pace", options.pace, "Send no faster than the current baud rate allows");
    app.add_flag("--no-announce", noAnnounce, "Do not show up as a COM port");
    app.add_flag("--log", log, "Print every command line and frame received on stderr");
    app.add_option("--block-size", options.blockSize, "Block size the bootloader reports");
    app.add_option("--user-block", userBlock, "Start address of the user block (e.g. 0x3C000)");

    const char* faultGroup = "Faults";
    app.add_flag("--silent", faults.silent, "Answer nothing at all")->group(faultGroup);
    app.add_flag("--banner-without-marker", faults.bannerWithoutMarker,
                 "Answer the wake-up without the command-mode marker")
        ->group(faultGroup);
    app.add_option("--fail", failPrefixes, "Answer lines starting with this without \"OK\"")
        ->group(faultGroup);
    app.add_option("--fail-times", failTimes, "...only the first N times, then succeed")
        ->group(faultGroup);
    app.add_option("--fail-line", failLine, "Answer the N-th command line without \"OK\"")
        ->group(faultGroup);
    app.add_option("--mute", mutePrefixes, "Answer lines starting with this not at all")
        ->group(faultGroup);
    app.add_option("--image", image, "Damage the configuration image")
        ->check(CLI::IsMember({"bad-checksum", "no-header", "unterminated"}))
        ->group(faultGroup);
    app.add_option("--alter-byte", faults.alteredRecordByte,
                   "Answer \"PS\" with this byte of the record changed (a unit that reads "
                   "back another value)")
        ->check(CLI::Range(0, int(sizeof(UnitConfig)) - 1))
        ->group(faultGroup);
    app.add_flag("--ping-silent", faults.pingSilent, "The bootloader does not answer pings")
        ->group(faultGroup);
    app.add_flag("--ping-empty", faults.pingEmptyReply, "Ping replies carry no data")
        ->group(faultGroup);
    app.add_flag("--user-block-silent", faults.userBlockSilent, "No reply to the user-block query")
        ->group(faultGroup);
    app.add_option("--nak", faults.nakFrames, "Refuse the first N data frames")->group(faultGroup);
    app.add_option("--corrupt-acks", faults.corruptAcks,
                   "Damage the check value of the first N acknowledgements")
        ->group(faultGroup);
    app.add_flag("--repeat-corrupt-ack", faults.repeatCorruptAck,
                 "Follow each damaged acknowledgement with a good one")
        ->group(faultGroup);
    app.add_option("--dead-after", faults.deadAfterFrames,
                   "Stop answering after N acknowledged data frames")
        ->group(faultGroup);
    app.add_flag("--reboot-wrong-type", faults.rebootWrongTypeFirst,
                 "Send a type 1 frame before the reboot reply")
        ->group(faultGroup);
    app.add_flag("--reboot-silent", faults.rebootSilent, "No reply to the reboot request")
        ->group(faultGroup);
    CLI11_PARSE(app, argc, argv);

    if (!userBlock.empty()) {
        try {
            options.userBlockAddress =
                static_cast<std::uint32_t>(std::stoul(userBlock, nullptr, 0));
        } catch (const std::exception&) {
            std::cerr << "weirlink-sim: --user-block: not an address: " << userBlock << "\n";
            return 2;
        }
    }
    for (const std::string& prefix : failPrefixes)
        faults.lineFaults.push_back({prefix, 0, failTimes, SimLineFault::Kind::ErrorReply});
    if (failLine > 0)
        faults.lineFaults.push_back({"", failLine, failTimes, SimLineFault::Kind::ErrorReply});
    for (const std::string& prefix : mutePrefixes)
        faults.lineFaults.push_back({prefix, 0, failTimes, SimLineFault::Kind::Silent});
    if (image == "bad-checksum") faults.image = SimImageFault::BadChecksum;
    if (image == "no-header") faults.image = SimImageFault::NoStartByte;
    if (image == "unterminated") faults.image = SimImageFault::Unterminated;
    if (log) options.monitor = [](const std::string& text) { std::cerr << text << std::endl; };

    UnitConfig config;
    SetDefaults(config);
    std::string error;
    if (!configPath.empty() && !LoadConfigFile(config, configPath, error)) {
        std::cerr << "weirlink-sim: " << error << "\n";
        return 1;
    }

    // The unit's thread must not take the signals: they end the program here.
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    CSimUnit unit(config, options);
    unit.SetFaults(faults);
    if (!unit.Start()) {
        std::perror("weirlink-sim: cannot create a pseudo-terminal");
        return 1;
    }
    // Announced before the path is printed: whoever reads the path can use "COM n" at once.
    std::string link;
    if (!noAnnounce) {
        link = unit.Announce();
        if (link.empty())
            std::cerr << "weirlink-sim: could not announce in " << SimAnnounceDir() << "\n";
    }
    std::cout << unit.DevicePath() << std::endl;
    std::cerr << "weirlink-sim: simulated unit on " << unit.DevicePath() << " at "
              << unit.BaudRate() << " baud" << (link.empty() ? "" : ", announced as " + link)
              << "; Ctrl+C ends it" << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    unit.Stop();
    return 0;
}
