#pragma once

#include <functional>
#include <vector>

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// What a window system shows of a window's labels, progress bars and status bar, as opposed to
// what the program only painted: Wayland takes a new frame when the event loop next wakes up, so
// a text painted and then held back by a blocking step shows only after it. Each text that comes
// on screen is kept with the time since the start and a count the test chooses, such as the
// frames a board had received by then.
class ShownTexts final : public QObject
{
public:
    ShownTexts(QWidget& window, std::function<int()> count);

    struct Shown
    {
        QString Text; // a label's text, a status bar's message, "<bar's name> <value>"
        int Count = 0;
        qint64 Ms = 0;
    };
    // The first showing of this text; null when it was never shown.
    const Shown* Find(const QString& text) const;
    qint64 Elapsed() const { return FClock.elapsed(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Watched
    {
        QWidget* Widget;
        QString Painted, Shown;
    };

    std::function<int()> FCount;
    QElapsedTimer FClock;
    std::vector<Watched> FWatched;
    std::vector<Shown> FLog;
};
