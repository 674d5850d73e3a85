#include "pages/IpAddressField.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include "pages/PageSupport.h"

namespace {

constexpr int kPartDigits = 3;
constexpr long kMaxPart = 255;

// Only digits that make a number up to 255; a keystroke past that is refused.
class COctetValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        if (input.size() > kPartDigits) return Invalid;
        for (const QChar c : input)
            if (c < u'0' || c > u'9') return Invalid;
        return FieldInteger(input) <= kMaxPart ? Acceptable : Invalid;
    }
};

}  // namespace

CIpAddressField::CIpAddressField(QWidget* parent) : QFrame(parent)
{
    // One framed field, as people know an address field, with the dots inside it.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(0);
    for (int i = 0; i < static_cast<int>(parts.size()); ++i) {
        if (i > 0) row->addWidget(new QLabel(QStringLiteral(".")));
        auto* part = new QLineEdit;
        part->setFrame(false);
        part->setAlignment(Qt::AlignCenter);
        part->setMaxLength(kPartDigits);
        part->setValidator(new COctetValidator(part));
        SetWidthInChars(part, kPartDigits);
        // The Tab key enters the address at its first number and leaves it from any; the
        // dot and the arrow keys move between the numbers.
        if (i > 0) part->setFocusPolicy(Qt::ClickFocus);
        part->installEventFilter(this);
        connect(part, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == kPartDigits && parts[i]->cursorPosition() == kPartDigits &&
                i + 1 < static_cast<int>(parts.size()))
                MoveTo(i + 1, false);
        });
        parts[i] = part;
        row->addWidget(part);
    }
    // Focus given to the field, as by its label's Alt+letter, goes to the first number. Tab
    // passes over a widget with a focus proxy, so this adds no stop of its own.
    setFocusProxy(parts[0]);
    setFocusPolicy(Qt::StrongFocus);
}

void CIpAddressField::SetAddress(const Address& address)
{
    for (std::size_t i = 0; i < parts.size(); ++i) parts[i]->setText(QString::number(address[i]));
}

CIpAddressField::Address CIpAddressField::GetAddress() const
{
    Address address{};
    for (std::size_t i = 0; i < parts.size(); ++i)
        address[i] = FieldIntegerAs<std::uint8_t>(parts[i]->text());
    return address;
}

void CIpAddressField::MoveTo(int index, bool toEnd)
{
    QLineEdit* part = parts[index];
    part->setFocus(Qt::OtherFocusReason);
    if (toEnd)
        part->end(false);
    else
        part->selectAll();
}

bool CIpAddressField::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
    const auto it = std::find(parts.begin(), parts.end(), watched);
    if (it == parts.end()) return QFrame::eventFilter(watched, event);
    const int index = static_cast<int>(it - parts.begin());
    QLineEdit* part = *it;
    const int last = static_cast<int>(parts.size()) - 1;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool atStart = part->cursorPosition() == 0 && !part->hasSelectedText();
    const bool atEnd = part->cursorPosition() == part->text().size() && !part->hasSelectedText();

    switch (key->key()) {
        case Qt::Key_Period:
        case Qt::Key_Space:
            // A dot after a number goes on to the next one.
            if (index < last && !part->text().isEmpty()) MoveTo(index + 1, false);
            return true;
        case Qt::Key_Right:
            if (atEnd && index < last) {
                MoveTo(index + 1, false);
                return true;
            }
            break;
        case Qt::Key_Left:
            if (atStart && index > 0) {
                MoveTo(index - 1, true);
                return true;
            }
            break;
        case Qt::Key_Backspace:
            if (atStart && index > 0) {
                MoveTo(index - 1, true);
                return true;
            }
            break;
        default: break;
    }
    return QFrame::eventFilter(watched, event);
}
