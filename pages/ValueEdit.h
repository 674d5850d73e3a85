// A field for one measured value of the record, shown in a display unit.
//
// The text shows the value rounded to a few digits, so reading that text back would change
// every value the display cannot show exactly, each time the page is stored. The field
// therefore keeps the value it was given: while its text and the unit beside it are as they
// were shown, it stands for exactly that value. A text the user typed, or a unit that
// changed beside it, is read as a number in the unit shown beside the field.
#pragma once

#include <QLineEdit>
#include <cstdint>
#include <optional>

class CValueEdit final : public QLineEdit {
public:
    // The record's value of a text read as a number in a unit, rounded as the page rounds.
    using ReadValue = std::int32_t (*)(const QString& text, int unit);

    // Wide enough for the values a unit is given in practice.
    explicit CValueEdit(QWidget* parent = nullptr);

    // Shows the record's value `stored` in `unit`, as StoredValueText does, or as `text`.
    void ShowValue(std::int32_t stored, int unit);
    void ShowValue(std::int32_t stored, int unit, const QString& text);
    // Shows a text of the page's own, which stands for no value of the record.
    void ShowText(const QString& text);

    // The unit shown beside the field from now on.
    void SetUnit(int unitCode) { unit = unitCode; }
    int Unit() const { return unit; }

    // The value the field stands for: the one it was shown with, or `read` of its text.
    std::int32_t StoredValue(ReadValue read) const;

private:
    std::optional<std::int32_t> shownValue;
    QString shownText;
    int shownUnit = 0;
    int unit = 0;
};
