#include "config/AlarmText.h"

#include <iterator>

#include "config/Quantities.h"

namespace {

// Indexed by comparison code. "=" although the page's list offers "==".
const char* ComparisonText(int compare)
{
    static constexpr const char* kTexts[] = {"", ">", "<", ">=", "<=", "="};
    if (compare < 0 || compare >= static_cast<int>(std::size(kTexts))) return "";
    return kTexts[compare];
}

int DisplayUnitOf(const UnitConfig& config, int dataType)
{
    return config.unitCode[QuantityKindOf(dataType)];
}

std::string Condition(const UnitConfig& config, int instrument, int dataType, int compare,
                      std::int32_t threshold)
{
    const int unit = DisplayUnitOf(config, dataType);
    std::string text;
    if (!IsCombinedDataType(dataType)) text = "Instrument " + std::to_string(instrument + 1) + " ";
    text += DataTypeName(dataType);
    text += ' ';
    text += ComparisonText(compare);
    text += ' ';
    text += FormatValue(ToDisplayUnits(threshold, unit));
    text += ' ';
    text += UnitAbbreviation(unit);
    return text;
}

// The pulse volume is kept in thousandths of the volume base unit. It is always shown in
// the volume unit, whatever data type a foreign file put beside it.
std::string PulseCondition(const UnitConfig& config, const AlarmRule& rule)
{
    const int unit = config.unitCode[KindVolume];
    return "Instrument " + std::to_string(rule.instrument1 + 1) + " pulse every " +
           FormatValue(ToDisplayUnits(rule.threshold1, unit) / 1000) + " " + UnitAbbreviation(unit);
}

}  // namespace

std::string DescribeRule(const AlarmRule& rule, const UnitConfig& config)
{
    std::string text =
        rule.compare1 == AlarmComparePulse
            ? PulseCondition(config, rule)
            : Condition(config, rule.instrument1, rule.dataType1, rule.compare1, rule.threshold1);
    if (rule.combine == AlarmCombineAnd || rule.combine == AlarmCombineOr) {
        text += rule.combine == AlarmCombineAnd ? " and " : " or ";
        text += Condition(config, rule.instrument2, rule.dataType2, rule.compare2, rule.threshold2);
    }
    if (rule.latching != 0) text += " (Latching)";
    return text;
}

std::string DescribeRuleSlot(int n, const AlarmRule& rule, const UnitConfig& config)
{
    const std::string number = "#" + std::to_string(n) + ": ";
    return rule.enabled == 0 ? number + "(not used)" : number + DescribeRule(rule, config);
}
