// The differences between what the pages hold and a file or a unit, one setting a line as
// `weirlink diff` words them, in text a technician can select and copy into a report.
#pragma once

#include <QDialog>
#include <vector>

#include "config/SettingList.h"

enum class ComparedWith { File, Unit };

class CCompareDialog final : public QDialog {
    Q_OBJECT

public:
    // `changes` run from the pages' values to the other side's; `name` is the file's name or
    // the port the unit was read through.
    CCompareDialog(ComparedWith other, const QString& name,
                   const std::vector<SettingChange>& changes, QWidget* parent = nullptr);

    // "Compare with File" or "Compare with Unit", as the menu has it.
    static QString Title(ComparedWith other);
};
