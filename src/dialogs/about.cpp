#include "dialogs/about.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "dialogs/linklabel.h"

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

LinkLabel* MakeLink(const QString& text, const char* name)
{
    auto* link = new LinkLabel(text);
    link->setObjectName(QLatin1String(name));
    link->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return link;
}

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
    connect(WebLB, &LinkLabel::Clicked, this, &TAboutFM::WebLBClick);
    connect(MailLB, &LinkLabel::Clicked, this, &TAboutFM::MailLBClick);

    auto* bevel = new QFrame;
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->setCenterButtons(true);
    OKBT = buttons->button(QDialogButtonBox::Ok);
    OKBT->setObjectName(QStringLiteral("OKBT"));
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
    setTabOrder(OKBT, WebLB);
    setTabOrder(WebLB, MailLB);
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
    OKBT->setFocus(); // Enter presses OK until Tab has gone to a link
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
