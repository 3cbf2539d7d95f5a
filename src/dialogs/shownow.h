#pragma once

#include <initializer_list>

#include <QEventLoop>

class QWidget;

// Puts what the widgets hold now on the screen before the caller blocks the thread: they are
// painted at once, and processing the pending events then hands the frame to the window system.
// Wayland takes a frame only when the event loop wakes up, so a paint left to the event loop, or
// one not followed by it, shows only after the blocking step.
void ShowNow(std::initializer_list<QWidget*> widgets,
             QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
