#include "pages/SmoothingPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "config/NumberText.h"
#include "config/Quantities.h"
#include "pages/CountField.h"
#include "pages/PageSupport.h"
#include "pages/ValueEdit.h"

namespace {

// One group per smoothed quantity, in the order of UnitConfig::smoothing, with the kind
// whose display unit its thresholds are shown in.
struct QuantityGroup {
    const char* title;
    QuantityKind kind;
};
constexpr QuantityGroup kQuantityGroups[] = {
    {QT_TRANSLATE_NOOP("CSmoothingPage", "Flow"), KindFlow},
    {QT_TRANSLATE_NOOP("CSmoothingPage", "Velocity"), KindVelocity},
    {QT_TRANSLATE_NOOP("CSmoothingPage", "Depth"), KindDepth},
};

// The slider has one step per hundredth of the factor: 1.0 (least smoothed) at the left
// end, 0.0 at the right.
constexpr int kSliderSteps = 100;

float PositionToTcf(int position)
{
    return static_cast<float>(1.0 - position / static_cast<double>(kSliderSteps));
}

int TcfToPosition(float tcf)
{
    // In double from the stored float, so that every position reads back as itself; a
    // factor beyond 0..1 from a file puts the slider at its nearer end.
    const double position = kSliderSteps - std::round(static_cast<double>(tcf) * kSliderSteps);
    if (std::isnan(position)) return 0;
    return static_cast<int>(std::clamp(position, 0.0, static_cast<double>(kSliderSteps)));
}

// A slider left where the record's factor puts it keeps that factor to the last bit, although
// it shows only hundredths. A factor beyond 0..1 (from a file or a unit) is not kept: the
// slider stands at its end, and that end is stored.
float StoredTcf(int position, float stored)
{
    const bool shownAsStored =
        stored >= 0.0f && stored <= 1.0f && position == TcfToPosition(stored);
    return shownAsStored ? stored : PositionToTcf(position);
}

QString TcfText(float tcf)
{
    return CSmoothingPage::tr("TCF: %1").arg(QString::fromStdString(FormatDecimal(tcf, 2)));
}

// The thresholds are sizes: a sign typed before one is dropped, and the value is rounded
// to the nearest base unit. An odd unit code from a file cannot make one negative either.
std::int32_t ThresholdFromText(const QString& text, int unitCode)
{
    const double base = FromDisplayUnits(std::fabs(FieldDecimal(text)), unitCode);
    return std::max(TruncateToInt32(base + 0.5), 0);
}

// Two lines beside each end of a slider.
QLabel* SliderEndLabel(const QString& text, Qt::Alignment alignment)
{
    auto* label = new QLabel(text);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

}  // namespace

CSmoothingPage::CSmoothingPage(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    auto* page = new QVBoxLayout(this);
    for (int q = 0; q < static_cast<int>(std::size(kQuantityGroups)); ++q)
        page->addWidget(CreateQuantityGroup(q));
    page->addWidget(CreateOutputGroup());
    page->addWidget(CreateBadDataGroup());
    page->addStretch(1);

    LoadFromConfig();
}

QWidget* CSmoothingPage::CreateQuantityGroup(int quantity)
{
    auto* box = new QGroupBox(tr(kQuantityGroups[quantity].title));
    QuantityControls& c = quantities[quantity];

    c.slider = new QSlider(Qt::Horizontal);
    c.slider->setRange(0, kSliderSteps);
    c.slider->setSingleStep(1);
    c.slider->setPageStep(10);
    c.slider->setTickPosition(QSlider::TicksBelow);
    c.slider->setTickInterval(10);
    c.factor = new QLabel(tr("TCF:"));
    c.factor->setAlignment(Qt::AlignCenter);
    ReserveLabelWidth(c.factor, TcfText(-1.0f));

    auto* sliderRow = new QGridLayout;
    sliderRow->addWidget(SliderEndLabel(tr("Less\nSmoothed"), Qt::AlignRight), 0, 0);
    sliderRow->addWidget(c.slider, 0, 1);
    sliderRow->addWidget(SliderEndLabel(tr("More\nSmoothed"), Qt::AlignLeft), 0, 2);
    sliderRow->addWidget(c.factor, 1, 1, Qt::AlignHCenter);
    sliderRow->setColumnStretch(1, 1);

    c.band = new CValueEdit;
    c.zeroBelow = new CValueEdit;
    c.bandUnits = NewUnitsLabel();
    c.zeroBelowUnits = NewUnitsLabel();
    auto* thresholds = new QGridLayout;
    const std::pair<QString, std::pair<CValueEdit*, QLabel*>> rows[] = {
        {tr("&Don't smooth changes over"), {c.band, c.bandUnits}},
        {tr("Force to &zero if less than"), {c.zeroBelow, c.zeroBelowUnits}},
    };
    int row = 0;
    for (const auto& [label, field] : rows) {
        field.second->setText(tr("Units"));
        thresholds->addWidget(LabelFor(label, field.first), row, 0);
        thresholds->addWidget(field.first, row, 1);
        thresholds->addWidget(field.second, row, 2);
        ++row;
    }

    auto* layout = new QHBoxLayout(box);
    layout->addLayout(sliderRow, 1);
    layout->addSpacing(2 * layout->spacing());
    layout->addLayout(thresholds);

    connect(c.slider, &QSlider::valueChanged, this, &CSmoothingPage::StoreThenLoad);
    return box;
}

QWidget* CSmoothingPage::CreateOutputGroup()
{
    auto* box = new QGroupBox(tr("Output"));
    showSmoothed = new QCheckBox(
        tr("Display smoothed flow, velocity, and depth values on LCD and main web page"));
    (new QVBoxLayout(box))->addWidget(showSmoothed);
    return box;
}

QWidget* CSmoothingPage::CreateBadDataGroup()
{
    auto* box = new QGroupBox(tr("Bad Data"));
    clearSmoothed = new CClearCountRow(tr("Clear smoothed values if"), tr("bad readings occur"),
                                       QStringLiteral("--"));
    (new QVBoxLayout(box))->addWidget(clearSmoothed);
    connect(clearSmoothed, &CClearCountRow::BoxClicked, this,
            &CSmoothingPage::OnClearSmoothedClicked);
    connect(clearSmoothed, &CClearCountRow::Stepped, this, &CSmoothingPage::OnClearCountStepped);
    return box;
}

void CSmoothingPage::LoadFromConfig()
{
    for (int q = 0; q < static_cast<int>(quantities.size()); ++q) {
        const QuantityControls& c = quantities[q];
        const int unitCode = config->unitCode[kQuantityGroups[q].kind];
        const QString units = Latin1(UnitAbbreviation(unitCode));
        c.bandUnits->setText(units);
        c.zeroBelowUnits->setText(units);
        const float tcf = config->smoothing[q].tcf;
        c.band->ShowValue(config->smoothing[q].band, unitCode);
        c.zeroBelow->ShowValue(config->smoothing[q].zeroBelow, unitCode);
        {
            // Setting a slider is no move by the user.
            const QSignalBlocker quiet(c.slider);
            c.slider->setValue(TcfToPosition(tcf));
        }
        c.factor->setText(TcfText(tcf));
    }

    showSmoothed->setChecked(config->lcdShowSmoothed != 0);
    clearSmoothed->ShowCount(config->badReadingClearCount);
}

void CSmoothingPage::StoreToConfig()
{
    for (int q = 0; q < static_cast<int>(quantities.size()); ++q) {
        // The thresholds are read in the unit the page shows them in, which is the unit it
        // was loaded with, whatever the Site page chose since.
        const QuantityControls& c = quantities[q];
        config->smoothing[q].band = c.band->StoredValue(ThresholdFromText);
        config->smoothing[q].zeroBelow = c.zeroBelow->StoredValue(ThresholdFromText);
        config->smoothing[q].tcf = StoredTcf(c.slider->value(), config->smoothing[q].tcf);
    }

    config->lcdShowSmoothed = showSmoothed->isChecked() ? 1 : 0;

    config->badReadingClearCount = clearSmoothed->ReadCount();
}

void CSmoothingPage::OnClearSmoothedClicked()
{
    StoreChangeLoad([this](UnitConfig& record) {
        record.badReadingClearCount = clearSmoothed->ClickedCount();
    });
}

void CSmoothingPage::OnClearCountStepped(int direction)
{
    StoreChangeLoad([direction](UnitConfig& record) {
        record.badReadingClearCount = StepClearCount(record.badReadingClearCount, direction);
    });
}
