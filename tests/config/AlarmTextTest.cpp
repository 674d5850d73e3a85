#include <gtest/gtest.h>

#include <string>

#include "config/AlarmText.h"

namespace {

AlarmRule Rule(std::uint8_t instrument1, std::uint8_t dataType1, std::uint8_t compare1,
               std::int32_t threshold1, std::uint8_t combine = 9)
{
    AlarmRule rule{};
    rule.enabled = 1;
    rule.instrument1 = instrument1;
    rule.dataType1 = dataType1;
    rule.compare1 = compare1;
    rule.threshold1 = threshold1;
    rule.combine = combine;
    return rule;
}

AlarmRule WithCondition2(AlarmRule rule, std::uint8_t instrument2, std::uint8_t dataType2,
                         std::uint8_t compare2, std::int32_t threshold2)
{
    rule.instrument2 = instrument2;
    rule.dataType2 = dataType2;
    rule.compare2 = compare2;
    rule.threshold2 = threshold2;
    return rule;
}

}  // namespace

TEST(AlarmText, RulesInTheWordsOfTheAlarmsPage)
{
    UnitConfig config;
    SetDefaults(config);  // inches, MGD, million gallons

    AlarmRule twoConditions = WithCondition2(Rule(0, 16, 1, 1270, 7), 1, 1, 2, 153344);
    twoConditions.latching = 1;
    AlarmRule eitherCondition = WithCondition2(Rule(0, 16, 3, 1270, 8), 2, 40, 4, 254);

    const std::pair<AlarmRule, const char*> cases[] = {
        {twoConditions,
         "Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50 MGD (Latching)"},
        {eitherCondition, "Instrument 1 Main Depth >= 50.0 In or Average Depth <= 10.0 In"},
        {Rule(0, 38, 3, 525752), "Average Flow >= 12.0 MGD"},
        {Rule(2, 8, 6, 37854118), "Instrument 3 pulse every 1.00 MGal"},
        {Rule(0, 16, 5, -32768), "Instrument 1 Main Depth = -- In"},
        {Rule(255, 21, 2, 0),
         "Instrument 256 Sensor Temperature < 32.0 \xB0"
         "F"},
        // Values the page never writes: no comparison text, no second condition.
        {Rule(0, 16, 0, 0), "Instrument 1 Main Depth  0.000 In"},
        {Rule(0, 16, 9, 0), "Instrument 1 Main Depth  0.000 In"},
        {Rule(0, 16, 255, 0), "Instrument 1 Main Depth  0.000 In"},
        {WithCondition2(Rule(0, 16, 1, 0, 8), 0, 16, 6, 0),
         "Instrument 1 Main Depth > 0.000 In or Instrument 1 Main Depth  0.000 In"},
        {WithCondition2(Rule(0, 16, 1, 0, 0), 0, 16, 1, 0), "Instrument 1 Main Depth > 0.000 In"},
        {Rule(0, 99, 1, 5), "Instrument 1 UNKNOWN DATA TYPE > 5.00 "},
    };
    for (const auto& [rule, text] : cases) EXPECT_EQ(DescribeRule(rule, config), text);
}

TEST(AlarmText, SlotLines)
{
    UnitConfig config;
    SetDefaults(config);
    EXPECT_EQ(DescribeRuleSlot(1, config.alarmRule[0], config), "#1: (not used)");
    EXPECT_EQ(DescribeRuleSlot(3, Rule(0, 38, 3, 525752), config), "#3: Average Flow >= 12.0 MGD");
}
