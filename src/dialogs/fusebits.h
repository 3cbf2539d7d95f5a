#pragma once

#include <array>
#include <cstdint>

#include <QDialog>

#include "platform/serialchannel.h"

class Prompts;
class QCheckBox;
class QPushButton;
class QStatusBar;
class FuseAccess;
struct FuseResult;

// The fuse bits dialog: reads, edits and writes the two fuse bytes of an ATtiny26. A ticked
// box is a fuse bit of value 1.
class TFuseBitsFM final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFuseBitsFM)

public:
    TFuseBitsFM(QWidget* owner, Prompts& prompts);

    // The bytes the ticks stand for; bits 7..5 of the high byte have no box and are always 1.
    std::uint8_t LowFuse() const;
    std::uint8_t HighFuse() const;
    // Where the buttons look for the board: the system's serial ports unless a test gives its
    // line.
    void SetPortOpener(PortOpener opener) { FPortOpener = std::move(opener); }

    // Only a showing by the program runs the show handler; a restore from the window's icon shows
    // it exactly as it was.
    void setVisible(bool visible) override;

private:
    void CreateControls();
    void FormShow();
    void UnlockBTClick();
    void ReadBTClick();
    void WriteBTClick();
    void CloseBTClick() { accept(); }
    bool ConnectTiny26(FuseAccess& fuses);
    void ShowFailure(const FuseResult& result);
    void ShowTicks(std::uint8_t low, std::uint8_t high);
    void SetStatus(const QString& text);

    Prompts& FPrompts;
    PortOpener FPortOpener;
    QSize FShowSize;
    std::array<QCheckBox*, 8> LowCB{};  // index = bit: L0CB .. L7CB
    std::array<QCheckBox*, 5> HighCB{}; // index = bit: H0CB .. H4CB
    QPushButton* UnlockBT = nullptr;
    QPushButton* ReadBT = nullptr;
    QPushButton* WriteBT = nullptr;
    QPushButton* CloseBT = nullptr;
    QStatusBar* FuseSB = nullptr;
};
