#include "dialogs/linklabel.h"

#include <utility>

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

// A label's own interface reads as static text and offers nothing to press.
class LinkAccessible final : public QAccessibleWidget
{
public:
    explicit LinkAccessible(LinkLabel* link)
        : QAccessibleWidget(link, QAccessible::Link)
    {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const LinkLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            static_cast<LinkLabel*>(widget())->Open();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* LinkInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("LinkLabel"))
        return new LinkAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    static const bool accessible = (QAccessible::installFactory(&LinkInterface), true);
    Q_UNUSED(accessible);
    setTextFormat(Qt::PlainText);
    setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

// A click is a left press and its release over the link, as on a button: a release elsewhere
// takes the click back.
void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        FPressed = rect().contains(event->position().toPoint());
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && std::exchange(FPressed, false) &&
        rect().contains(event->position().toPoint()))
        Open();
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Open();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

// A label draws no focus, so a link reached by Tab would not show that it has it.
void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
