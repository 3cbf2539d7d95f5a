#include "dialogs/fusebits.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>

#include "dialogs/portaccess.h"
#include "dialogs/prompts.h"
#include "programmer/avrflash2.h"

namespace {

constexpr int ATtiny26 = 11;

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
    setFixedSize(sizeHint().expandedTo(QSize(298, 241)));

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
    for (QCheckBox* box : {HighCB[1], HighCB[0], LowCB[5], LowCB[4]})
        box->setEnabled(true);
    WriteBT->setEnabled(false);
}

void TFuseBitsFM::UnlockBTClick()
{
    const auto answer = FPrompts.Message(
        {QStringLiteral("Wirklich alle Fuse Bits freischalten? Falsches Setzen der Fuse Bits "
                        "kann\ndazu führen, dass sich der AVR nicht mehr programmieren lässt!"),
         QStringLiteral("Warnung"), QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning,
         this});
    if (answer != QMessageBox::Yes)
        return;
    for (QCheckBox* box : HighCB)
        box->setEnabled(true);
    for (QCheckBox* box : LowCB)
        box->setEnabled(true);
}

void TFuseBitsFM::SetStatus(const QString& text)
{
    FuseSB->showMessage(text);
    FuseSB->repaint();
}

// Only the ATtiny26's fuse instructions are known, whatever target the main window has.
bool TFuseBitsFM::ConnectTiny26(TAVRFlash& link)
{
    SetStatus(QStringLiteral("Suche..."));
    if (!link.Connect(-1)) {
        QString notFound = QStringLiteral("Nicht gefunden!");
        if (!link.DeniedDevice.isEmpty()) {
            notFound += QLatin1Char(' ') + NoAccessHint(link.DeniedDevice);
            // The hint is wider than the dialog; the status bar's own margins come on top.
            const int needed = FuseSB->fontMetrics().horizontalAdvance(notFound) + 24;
            setFixedWidth(std::max(width(), needed));
        }
        SetStatus(notFound);
        return false;
    }
    if (link.Device != ATtiny26) {
        SetStatus(QStringLiteral("Kein ATTiny26!"));
        return false;
    }
    return true;
}

void TFuseBitsFM::ReadBTClick()
{
    TAVRFlash link;
    if (!ConnectTiny26(link))
        return;
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    if (!link.ReadInstruction(0x50, 0x00, 0x00, low))
        return SetStatus(QStringLiteral("Konnte Low Fuse Bits nicht lesen"));
    if (!link.ReadInstruction(0x58, 0x08, 0x00, high))
        return SetStatus(QStringLiteral("Konnte High Fuse Bits nicht lesen"));
    ShowTicks(low, high);
    SetStatus(QStringLiteral("Fuse Bits gelesen."));
    WriteBT->setEnabled(true);
}

void TFuseBitsFM::WriteBTClick()
{
    TAVRFlash link;
    if (!ConnectTiny26(link))
        return;
    if (!link.WriteInstruction(0xAC, 0xA0, 0x00, LowFuse()))
        return SetStatus(QStringLiteral("Konnte Low Fuse Bits nicht schreiben"));
    // The chip needs time to burn a fuse byte before it takes the next instruction.
    QThread::msleep(100);
    SetStatus(link.WriteInstruction(0xAC, 0xA8, 0x00, HighFuse())
                  ? QStringLiteral("Fuse Bits geschrieben.")
                  : QStringLiteral("Konnte High Fuse Bits nicht schreiben"));
    QThread::msleep(100);
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
