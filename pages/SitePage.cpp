#include "pages/SitePage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <QValidator>

#include "config/Quantities.h"
#include "config/SettingNames.h"
#include "pages/CountField.h"
#include "pages/PageSupport.h"

namespace {

// Names in the record hold at most 11 characters before their NUL.
constexpr int kNameLength = 11;

// The LCD cycles between its screens every 3 to 10 seconds.
constexpr int kMinCycleTime = 3;
constexpr int kMaxCycleTime = 10;
constexpr char kCycleTimeFormat[] = QT_TRANSLATE_NOOP("CSitePage", "%1 sec.");

// The display units offered for each quantity: a run of codes, listed in code order, so an
// entry's position is its code minus the first.
struct UnitList {
    const char* label;
    QuantityKind kind;
    int firstCode;
    int lastCode;
};
constexpr UnitList kUnitLists[] = {
    {QT_TRANSLATE_NOOP("CSitePage", "Flo&w Units:"), KindFlow, 13,
     20},  // Cumecs .. cubic centimeters per second
    {QT_TRANSLATE_NOOP("CSitePage", "&Velocity Units:"), KindVelocity, 8,
     11},  // meters .. centimeters per second
    {QT_TRANSLATE_NOOP("CSitePage", "&Depth Units:"), KindDepth, 2, 6},  // feet .. meters
    {QT_TRANSLATE_NOOP("CSitePage", "Te&mperature Units:"), KindTemperature, 36,
     37},                                                                    // Celsius, Fahrenheit
    {QT_TRANSLATE_NOOP("CSitePage", "V&olume Units:"), KindVolume, 27, 34},  // liters .. acre feet
};
constexpr int kFlowList = 0;

// The area unit is not chosen: it follows the flow unit, square inches with the American
// flow units and square metres with the others.
std::uint8_t AreaUnitFor(int flowCode)
{
    constexpr int kMgd = 14, kGallonsPerMinute = 15, kCubicFeetPerSecond = 18;
    constexpr std::uint8_t kSquareInches = 24, kSquareMeters = 23;
    const bool american =
        flowCode == kMgd || flowCode == kGallonsPerMinute || flowCode == kCubicFeetPerSecond;
    return american ? kSquareInches : kSquareMeters;
}

// The LCD's screens that have a box on the page; pushed data mode has none.
constexpr int kLcdBoxCount = LcdShowOutputs + 1;

// A time-out remembered for the next tick must itself be one that switches the time-out on.
constexpr long kMinRememberedTimeout = 1;
constexpr long kMaxRememberedTimeout = kMaxInstrumentTimeout - 1;

// Names keep only ASCII letters and digits; dropping the others while the user types shows
// at once what the unit will get.
class CAlphanumericValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        const int droppedBeforeCursor =
            static_cast<int>(pos - StripNonAlphanumeric(input.left(pos)).size());
        input = StripNonAlphanumeric(input);
        pos -= droppedBeforeCursor;
        return Acceptable;
    }
};

QLineEdit* NameEdit(QObject* validatorParent)
{
    auto* edit = new QLineEdit;
    edit->setMaxLength(kNameLength);
    edit->setValidator(new CAlphanumericValidator(validatorParent));
    SetWidthInChars(edit, kNameLength + 2);
    return edit;
}

}  // namespace

CSitePage::CSitePage(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    // Created in reading order, which is also the order the Tab key follows.
    siteName = NameEdit(this);
    auto* siteRow = new QHBoxLayout;
    siteRow->addWidget(LabelFor(tr("S&ite Name:"), siteName));
    siteRow->addWidget(siteName);
    siteRow->addStretch(1);

    auto* left = new QVBoxLayout;
    for (int instrument = 0; instrument < 3; ++instrument)
        left->addWidget(CreateInstrumentGroup(instrument));
    left->addWidget(CreateErrorGroup());
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(CreateLcdGroup());
    right->addWidget(CreateUnitsGroup());
    right->addWidget(CreateTotalizerGroup());
    right->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    auto* page = new QVBoxLayout(this);
    page->addLayout(siteRow);
    page->addLayout(columns);
    page->addStretch(1);

    LoadFromConfig();
}

QWidget* CSitePage::CreateInstrumentGroup(int instrument)
{
    auto* group = new QGroupBox(tr("Instrument %1").arg(instrument + 1));
    InstrumentControls& c = instruments[instrument];
    c.type = NewDropDownList(kInstrumentTypeNames);
    c.name = NameEdit(this);
    c.timeout = new QCheckBox(tr("Timeout:"));
    c.seconds = new QLineEdit;
    SetWidthInChars(c.seconds, 6);

    auto* grid = new QGridLayout(group);
    grid->addWidget(LabelFor(tr("&Type:"), c.type), 0, 0);
    grid->addWidget(c.type, 0, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(LabelFor(tr("&Name:"), c.name), 1, 0);
    grid->addWidget(c.name, 1, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(c.timeout, 2, 0);
    grid->addWidget(c.seconds, 2, 1);
    grid->addWidget(LabelFor(tr("s&econds"), c.seconds), 2, 2);
    grid->setColumnStretch(2, 1);

    connect(c.type, &QComboBox::activated, this, &CSitePage::StoreThenLoad);
    connect(c.timeout, &QCheckBox::clicked, this,
            [this, instrument] { OnTimeoutClicked(instrument); });
    return group;
}

QWidget* CSitePage::CreateErrorGroup()
{
    auto* group = new QGroupBox(tr("Error Handling"));
    clearAllData = new CClearCountRow(tr("Clear all data if"), tr("timeouts occur"), QString());
    (new QVBoxLayout(group))->addWidget(clearAllData);
    connect(clearAllData, &CClearCountRow::BoxClicked, this, &CSitePage::OnClearAllDataClicked);
    connect(clearAllData, &CClearCountRow::Stepped, this, &CSitePage::OnClearCountStepped);
    return group;
}

QWidget* CSitePage::CreateLcdGroup()
{
    auto* group = new QGroupBox(tr("LCD Display"));
    auto* grid = new QGridLayout(group);
    for (int screen = 0; screen < kLcdBoxCount; ++screen) {
        lcdShow[screen] = new QCheckBox(Latin1(kLcdShowNames[screen]));
        grid->addWidget(lcdShow[screen], screen, 0, 1, 3);
    }

    cycleTime = new QSlider(Qt::Horizontal);
    cycleTime->setRange(kMinCycleTime, kMaxCycleTime);
    cycleTime->setPageStep(1);
    cycleTime->setTickPosition(QSlider::TicksBelow);
    cycleTime->setTickInterval(1);
    cycleTimeText = new QLabel;
    // The label shows the stored time, which may lie beyond the slider's end.
    ReserveLabelWidth(cycleTimeText, tr(kCycleTimeFormat).arg(255));
    grid->addWidget(LabelFor(tr("&Cycle Time:"), cycleTime), kLcdBoxCount, 0);
    grid->addWidget(cycleTime, kLcdBoxCount, 1);
    grid->addWidget(cycleTimeText, kLcdBoxCount, 2);

    lcdBacklight = new QCheckBox(tr("LCD Backlight On"));
    grid->addWidget(lcdBacklight, kLcdBoxCount + 1, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(cycleTime, &QSlider::valueChanged, this, &CSitePage::StoreThenLoad);
    return group;
}

QWidget* CSitePage::CreateUnitsGroup()
{
    auto* group = new QGroupBox(tr("Display Units"));
    auto* grid = new QGridLayout(group);
    for (std::size_t i = 0; i < std::size(kUnitLists); ++i) {
        const UnitList& list = kUnitLists[i];
        unitLists[i] = new QComboBox;
        for (int code = list.firstCode; code <= list.lastCode; ++code)
            unitLists[i]->addItem(Latin1(UnitName(static_cast<unsigned>(code))));
        const int row = static_cast<int>(i);
        grid->addWidget(LabelFor(tr(list.label), unitLists[i]), row, 0);
        grid->addWidget(unitLists[i], row, 1);
    }
    grid->setColumnStretch(1, 1);
    return group;
}

QWidget* CSitePage::CreateTotalizerGroup()
{
    auto* group = new QGroupBox(tr("Totalizer Mode"));
    auto* row = new QHBoxLayout(group);
    totalizerMode = new QButtonGroup(this);
    for (int mode = 0; mode < static_cast<int>(kTotalizerModeNames.size()); ++mode) {
        auto* button = new QRadioButton(Latin1(kTotalizerModeNames[mode]));
        totalizerMode->addButton(button, mode);
        row->addWidget(button);
    }
    row->addStretch(1);
    return group;
}

void CSitePage::LoadFromConfig()
{
    siteName->setText(RecordText(config->siteName));

    for (std::size_t i = 0; i < std::size(kUnitLists); ++i)
        SelectListIndex(unitLists[i],
                        config->unitCode[kUnitLists[i].kind] - kUnitLists[i].firstCode);

    for (int screen = 0; screen < kLcdBoxCount; ++screen)
        lcdShow[screen]->setChecked(config->lcdShow[screen] != 0);
    lcdBacklight->setChecked(config->lcdBacklight != 0);

    {
        // Setting the slider is no move by the user.
        const QSignalBlocker quiet(cycleTime);
        cycleTime->setValue(config->lcdCycleTime);
    }
    cycleTimeText->setText(tr(kCycleTimeFormat).arg(config->lcdCycleTime));

    for (int i = 0; i < 3; ++i) {
        const InstrumentControls& c = instruments[i];
        const int type = config->instrumentType[i];
        const std::int16_t timeout = config->instrumentTimeout[i];
        const bool active = type != InstrumentInactive;
        const bool timed = active && timeout <= kMaxInstrumentTimeout;
        SelectListIndex(c.type, type);
        c.name->setEnabled(active);
        c.timeout->setEnabled(active);
        c.seconds->setEnabled(timed);
        c.name->setText(active ? RecordText(config->instrumentName[i]) : QString());
        c.timeout->setChecked(timed);
        c.seconds->setText(timed ? QString::number(timeout) : QString());
    }
    // The alternate MODBUS port takes instrument 2's serial port.
    instruments[1].type->setEnabled(config->modbusAltPort == 0);

    clearAllData->ShowCount(config->timeoutClearCount);

    // A mode the page does not know shows no button, and a store keeps it.
    if (QAbstractButton* button = totalizerMode->button(config->totalizerMode)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = totalizerMode->checkedButton()) {
        totalizerMode->setExclusive(false);
        checked->setChecked(false);
        totalizerMode->setExclusive(true);
    }
}

void CSitePage::StoreToConfig()
{
    StoreRecordText(StripNonAlphanumeric(siteName->text()), config->siteName);

    for (std::size_t i = 0; i < std::size(kUnitLists); ++i) {
        const UnitList& list = kUnitLists[i];
        const int stored = config->unitCode[list.kind] - list.firstCode;
        config->unitCode[list.kind] =
            static_cast<std::uint8_t>(SelectedIndexOr(unitLists[i], stored) + list.firstCode);
    }
    config->unitCode[KindArea] = AreaUnitFor(config->unitCode[kUnitLists[kFlowList].kind]);

    for (int screen = 0; screen < kLcdBoxCount; ++screen)
        config->lcdShow[screen] = lcdShow[screen]->isChecked() ? 1 : 0;
    // Pushed data mode has no control on the page: every store switches it off.
    config->lcdShow[LcdShowPushedData] = 0;
    config->lcdBacklight = lcdBacklight->isChecked() ? 1 : 0;
    config->lcdCycleTime = static_cast<std::uint8_t>(cycleTime->value());

    for (int i = 0; i < 3; ++i) {
        const InstrumentControls& c = instruments[i];
        // Judged by the type the record holds: an instrument just switched from Inactive to
        // a model keeps its name and time-out from the record, and shows them next.
        if (config->instrumentType[i] != InstrumentInactive) {
            StoreRecordText(StripNonAlphanumeric(c.name->text()), config->instrumentName[i]);
            if (c.timeout->isChecked()) {
                config->instrumentTimeout[i] = FieldIntegerAs<std::int16_t>(c.seconds->text());
            } else {
                config->instrumentTimeout[i] = kNoTimeout;
                const long seconds = FieldInteger(c.seconds->text());
                if (seconds >= kMinRememberedTimeout && seconds <= kMaxRememberedTimeout)
                    lastTimeout[i] = static_cast<std::int16_t>(seconds);
            }
        }
        config->instrumentType[i] =
            static_cast<std::uint8_t>(SelectedIndexOr(c.type, config->instrumentType[i]));
    }

    config->timeoutClearCount = clearAllData->ReadCount();

    if (const int mode = totalizerMode->checkedId(); mode >= 0)
        config->totalizerMode = static_cast<std::uint8_t>(mode);
}

void CSitePage::OnTimeoutClicked(int instrument)
{
    StoreChangeLoad([this, instrument](UnitConfig& record) {
        if (instruments[instrument].timeout->isChecked())
            record.instrumentTimeout[instrument] = lastTimeout[instrument];
    });
}

void CSitePage::OnClearAllDataClicked()
{
    StoreChangeLoad(
        [this](UnitConfig& record) { record.timeoutClearCount = clearAllData->ClickedCount(); });
}

void CSitePage::OnClearCountStepped(int direction)
{
    StoreChangeLoad([direction](UnitConfig& record) {
        record.timeoutClearCount = StepClearCount(record.timeoutClearCount, direction);
    });
}
