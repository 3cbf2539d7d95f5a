#include "dialogs/about.h"

#include <functional>
#include <utility>

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

const QString TAboutFM::WebAddress = QStringLiteral("https://www.tarnwick.example/quennor/");
const QString TAboutFM::MailAddress = QStringLiteral("quennor@tarnwick.example");

namespace {

std::optional<std::uint64_t> ParseVersion(QStringView text)
{
    const auto parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const QStringView part : parts) {
        bool ok = false;
        const uint number = part.toUInt(&ok);
        if (!ok || number > 0xFFFF)
            return std::nullopt;
        value = value << 16 | number;
    }
    return value;
}

QLabel* MakeLabel(const QString& text, const char* name)
{
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return label;
}

QLabel* MakeLink(const QString& text, const char* name)
{
    QLabel* label = MakeLabel(text, name);
    label->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// Clicks on a plain label, which has no clicked signal of its own. A click is a left press and
// its release over the label, as on a button: a release elsewhere takes the click back.
class ClickFilter final : public QObject
{
public:
    ClickFilter(QLabel* label, std::function<void()> onClick)
        : QObject(label)
        , Label(label)
        , OnClick(std::move(onClick))
    {
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
            return QObject::eventFilter(watched, event);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        const bool over = Label->rect().contains(mouse->position().toPoint());
        if (type == QEvent::MouseButtonPress) {
            Pressed = over;
        } else if (std::exchange(Pressed, false) && over) {
            OnClick();
        }
        return true;
    }

private:
    QLabel* Label;
    std::function<void()> OnClick;
    bool Pressed = false;
};

} // namespace

std::optional<TVersionRecord> VersionRecordFrom(QStringView fileVersion, QStringView productVersion)
{
    const auto file = ParseVersion(fileVersion);
    const auto product = ParseVersion(productVersion);
    if (!file || !product)
        return std::nullopt;
    return TVersionRecord{std::uint32_t(*file >> 32), std::uint32_t(*file),
                          std::uint32_t(*product >> 32), std::uint32_t(*product)};
}

std::optional<TVersionRecord> GetVersionInfo()
{
    return VersionRecordFrom(QStringLiteral(QUENNOR_FILE_VERSION),
                             QStringLiteral(QUENNOR_PRODUCT_VERSION));
}

QString VersionText(const std::optional<TVersionRecord>& record)
{
    if (!record)
        return QStringLiteral("Interne Version");
    return QStringLiteral("Version %1.%2 Build %3")
        .arg(record->ProductVersionMS >> 16)
        .arg(record->ProductVersionMS & 0xFFFF)
        .arg(record->FileVersionLS & 0xFFFF);
}

TAboutFM::TAboutFM(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutFM"));
    setWindowTitle(QStringLiteral("Über Quennor"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    TitleLB = MakeLabel(QStringLiteral("Quennor"), "TitleLB");
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(24);
    TitleLB->setFont(title);
    VersionLB = MakeLabel(QString(), "VersionLB");
    CopyrightLB = MakeLabel(QStringLiteral("© 2026 Tarnwick"), "CopyrightLB");
    WebLB = MakeLink(WebAddress, "WebLB");
    MailLB = MakeLink(MailAddress, "MailLB");
    new ClickFilter(WebLB, [this] { WebLBClick(); });
    new ClickFilter(MailLB, [this] { MailLBClick(); });

    auto* bevel = new QFrame;
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLB);
    layout->addWidget(VersionLB);
    layout->addSpacing(12);
    layout->addWidget(CopyrightLB);
    layout->addSpacing(8);
    layout->addWidget(WebLB, 0, Qt::AlignHCenter);
    layout->addWidget(MailLB, 0, Qt::AlignHCenter);
    layout->addWidget(bevel);
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(262, 178)));
}

void TAboutFM::setVisible(bool visible)
{
    if (visible && !isVisible())
        FormShow();
    QDialog::setVisible(visible);
}

void TAboutFM::FormShow()
{
    VersionLB->setText(VersionText(GetVersionInfo()));
}

// A link that cannot be opened is not reported: the address stays readable in the dialog.
void TAboutFM::WebLBClick()
{
    QDesktopServices::openUrl(QUrl(WebAddress));
}

void TAboutFM::MailLBClick()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + MailAddress));
}
