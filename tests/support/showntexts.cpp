#include "support/showntexts.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace {

QString TextOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* status = qobject_cast<const QStatusBar*>(widget))
        return status->currentMessage();
    const auto* bar = static_cast<const QProgressBar*>(widget);
    return bar->objectName() + QLatin1Char(' ') + QString::number(bar->value());
}

} // namespace

ShownTexts::ShownTexts(QWidget& window, std::function<int()> count)
    : FCount(std::move(count))
{
    for (QWidget* widget : window.findChildren<QWidget*>())
        if (widget->inherits("QLabel") || widget->inherits("QStatusBar") ||
            widget->inherits("QProgressBar")) {
            FWatched.push_back({widget, {}, {}});
            widget->installEventFilter(this);
        }
    // The moment a window system takes what was painted.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this, [this] {
        for (Watched& watched : FWatched)
            if (watched.Painted != watched.Shown) {
                watched.Shown = watched.Painted;
                FLog.push_back({watched.Shown, FCount(), FClock.elapsed()});
            }
    });
    FClock.start();
}

const ShownTexts::Shown* ShownTexts::Find(const QString& text) const
{
    for (const Shown& shown : FLog)
        if (shown.Text == text)
            return &shown;
    return nullptr;
}

bool ShownTexts::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        for (Watched& candidate : FWatched)
            if (candidate.Widget == watched)
                candidate.Painted = TextOf(candidate.Widget);
    return QObject::eventFilter(watched, event);
}
