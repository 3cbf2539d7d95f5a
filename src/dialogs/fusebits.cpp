#include "dialogs/fusebits.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "dialogs/prompts.h"
#include "dialogs/shownow.h"
#include "programmer/flashtexts.h"
#include "programmer/fuses.h"

namespace {

constexpr std::array<const char*, 8> LowCaptions{"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3",
                                                 "SUT0",   "SUT1",   "CKOPT",  "PLLCK"};
constexpr std::array<const char*, 5> HighCaptions{"BODEN", "BODLEVEL", "EESAVE", "SPIEN",
                                                  "RSTDISBL"};

QCheckBox* MakeBox(const char* caption, const QString& name)
{
    auto* box = new QCheckBox(QLatin1String(caption));
    box->setObjectName(name);
    box->setEnabled(false);
    return box;
}

QPushButton* MakeButton(const QString& caption, const char* name)
{
    auto* button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    button->setFixedWidth(75);
    return button;
}

} // namespace

TFuseBitsFM::TFuseBitsFM(QWidget* owner, Prompts& prompts)
    : QDialog(owner)
    , FPrompts(prompts)
{
    setObjectName(QStringLiteral("FuseBitsFM"));
    setWindowTitle(QStringLiteral("Fuse Bits"));
    setModal(true);
    CreateControls();
}

void TFuseBitsFM::CreateControls()
{
    auto* group = new QGroupBox(QStringLiteral("Fuse Bits"));
    group->setObjectName(QStringLiteral("FuseBitsGB"));
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Low Fuse Bits")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("High Fuse Bits")), 0, 1);
    for (int bit = 7; bit >= 0; --bit) {
        LowCB[bit] = MakeBox(LowCaptions[bit], QStringLiteral("L%1CB").arg(bit));
        grid->addWidget(LowCB[bit], 8 - bit, 0);
    }
    for (int bit = 4; bit >= 0; --bit) {
        HighCB[bit] = MakeBox(HighCaptions[bit], QStringLiteral("H%1CB").arg(bit));
        grid->addWidget(HighCB[bit], 5 - bit, 1);
    }
    UnlockBT = MakeButton(QStringLiteral("Freischalten"), "UnlockBT");
    grid->addWidget(UnlockBT, 7, 1, 2, 1, Qt::AlignBottom);

    ReadBT = MakeButton(QStringLiteral("&Lesen"), "ReadBT");
    WriteBT = MakeButton(QStringLiteral("&Schreiben"), "WriteBT");
    WriteBT->setEnabled(false);
    CloseBT = MakeButton(QStringLiteral("Schliessen"), "CloseBT");
    CloseBT->setDefault(true);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ReadBT);
    buttons->addWidget(WriteBT);
    buttons->addStretch();
    buttons->addWidget(CloseBT);

    FuseSB = new QStatusBar;
    FuseSB->setObjectName(QStringLiteral("FuseSB"));
    FuseSB->setSizeGripEnabled(false);
    auto* top = new QHBoxLayout;
    top->addWidget(group);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 6, 4, 0);
    layout->addLayout(top);
    layout->addWidget(FuseSB);
    FShowSize = sizeHint().expandedTo(QSize(298, 241));
    setFixedSize(FShowSize);

    connect(UnlockBT, &QPushButton::clicked, this, &TFuseBitsFM::UnlockBTClick);
    connect(ReadBT, &QPushButton::clicked, this, &TFuseBitsFM::ReadBTClick);
    connect(WriteBT, &QPushButton::clicked, this, &TFuseBitsFM::WriteBTClick);
    connect(CloseBT, &QPushButton::clicked, this, &TFuseBitsFM::CloseBTClick);
}

void TFuseBitsFM::setVisible(bool visible)
{
    const bool showing = visible && !isVisible();
    if (showing)
        FormShow();
    QDialog::setVisible(visible);
    if (showing && screen())
        move(pos() + screen()->availableGeometry().center() - frameGeometry().center());
}

void TFuseBitsFM::FormShow()
{
    setFixedSize(FShowSize); // only a showing that needs the access hint grows
    for (int bit = 0; bit < 8; ++bit)
        if (OpenFuseBits.Low >> bit & 1)
            LowCB[bit]->setEnabled(true);
    for (int bit = 0; bit < 5; ++bit)
        if (OpenFuseBits.High >> bit & 1)
            HighCB[bit]->setEnabled(true);
    WriteBT->setEnabled(false);
}

void TFuseBitsFM::UnlockBTClick()
{
    const auto answer =
        FPrompts.Message({FlashTexts::UnlockWarning(), QStringLiteral("Warnung"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, this});
    if (answer != QMessageBox::Yes)
        return;
    for (QCheckBox* box : HighCB)
        box->setEnabled(true);
    for (QCheckBox* box : LowCB)
        box->setEnabled(true);
}

// The handlers process no user input: a click must not start a second exchange inside the one
// that runs.
void TFuseBitsFM::SetStatus(const QString& text)
{
    FuseSB->showMessage(text);
    ShowNow({FuseSB}, QEventLoop::ExcludeUserInputEvents);
}

void TFuseBitsFM::ShowFailure(const FuseResult& result)
{
    if (result.DeniedDevice.isEmpty())
        return SetStatus(result.Text);
    const QString text =
        result.Text + QLatin1Char(' ') + FlashTexts::NoAccessHint(result.DeniedDevice);
    // The hint is wider than the dialog; the status bar's own margins come on top.
    const int needed = FuseSB->fontMetrics().horizontalAdvance(text) + 24;
    setFixedWidth(std::max(width(), needed));
    SetStatus(text);
}

bool TFuseBitsFM::ConnectTiny26(FuseAccess& fuses)
{
    SetStatus(FlashTexts::Searching());
    const FuseResult connected = fuses.Connect();
    if (!connected.Ok)
        ShowFailure(connected);
    return connected.Ok;
}

void TFuseBitsFM::ReadBTClick()
{
    FuseAccess fuses{PortChoice{-1, {}, FPortOpener}};
    FuseBytes bytes;
    if (!ConnectTiny26(fuses))
        return;
    const FuseResult read = fuses.Read(bytes);
    if (!read.Ok)
        return SetStatus(read.Text);
    ShowTicks(bytes.Low, bytes.High);
    SetStatus(read.Text);
    WriteBT->setEnabled(true);
}

void TFuseBitsFM::WriteBTClick()
{
    FuseAccess fuses{PortChoice{-1, {}, FPortOpener}};
    if (ConnectTiny26(fuses))
        SetStatus(fuses.Write({LowFuse(), HighFuse()}).Text);
}

void TFuseBitsFM::ShowTicks(std::uint8_t low, std::uint8_t high)
{
    for (int bit = 0; bit < 8; ++bit)
        LowCB[bit]->setChecked(low >> bit & 1);
    for (int bit = 0; bit < 5; ++bit)
        HighCB[bit]->setChecked(high >> bit & 1);
}

std::uint8_t TFuseBitsFM::LowFuse() const
{
    std::uint8_t value = 0;
    for (int bit = 0; bit < 8; ++bit)
        value |= std::uint8_t(LowCB[bit]->isChecked()) << bit;
    return value;
}

std::uint8_t TFuseBitsFM::HighFuse() const
{
    std::uint8_t value = 0xE0;
    for (int bit = 0; bit < 5; ++bit)
        value |= std::uint8_t(HighCB[bit]->isChecked()) << bit;
    return value;
}
