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
    const auto* bar = qobject_cast<const QProgressBar*>(widget);
    return bar->objectName() + QLatin1Char(' ') + QString::number(bar->value());
}

} // namespace

ShownTexts::ShownTexts(QWidget& window, std::function<int()> count)
    : FCount(std::move(count))
{
    for (QWidget* widget : window.findChildren<QWidget*>())
        if (qobject_cast<QLabel*>(widget) || qobject_cast<QStatusBar*>(widget) ||
            qobject_cast<QProgressBar*>(widget)) {
            FWidgets.push_back(widget);
            widget->installEventFilter(this);
        }
    FPainted.resize(FWidgets.size());
    FShownNow.resize(FWidgets.size());
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
            &ShownTexts::Awake);
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
        for (std::size_t i = 0; i < FWidgets.size(); ++i)
            if (FWidgets[i] == watched)
                FPainted[i] = TextOf(FWidgets[i]);
    return QObject::eventFilter(watched, event);
}

void ShownTexts::Awake()
{
    for (std::size_t i = 0; i < FWidgets.size(); ++i)
        if (FPainted[i] != FShownNow[i]) {
            FShownNow[i] = FPainted[i];
            FLog.push_back({FShownNow[i], FCount(), FClock.elapsed()});
        }
}
