#include "app/AboutBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/ProgramIcon.h"
#include "config/Version.h"

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Weirlink Config"));

    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    auto* version =
        new QLabel(tr("Weirlink Config Version %1").arg(QString::fromLatin1(kProgramVersion)));
    auto* ok = new QPushButton(tr("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setSpacing(16);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(version, 1, Qt::AlignVCenter);
    layout->addWidget(ok, 0, Qt::AlignTop);
}
