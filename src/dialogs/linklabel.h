#pragma once

#include <QLabel>

// An address shown as a link, blue and underlined: opened by a left click released over it, by
// Enter or Space once Tab has reached it, and by a screen reader, to which it is a link.
class LinkLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkLabel)

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    void Open() { emit Clicked(); }

signals:
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool FPressed = false;
};
