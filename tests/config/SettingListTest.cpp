#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/CommandList.h"
#include "config/Quantities.h"
#include "config/SettingList.h"

namespace {

UnitConfig Defaults()
{
    UnitConfig config;
    SetDefaults(config);
    return config;
}

// Every conditional line switched on: modem, three active instruments, MODBUS on the
// alternate port beside the analog outputs, eight rules (AND, OR and a sampler pulse).
UnitConfig EverythingSent()
{
    UnitConfig config = Defaults();
    config.modemEnabled = 1;
    std::strcpy(config.modemInitString, "ATZ");
    config.instrumentType[1] = InstrumentKestrel;
    config.instrumentType[2] = InstrumentMarten;
    config.modbusAltPort = 1;
    for (int n = 0; n < 8; ++n) {
        const std::uint8_t combine = n % 2 == 0 ? AlarmCombineAnd : AlarmCombineOr;
        config.alarmRule[n] = AlarmRule{1, 0, 1, 16, 11, 1, 2, 1270, -500, combine, 1};
    }
    // 1 MGal, kept in thousandths of the volume base unit.
    config.alarmRule[7] = {1, 0, 0, 8, 0, AlarmComparePulse, 0, 37854118, 0, AlarmCombineNone, 0};
    return config;
}

std::vector<std::string> Lines(const UnitConfig& config)
{
    std::vector<std::string> lines;
    BuildCommandList(config, lines);
    return lines;
}

std::vector<std::string> Paths(const std::vector<SettingChange>& changes)
{
    std::vector<std::string> paths;
    for (const SettingChange& change : changes) paths.push_back(change.before.Path());
    return paths;
}

}  // namespace

// The comparison is judged by what a send tells the unit: whatever byte of the record
// changes, a difference is listed exactly when the command lines differ.
TEST(SettingList, ADifferenceIsListedExactlyWhenTheCommandLinesDiffer)
{
    for (const UnitConfig& base : {Defaults(), EverythingSent()}) {
        for (std::size_t offset = 0; offset < sizeof(UnitConfig); ++offset) {
            for (const int step : {1, 0x80}) {
                UnitConfig changed = base;
                auto* bytes = reinterpret_cast<std::uint8_t*>(&changed);
                bytes[offset] = static_cast<std::uint8_t>(bytes[offset] + step);
                const bool linesDiffer = Lines(base) != Lines(changed);
                const std::vector<SettingChange> changes = CompareSettings(base, changed);
                EXPECT_EQ(linesDiffer, !changes.empty())
                    << "byte " << offset << " + " << step << ", first listed: "
                    << (changes.empty() ? "nothing" : changes[0].before.Path());
            }
        }
    }
}

TEST(SettingList, ChangesAreNamedAsShowNamesThemAndShownInTheFirstRecordsUnits)
{
    const UnitConfig first = Defaults();
    UnitConfig second = first;
    std::strcpy(second.siteName, "Elsewhere");
    second.unitCode[KindFlow] = 18;                // cubic feet per second
    second.analogChannel[0].at20mA = 2 * 4381264;  // 200 MGD
    second.serialPort[PortConfiguration].baudRate = 9600;
    second.smoothing[2].tcf = 0.5f;
    second.alarmRule[1] = AlarmRule{1, 0, 1, 16, 1, 1, 2, 1270, 153344, AlarmCombineAnd, 1};

    std::vector<std::string> lines;
    for (const SettingChange& change : CompareSettings(first, second))
        lines.push_back(change.before.Path() + ": " + change.before.ValueText() + " | " +
                        change.after.ValueText());
    const std::vector<std::string> expected = {
        "Site / Site Name: NewSite | Elsewhere",
        "Communication / Configuration Port / Baudrate: 57600 | 9600",
        "Output / Channel 1 / 20mA: 100 MGD | 200 MGD",
        "Smoothing / Depth / TCF: 1.00 | 0.50",
        "Alarms / #2 / In use: no | yes",
        "Site / Flow Units: MGD | Cubic feet per second (cfs)",
    };
    EXPECT_EQ(lines, expected);
}

// A setting the lines leave out on one side is not compared; what decided that is.
TEST(SettingList, OnlyTheSwitchIsListedWhenOneSideLeavesASettingOut)
{
    const UnitConfig first = EverythingSent();
    const auto only = [&](void (*change)(UnitConfig&)) {
        UnitConfig second = first;
        change(second);
        return Paths(CompareSettings(first, second));
    };
    using Paths = std::vector<std::string>;
    EXPECT_EQ(only([](UnitConfig& c) { c.analogChannel[1] = AnalogChannel{}; }),
              Paths{"Output / Channel 2 / On"});
    EXPECT_EQ(only([](UnitConfig& c) { c.alarmRule[2] = AlarmRule{}; }),
              Paths{"Alarms / #3 / In use"});
    EXPECT_EQ(only([](UnitConfig& c) { c.modemEnabled = 0, c.modemInitString[0] = 'X'; }),
              Paths{"Communication / Use Modem"});
    EXPECT_EQ(only([](UnitConfig& c) {
                  c.instrumentType[1] = InstrumentInactive;
                  std::strcpy(c.instrumentName[1], "Gone");
              }),
              Paths{"Site / Instrument 2 / Type"});
    // A rule that now decides on condition 1 alone no longer sends condition 2.
    EXPECT_EQ(only([](UnitConfig& c) {
                  c.alarmRule[0].combine = AlarmCombineNone;
                  c.alarmRule[0].threshold2 = 99;
              }),
              Paths{"Alarms / #1 / Combine"});
}

TEST(SettingList, EverySettingHasAPlaceAValueAndARawValue)
{
    const std::vector<Setting> settings = ListSettings(EverythingSent());
    for (const Setting& setting : settings) {
        EXPECT_FALSE(setting.page.empty() || setting.name.empty()) << setting.Path();
        EXPECT_EQ(setting.name.find(':'), std::string::npos) << setting.Path();
    }
    const auto find = [&](const std::string& path) {
        for (const Setting& setting : settings)
            if (setting.Path() == path) return setting;
        ADD_FAILURE() << "no setting " << path;
        return Setting{};
    };
    const Setting threshold = find("Alarms / #1 / Condition 2 Threshold");
    EXPECT_EQ(threshold.value + " " + threshold.unit, "-1.640 ft/s");
    EXPECT_EQ(std::get<std::int64_t>(threshold.raw), -500);
    const Setting pulse = find("Alarms / #8 / Condition 1 Threshold");
    EXPECT_EQ(pulse.ValueText(), "1.00 MGal");
    const Setting tcf = find("Smoothing / Flow / TCF");
    EXPECT_EQ(std::get<double>(tcf.raw), 1.0);
    EXPECT_EQ(find("Communication / Address").raw, RawValue(std::string("192.168.1.10")));
    const Setting count = find("Output / Analog Channels in Unit");
    EXPECT_FALSE(count.Carried());
    EXPECT_EQ(count.raw, RawValue(std::int64_t{4}));
}
