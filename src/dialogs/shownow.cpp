#include "dialogs/shownow.h"

#include <QCoreApplication>
#include <QWidget>

void ShowNow(std::initializer_list<QWidget*> widgets, QEventLoop::ProcessEventsFlags flags)
{
    for (QWidget* widget : widgets)
        widget->repaint();
    QCoreApplication::processEvents(flags);
}
