#include "dialogs/CompareDialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// Room for the longer lines ("Communication / Configuration Port / Baudrate: ...") without
// wrapping; the dialog can be made larger for longer ones.
constexpr int kStartWidth = 620;
constexpr int kStartHeight = 340;

}  // namespace

QString CCompareDialog::Title(ComparedWith other)
{
    return other == ComparedWith::File ? tr("Compare with File") : tr("Compare with Unit");
}

CCompareDialog::CCompareDialog(ComparedWith other, const QString& name,
                               const std::vector<SettingChange>& changes, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(Title(other));

    const QString heading =
        other == ComparedWith::File
            ? tr("The pages compared with the file %1: each line shows the pages' value, then "
                 "the file's.")
            : tr("The pages compared with the unit on %1: each line shows the pages' value, then "
                 "the unit's.");
    auto* headingLine = new QLabel(heading.arg(name));
    headingLine->setObjectName(QStringLiteral("heading"));
    headingLine->setWordWrap(true);
    headingLine->setTextFormat(Qt::PlainText);  // a file name is never markup

    auto* lines = new QPlainTextEdit;
    lines->setObjectName(QStringLiteral("differences"));
    // Read-only text still selects and copies: Ctrl+A and Ctrl+C take the whole list.
    lines->setReadOnly(true);
    QString text = QString::fromUtf8(ChangeLines(changes));
    text.chop(1);  // the last line's feed
    lines->setPlainText(changes.empty() ? tr("No differences.") : text);

    auto* close = new QPushButton(tr("Close"));
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headingLine);
    layout->addWidget(lines, 1);
    layout->addLayout(buttons);
    resize(kStartWidth, kStartHeight);
    lines->setFocus(Qt::OtherFocusReason);
}
