#pragma once

#include <cstdint>

#include <QDialog>

#include "platform/serialchannel.h"

class Prompts;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
enum class FlashPhase;
struct FlashResult;

// The flash dialog: once shown, loads a binary image, finds the board, programs the chip and
// verifies it, reporting each stage in its labels. It closes itself on success and waits for
// OK on any failure.
class TFlashFM final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFlashFM)

public:
    TFlashFM(QWidget* owner, Prompts& prompts);

    // The image to flash and the target the main window has selected, for the next showing.
    void SetImage(const QString& fileName, std::int8_t target);
    bool Running() const { return FRunning; }
    // Where the pass looks for the board: the system's serial ports unless a test gives its line.
    void SetPortOpener(PortOpener opener) { FPortOpener = std::move(opener); }

    // Each showing by the program resets the display and starts one pass. A window restored from
    // its icon is shown again by the window system, not by the program, and starts nothing.
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    void FormShow();
    void AfterShowTMTimer();
    bool Flash();
    bool ShowOutcome(const FlashResult& result);
    bool Confirm(const QString& question);
    void ShowFound(const QString& board, const QString& device);
    void FlashProgress(FlashPhase phase, double percent, const QString& remaining);
    void ShowResult(QLabel* label, const QString& text);
    void OKBTClick() { accept(); }

    Prompts& FPrompts;
    QString FFileName;
    std::int8_t FTarget = 0;
    bool FRunning = false;
    QSize FShowSize;
    PortOpener FPortOpener;

    QLabel* BoardLB = nullptr;
    QLabel* DeviceLB = nullptr;
    QProgressBar* ProgramPB = nullptr;
    QLabel* ProgramStatusLB = nullptr;
    QProgressBar* VerifyPB = nullptr;
    QLabel* VerifyStatusLB = nullptr;
    QPushButton* OKBT = nullptr;
    QTimer* AfterShowTM = nullptr;
};
