#include "pages/AlarmsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <iterator>

#include "config/AlarmText.h"
#include "config/Quantities.h"
#include "dialogs/UserPrompts.h"
#include "pages/PageSupport.h"
#include "pages/ValueEdit.h"

namespace {

constexpr int kRuleCount = static_cast<int>(std::size(UnitConfig{}.alarmRule));

const char kMaxAlarmsText[] = QT_TRANSLATE_NOOP(
    "CAlarmsPage",
    "Error, the maximum number of alarms have been entered.  Please delete another alarm "
    "condition.");

// The comparison list, in the order of the comparison codes 1..5.
const char* const kComparisonTexts[] = {">", "<", ">=", "<=", "=="};
// The join list, in the order of the combine codes 7..9.
const char* const kJoinTexts[] = {QT_TRANSLATE_NOOP("CAlarmsPage", "AND"),
                                  QT_TRANSLATE_NOOP("CAlarmsPage", "OR"),
                                  QT_TRANSLATE_NOOP("CAlarmsPage", "N/A")};
constexpr int kJoinAnd = AlarmCombineAnd - AlarmCombineAnd;
constexpr int kJoinOr = AlarmCombineOr - AlarmCombineAnd;
constexpr int kJoinNone = AlarmCombineNone - AlarmCombineAnd;

// The sampler pulse counts the totalized flow.
constexpr std::uint8_t kTotalizedFlow = 8;

// Thresholds round half away from zero by the sign of the number as typed.
std::int32_t StoredThreshold(const QString& text, int unit)
{
    const double typed = FieldValue(text);
    return TruncateToInt32(FromDisplayUnits(typed, unit) + 0.5 * SignOf(typed));
}

// A pulse volume is kept in thousandths of the volume base unit.
std::int32_t StoredPulseVolume(const QString& text, int unit)
{
    return TruncateToInt32(FromDisplayUnits(FieldDecimal(text), unit) * 1000);
}

}  // namespace

CAlarmsPage::CAlarmsPage(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildParameters());
    layout->addWidget(BuildSamplerPulse());
    layout->addWidget(BuildCurrentAlarms());
    layout->addStretch(1);
    NameControls({{join, "join"},
                  {latching, "latching"},
                  {pulseInstrument, "pulseInstrument"},
                  {pulseVolume, "pulseVolume"},
                  {pulseUnits, "pulseUnits"},
                  {rules, "rules"}});

    LoadFromConfig();
}

CAlarmsPage::ConditionRow CAlarmsPage::AddConditionRow(QGridLayout* grid, int row, int number)
{
    ConditionRow condition{NewDropDownList(), NewDropDownList(), NewDropDownList(kComparisonTexts),
                           new CValueEdit, NewUnitsLabel()};
    const QString name = QStringLiteral("condition%1").arg(number);
    NameControls({{condition.instrument, name + "Instrument"},
                  {condition.quantity, name + "Quantity"},
                  {condition.compare, name + "Compare"},
                  {condition.threshold, name + "Threshold"},
                  {condition.units, name + "Units"}});
    FillQuantityList(condition.quantity, kAlarmQuantities);

    grid->addWidget(LabelFor(tr("Condition &%1:").arg(number), condition.instrument), row, 0);
    grid->addWidget(condition.instrument, row, 1);
    grid->addWidget(condition.quantity, row, 2);
    grid->addWidget(condition.compare, row, 3);
    grid->addWidget(condition.threshold, row, 4);
    grid->addWidget(condition.units, row, 5);
    connect(condition.quantity, &QComboBox::activated, this, &CAlarmsPage::UpdateUnitLabels);
    return condition;
}

QWidget* CAlarmsPage::BuildParameters()
{
    auto* group = new QGroupBox(tr("Alarm Parameters"));
    auto* grid = new QGridLayout(group);
    condition1 = AddConditionRow(grid, 0, 1);
    join = NewDropDownList();
    for (const char* text : kJoinTexts) join->addItem(tr(text));
    grid->addWidget(join, 1, 1);
    condition2 = AddConditionRow(grid, 2, 2);
    grid->setColumnStretch(6, 1);

    latching = new QCheckBox(tr("Latching when triggered"));
    auto* set = NewPageButton(tr("Set Alarm Condition"));
    grid->addWidget(latching, 3, 1, 1, 2);
    grid->addWidget(set, 3, 3, 1, 4, Qt::AlignRight);

    connect(join, &QComboBox::activated, this, &CAlarmsPage::OnJoinChange);
    connect(set, &QPushButton::clicked, this, &CAlarmsPage::OnSetAlarmCondition);
    return group;
}

QWidget* CAlarmsPage::BuildSamplerPulse()
{
    auto* group = new QGroupBox(tr("Sampler Pulse"));
    auto* row = new QHBoxLayout(group);
    pulseInstrument = NewDropDownList();
    pulseVolume = new CValueEdit;
    pulseUnits = NewUnitsLabel();
    auto* set = NewPageButton(tr("Set Pulse Volume"));

    row->addWidget(LabelFor(tr("&Instrument:"), pulseInstrument));
    row->addWidget(pulseInstrument);
    row->addSpacing(row->spacing() * 3);
    row->addWidget(LabelFor(tr("Pulse &every:"), pulseVolume));
    row->addWidget(pulseVolume);
    row->addWidget(pulseUnits);
    row->addStretch(1);
    row->addWidget(set);

    connect(set, &QPushButton::clicked, this, &CAlarmsPage::OnSetPulseVolume);
    return group;
}

QWidget* CAlarmsPage::BuildCurrentAlarms()
{
    auto* group = new QGroupBox(tr("Current Alarms"));
    auto* column = new QVBoxLayout(group);
    rules = new QListWidget;
    rules->setSelectionMode(QAbstractItemView::SingleSelection);
    // All eight lines in sight, with room for the scroll bar that a long line brings.
    rules->addItem(QStringLiteral("#"));
    rules->setFixedHeight(rules->sizeHintForRow(0) * kRuleCount + rules->frameWidth() * 2 +
                          rules->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    rules->clear();
    auto* clear = NewPageButton(tr("Clear Selected"));
    column->addWidget(rules);
    column->addWidget(clear, 0, Qt::AlignRight);

    connect(rules, &QListWidget::itemSelectionChanged, this, &CAlarmsPage::LoadSelectedRule);
    connect(clear, &QPushButton::clicked, this, &CAlarmsPage::OnClearSelected);
    return group;
}

void CAlarmsPage::LoadFromConfig()
{
    const int remembered = SelectedSlot();
    {
        // The lines are rebuilt here; the selected rule is loaded once, below.
        const QSignalBlocker quiet(rules);
        rules->clear();
        for (QComboBox* list : {condition1.instrument, condition2.instrument, pulseInstrument})
            FillInstrumentList(list);
        ResetConditionLists();
        pulseInstrument->setCurrentIndex(0);
        EnableCondition2(false);
        const QString zero = QString::fromStdString(FormatValue(0));
        condition1.threshold->ShowText(zero);
        condition2.threshold->ShowText(zero);

        for (int slot = 0; slot < kRuleCount; ++slot) {
            const AlarmRule rule = config->alarmRule[slot];
            rules->addItem(QString::fromLatin1(DescribeRuleSlot(slot + 1, rule, *config)));
        }
        rules->setCurrentRow(remembered >= 0 ? remembered : 0);
    }
    LoadSelectedRule();
    UpdateUnitLabels();
}

void CAlarmsPage::LoadSelectedRule()
{
    const int slot = SelectedSlot();
    if (slot < 0) return;

    ResetConditionLists();
    EnableCondition2(false);
    latching->setChecked(false);

    const AlarmRule rule = config->alarmRule[slot];
    if (rule.enabled == 0) {
        // Nothing to show: the threshold edits keep what was typed.
    } else if (rule.compare1 == AlarmComparePulse) {
        SelectListIndex(pulseInstrument, rule.instrument1);
        pulseVolume->ShowValue(rule.threshold1, PulseUnit(),
                               QString::fromStdString(FormatValue(
                                   ToDisplayUnits(rule.threshold1, PulseUnit()) / 1000)));
    } else {
        latching->setChecked(rule.latching != 0);
        ShowCondition(condition1, rule.instrument1, rule.dataType1, rule.compare1, rule.threshold1);
        // A join the list does not offer (from a file) shows none, and no second condition.
        SelectListIndex(join, rule.combine - AlarmCombineAnd);
        if (rule.combine == AlarmCombineAnd || rule.combine == AlarmCombineOr) {
            ShowCondition(condition2, rule.instrument2, rule.dataType2, rule.compare2,
                          rule.threshold2);
            EnableCondition2(true);
        }
    }
    // The labels and the instrument lists follow the quantities just selected, whichever
    // kind of rule the line holds.
    UpdateUnitLabels();
}

void CAlarmsPage::UpdateUnitLabels()
{
    // A threshold is read in the unit its label shows.
    for (const ConditionRow* row : {&condition1, &condition2}) {
        const int unit = DisplayUnitOf(DataTypeAt(*row));
        row->units->setText(Latin1(UnitAbbreviation(unit)));
        row->threshold->SetUnit(unit);
    }

    const int quantity1 = DataTypeAt(condition1);
    condition1.instrument->setEnabled(!IsCombinedDataType(quantity1));

    const int quantity2 = DataTypeAt(condition2);
    if (IsCombinedDataType(quantity2))
        condition2.instrument->setEnabled(false);
    else if (Condition2InUse())
        condition2.instrument->setEnabled(true);

    pulseUnits->setText(Latin1(UnitAbbreviation(PulseUnit())));
    pulseVolume->SetUnit(PulseUnit());
}

void CAlarmsPage::OnJoinChange()
{
    EnableCondition2(Condition2InUse());
    // A combined quantity keeps its instrument list disabled.
    UpdateUnitLabels();
}

void CAlarmsPage::OnSetAlarmCondition()
{
    const int slot = WritableSlot();
    if (slot < 0) return;
    // A list left without a selection by a value it does not offer keeps the slot's value.
    const AlarmRule stored = config->alarmRule[slot];

    AlarmRule rule{};
    rule.enabled = 1;
    rule.latching = latching->isChecked() ? 1 : 0;
    rule.instrument1 =
        static_cast<std::uint8_t>(SelectedIndexOr(condition1.instrument, stored.instrument1));
    rule.dataType1 = static_cast<std::uint8_t>(DataTypeAt(condition1));
    rule.compare1 =
        static_cast<std::uint8_t>(SelectedIndexOr(condition1.compare, stored.compare1 - 1) + 1);
    rule.threshold1 = condition1.threshold->StoredValue(StoredThreshold);
    rule.combine = static_cast<std::uint8_t>(
        SelectedIndexOr(join, stored.combine - AlarmCombineAnd) + AlarmCombineAnd);
    // Only a rule that uses its second condition carries one.
    if (rule.combine == AlarmCombineAnd || rule.combine == AlarmCombineOr) {
        rule.instrument2 =
            static_cast<std::uint8_t>(SelectedIndexOr(condition2.instrument, stored.instrument2));
        rule.dataType2 = static_cast<std::uint8_t>(DataTypeAt(condition2));
        rule.compare2 =
            static_cast<std::uint8_t>(SelectedIndexOr(condition2.compare, stored.compare2 - 1) + 1);
        rule.threshold2 = condition2.threshold->StoredValue(StoredThreshold);
    }
    config->alarmRule[slot] = rule;
    FinishWrite(slot);
}

void CAlarmsPage::OnSetPulseVolume()
{
    const int slot = WritableSlot();
    if (slot < 0) return;
    const AlarmRule stored = config->alarmRule[slot];

    // The pulse rule watches the totalized flow.
    AlarmRule rule{};
    rule.enabled = 1;
    rule.instrument1 =
        static_cast<std::uint8_t>(SelectedIndexOr(pulseInstrument, stored.instrument1));
    rule.dataType1 = kTotalizedFlow;
    rule.compare1 = AlarmComparePulse;
    rule.combine = AlarmCombineNone;
    rule.threshold1 = pulseVolume->StoredValue(StoredPulseVolume);
    config->alarmRule[slot] = rule;
    FinishWrite(slot);
}

void CAlarmsPage::OnClearSelected()
{
    const int slot = SelectedSlot();
    if (slot < 0) return;
    config->alarmRule[slot] = AlarmRule{};
    LoadFromConfig();
}

int CAlarmsPage::SelectedSlot() const
{
    const QList<QListWidgetItem*> selected = rules->selectedItems();
    return selected.isEmpty() ? -1 : rules->row(selected.first());
}

int CAlarmsPage::WritableSlot()
{
    const int slot = SelectedSlot();
    if (slot >= kRuleCount) {
        UserPrompts().ShowMessage(this, tr(kMaxAlarmsText));
        return -1;
    }
    return slot;
}

void CAlarmsPage::FinishWrite(int slot)
{
    if (slot < kRuleCount - 1) {
        const QSignalBlocker quiet(rules);
        rules->setCurrentRow(slot + 1);
    }
    LoadFromConfig();
}

void CAlarmsPage::ResetConditionLists()
{
    for (const ConditionRow* row : {&condition1, &condition2}) {
        row->instrument->setCurrentIndex(0);
        row->quantity->setCurrentIndex(0);
        row->compare->setCurrentIndex(0);
    }
    join->setCurrentIndex(kJoinNone);
}

void CAlarmsPage::EnableCondition2(bool enable)
{
    condition2.instrument->setEnabled(enable);
    condition2.quantity->setEnabled(enable);
    condition2.compare->setEnabled(enable);
    condition2.threshold->setEnabled(enable);
}

void CAlarmsPage::ShowCondition(const ConditionRow& row, int instrument, int dataType, int compare,
                                std::int32_t threshold)
{
    SelectListIndex(row.instrument, instrument);
    SelectQuantity(row.quantity, kAlarmQuantities, dataType);
    // Codes without an entry (0 or above 5, from a file) show no comparison.
    SelectListIndex(row.compare, compare - 1);
    // In the unit of the quantity as stored; the units label follows the list.
    row.threshold->ShowValue(threshold, DisplayUnitOf(dataType));
}

int CAlarmsPage::DataTypeAt(const ConditionRow& row) const
{
    return SelectedQuantity(row.quantity, kAlarmQuantities);
}

int CAlarmsPage::DisplayUnitOf(int dataType) const
{
    return ::DisplayUnitOf(*config, dataType);
}

int CAlarmsPage::PulseUnit() const
{
    return config->unitCode[KindVolume];
}

bool CAlarmsPage::Condition2InUse() const
{
    // No selection, left by a join from a file that the list does not offer, counts as none.
    const int index = join->currentIndex();
    return index == kJoinAnd || index == kJoinOr;
}
