#include "pages/ConfigPage.h"

#include <QFocusEvent>
#include <QKeyEvent>

CConfigPage::CConfigPage(UnitConfig* config, QWidget* parent) : QWidget(parent), config(config) {}

void CConfigPage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape: event->accept(); return;
        default: QWidget::keyPressEvent(event);
    }
}

void CConfigPage::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
        if (isAncestorOf(next) && next->isVisibleTo(this) && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}
