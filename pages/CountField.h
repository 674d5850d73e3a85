// The "clear ... if [n] ... occur" rows of the Site and Smoothing pages: a check box, a count
// that cannot be typed into but steps with spin arrows, and the words after it.
#pragma once

#include <QAbstractSpinBox>
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QLabel;

// The highest count the arrows reach; one step past it wraps to 1, and one below 1 to it.
inline constexpr int kMaxClearCount = 20;

// The count after one step of the arrows (+1 up, -1 down), in the byte the record keeps it
// in. A count outside 1..20, possible only from a file or a unit, steps back into it.
std::uint8_t StepClearCount(std::uint8_t count, int direction);

// A read-only count with spin arrows. The arrows only report a step; the page works out the
// new count and shows it, so every step is taken whatever the field shows.
class CCountField final : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit CCountField(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    // Off, the arrows are drawn disabled and neither clicks nor keys step.
    void SetArrowsEnabled(bool enabled);

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // +1 for the up arrow, -1 for the down arrow.
    void Stepped(int direction);

protected:
    StepEnabled stepEnabled() const override;

private:
    bool arrowsEnabled = true;
};

class CClearCountRow final : public QWidget {
    Q_OBJECT

public:
    // offText is what the count shows while the box is cleared.
    CClearCountRow(const QString& boxText, const QString& afterText, const QString& offText,
                   QWidget* parent = nullptr);

    // Ticks the box, shows the count and enables the arrows for a count other than 0;
    // otherwise clears the box, shows offText and disables the arrows.
    void ShowCount(std::uint8_t count);
    // The count at the start of the field's text, for the record; offText reads as 0. A count
    // other than 0 is remembered, to be offered again when the box is ticked.
    std::uint8_t ReadCount();
    // The count the box asks for once the user clicked it: the last count other than 0 when
    // it is now ticked, 0 when it is cleared.
    std::uint8_t ClickedCount() const;

    QCheckBox* Box() const { return box; }
    CCountField* Field() const { return field; }

signals:
    // The user ticked or cleared the box.
    void BoxClicked();
    void Stepped(int direction);

private:
    QCheckBox* box;
    CCountField* field;
    QString offText;
    // Offered at the first tick of a box that was cleared from the start. Not part of the
    // record.
    std::uint8_t lastCount = 3;
};
