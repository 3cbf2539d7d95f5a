#include "dialogs/flashstatus.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/prompts.h"
#include "dialogs/shownow.h"
#include "programmer/flashpass.h"
#include "programmer/flashtexts.h"

namespace {

QProgressBar* MakeProgressBar(const char* name)
{
    auto* bar = new QProgressBar;
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    bar->setFixedSize(150, 16);
    return bar;
}

// Values come from the board, so they are shown as plain text, markup and all.
QLabel* MakeValue(const char* name)
{
    auto* label = new QLabel;
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A row's caption, tied to the control it names, so that a screen reader says what a value is.
QLabel* MakeCaption(const QString& text, QWidget* value)
{
    auto* caption = new QLabel(text);
    caption->setBuddy(value);
    return caption;
}

// A progress row is named by its caption without the colon; its status label says that too.
void NameProgressRow(QProgressBar* bar, QLabel* status, const QString& caption)
{
    const QString name = QString(caption).remove(QLatin1Char(':'));
    bar->setAccessibleName(name);
    status->setAccessibleDescription(name);
}

} // namespace

TFlashFM::TFlashFM(QWidget* owner, Prompts& prompts)
    : QDialog(owner)
    , FPrompts(prompts)
{
    setObjectName(QStringLiteral("FlashFM"));
    setWindowTitle(QStringLiteral("Information"));
    setModal(true);
    CreateControls();
    AfterShowTM = new QTimer(this);
    AfterShowTM->setSingleShot(true);
    AfterShowTM->setInterval(100);
    connect(AfterShowTM, &QTimer::timeout, this, &TFlashFM::AfterShowTMTimer);
}

void TFlashFM::CreateControls()
{
    BoardLB = MakeValue("BoardLB");
    DeviceLB = MakeValue("DeviceLB");
    ProgramPB = MakeProgressBar("ProgramPB");
    ProgramStatusLB = MakeValue("ProgramStatusLB");
    VerifyPB = MakeProgressBar("VerifyPB");
    VerifyStatusLB = MakeValue("VerifyStatusLB");
    // Room for the longest report on the biggest chip, so no error position is cut off.
    const int statusWidth =
        VerifyStatusLB->fontMetrics().horizontalAdvance(FlashTexts::WriteError(131070));
    ProgramStatusLB->setMinimumWidth(statusWidth);
    VerifyStatusLB->setMinimumWidth(statusWidth);
    NameProgressRow(ProgramPB, ProgramStatusLB, FlashTexts::ProgrammingCaption());
    NameProgressRow(VerifyPB, VerifyStatusLB, FlashTexts::VerifyingCaption());

    auto* status = new QGroupBox(QStringLiteral("Flashstatus"));
    status->setObjectName(QStringLiteral("StatusGB"));
    auto* grid = new QGridLayout(status);
    grid->setColumnMinimumWidth(0, 88);
    grid->setColumnMinimumWidth(2, 150);
    grid->addWidget(MakeCaption(QStringLiteral("Flashgerät:"), BoardLB), 0, 0);
    grid->addWidget(BoardLB, 0, 1, 1, 3);
    grid->addWidget(MakeCaption(QStringLiteral("Prozessor:"), DeviceLB), 1, 0);
    grid->addWidget(DeviceLB, 1, 1, 1, 3);
    grid->addWidget(MakeCaption(FlashTexts::ProgrammingCaption(), ProgramPB), 2, 0);
    grid->addWidget(ProgramPB, 2, 1);
    grid->addWidget(ProgramStatusLB, 2, 2, 1, 2);
    grid->addWidget(MakeCaption(FlashTexts::VerifyingCaption(), VerifyPB), 3, 0);
    grid->addWidget(VerifyPB, 3, 1);
    grid->addWidget(VerifyStatusLB, 3, 2, 1, 2);
    grid->setColumnStretch(3, 1);

    OKBT = new QPushButton(QStringLiteral("OK"));
    OKBT->setObjectName(QStringLiteral("OKBT"));
    OKBT->setDefault(true);
    OKBT->setEnabled(false);
    OKBT->setFixedWidth(75);
    connect(OKBT, &QPushButton::clicked, this, &TFlashFM::OKBTClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 8);
    layout->addWidget(status);
    layout->addWidget(OKBT, 0, Qt::AlignHCenter);
    FShowSize = sizeHint().expandedTo(QSize(436, 165));
    setFixedSize(FShowSize);
}

void TFlashFM::SetImage(const QString& fileName, std::int8_t target)
{
    FFileName = fileName;
    FTarget = target;
}

void TFlashFM::setVisible(bool visible)
{
    if (visible && !isVisible())
        FormShow();
    QDialog::setVisible(visible);
}

void TFlashFM::FormShow()
{
    setFixedSize(FShowSize); // only a showing that needs the access hint grows
    OKBT->setEnabled(false);
    BoardLB->setText(FlashTexts::Searching());
    DeviceLB->setText(QStringLiteral("Unbekannt"));
    ProgramPB->setValue(0);
    ProgramStatusLB->clear();
    VerifyPB->setValue(0);
    VerifyStatusLB->clear();
    FRunning = true;
    AfterShowTM->start();
}

// Closing mid-pass would leave the chip half written with nobody told, so the window's close
// control and Escape wait until the procedure has ended.
void TFlashFM::closeEvent(QCloseEvent* event)
{
    if (FRunning)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TFlashFM::reject()
{
    if (!FRunning)
        QDialog::reject();
}

void TFlashFM::AfterShowTMTimer()
{
    AfterShowTM->stop();
    const bool keepOpen = Flash();
    FRunning = false;
    if (!keepOpen) {
        accept();
        return;
    }
    OKBT->setEnabled(true);
    OKBT->setFocus();
}

bool TFlashFM::Confirm(const QString& question)
{
    return FPrompts.Message({question, QStringLiteral("Warnung"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, this,
                             true}) == QMessageBox::Yes;
}

void TFlashFM::ShowResult(QLabel* label, const QString& text)
{
    label->setText(text);
    ShowNow({label});
}

void TFlashFM::ShowFound(const QString& board, const QString& device)
{
    BoardLB->setText(board);
    DeviceLB->setText(device);
    ShowNow({BoardLB, DeviceLB});
}

// The whole pass; true when the dialog stays open for the user to read what went wrong.
bool TFlashFM::Flash()
{
    FlashPass pass;
    pass.OnFound = [this](const QString& board, const QString& device) {
        ShowFound(board, device);
    };
    pass.OnQuestion = [this](const QString& question) {
        return Confirm(question);
    };
    pass.OnPhase = [this](FlashPhase phase) {
        if (phase == FlashPhase::Verifying)
            ShowResult(ProgramStatusLB, FlashTexts::Finished());
    };
    pass.OnProgress = [this](FlashPhase phase, double percent, const QString& remaining) {
        FlashProgress(phase, percent, remaining);
    };
    const FlashResult result = pass.Run(FFileName, PortChoice{-1, {}, FPortOpener}, FTarget);
    const bool keepOpen = ShowOutcome(result);
    // Only now the board is asked to leave programming mode, which takes seconds when it does not
    // answer; the user reads meanwhile why the pass stopped.
    pass.Disconnect();
    return keepOpen;
}

bool TFlashFM::ShowOutcome(const FlashResult& result)
{
    switch (result.Outcome) {
    case FlashResult::Unreadable:
        FPrompts.Message(
            {result.Text, QStringLiteral("Error"), QMessageBox::Ok, QMessageBox::Critical, this});
        return true;
    case FlashResult::NotFound:
        ShowResult(BoardLB, result.DeniedDevice.isEmpty()
                                ? result.Text
                                : result.Text + QLatin1Char('\n') +
                                      FlashTexts::NoAccessHint(result.DeniedDevice));
        setFixedSize(sizeHint().expandedTo(size())); // the hint is wider than the dialog
        return true;
    case FlashResult::WriteFailed:
        ShowResult(ProgramStatusLB, result.Text);
        return true;
    case FlashResult::ReadFailed:
    case FlashResult::Mismatch:
        ShowResult(VerifyStatusLB, result.Text);
        return true;
    case FlashResult::Done:
    case FlashResult::Declined:
    case FlashResult::Cancelled:
        return false;
    }
    return true;
}

void TFlashFM::FlashProgress(FlashPhase phase, double percent, const QString& remaining)
{
    const bool verifying = phase == FlashPhase::Verifying;
    QProgressBar* bar = verifying ? VerifyPB : ProgramPB;
    QLabel* label = verifying ? VerifyStatusLB : ProgramStatusLB;
    bar->setValue(std::min(int(percent), 100));
    label->setText(remaining);
    ShowNow({bar, label});
}
