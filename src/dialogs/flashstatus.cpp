#include "dialogs/flashstatus.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/portaccess.h"
#include "dialogs/prompts.h"
#include "platform/files.h"
#include "programmer/avrflash2.h"

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

void ProcessPendingMessages()
{
    QCoreApplication::processEvents();
}

} // namespace

TFlashFM::TFlashFM(QWidget* owner, Prompts& prompts)
    : QDialog(owner)
    , FPrompts(prompts)
    , FImage(MaxImageWords)
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
    const int statusWidth = VerifyStatusLB->fontMetrics().horizontalAdvance(
        QStringLiteral("Schreibfehler bei Byte 131070."));
    ProgramStatusLB->setMinimumWidth(statusWidth);
    VerifyStatusLB->setMinimumWidth(statusWidth);

    auto* status = new QGroupBox(QStringLiteral("Flashstatus"));
    status->setObjectName(QStringLiteral("StatusGB"));
    auto* grid = new QGridLayout(status);
    grid->setColumnMinimumWidth(0, 88);
    grid->setColumnMinimumWidth(2, 150);
    grid->addWidget(new QLabel(QStringLiteral("Flashgerät:")), 0, 0);
    grid->addWidget(BoardLB, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Prozessor:")), 1, 0);
    grid->addWidget(DeviceLB, 1, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Programmieren:")), 2, 0);
    grid->addWidget(ProgramPB, 2, 1);
    grid->addWidget(ProgramStatusLB, 2, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Überprüfen:")), 3, 0);
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
    setFixedSize(sizeHint().expandedTo(QSize(436, 165)));
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
    OKBT->setEnabled(false);
    BoardLB->setText(QStringLiteral("Suche..."));
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

bool TFlashFM::LoadImage()
{
    const std::optional<QByteArray> read = ReadRegularFile(FFileName, qint64(MaxImageWords) * 2);
    if (!read)
        return false;
    const QByteArray& bytes = *read;
    FImageWords = int(bytes.size() / 2);
    for (int i = 0; i < FImageWords; ++i)
        FImage[i] = std::uint16_t(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
    return FImageWords > 0;
}

bool TFlashFM::Confirm(const QString& question)
{
    return FPrompts.Message({question, QStringLiteral("Warnung"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, this}) ==
           QMessageBox::Yes;
}

void TFlashFM::ShowResult(QLabel* label, const QString& text)
{
    label->setText(text);
    ProcessPendingMessages();
}

// The whole pass; true when the dialog stays open for the user to read what went wrong.
bool TFlashFM::Flash()
{
    if (!LoadImage()) {
        FPrompts.Message({QStringLiteral("Could not open input file for flashing!"),
                          QStringLiteral("Error"), QMessageBox::Ok, QMessageBox::Critical, this});
        return true;
    }
    TAVRFlash link;
    link.OnProgress = [this](double percent, const QString& remaining) {
        FlashProgress(percent, remaining);
    };
    if (!link.Connect(-1)) {
        QString notFound = QStringLiteral("Nicht gefunden!");
        if (!link.DeniedDevice.isEmpty())
            notFound += QLatin1Char('\n') + NoAccessHint(link.DeniedDevice);
        ShowResult(BoardLB, notFound);
        setFixedSize(sizeHint().expandedTo(size())); // the hint is wider than the dialog
        return true;
    }
    // Joined, not substituted: a version text may itself hold "%1".
    BoardLB->setText(link.SWVersion + QStringLiteral(" auf ") + link.HWVersion +
                     QStringLiteral(" an COM") + QString::number(link.Port) +
                     QStringLiteral(" gefunden."));
    ShowResult(DeviceLB,
               link.DeviceName() + QStringLiteral(", ") +
                   QString::number(link.FlashWords() * 2 / 1024) + QStringLiteral("K Flash, ") +
                   (link.IsPaged() ? QStringLiteral("paged") : QStringLiteral("non-paged")));
    if (FTarget != link.Device &&
        !Confirm(QStringLiteral("Gefundener Prozessor unterscheidet sich vom eingestellten "
                                "Zielsystem. Trotzdem flashen?")))
        return false;
    if (link.FlashWords() < FImageWords &&
        !Confirm(QStringLiteral("Flash-Speicher reicht nicht aus. Trotzdem flashen?")))
        return false;

    FVerifying = false;
    const int count = std::min(FImageWords, link.FlashWords());
    const int written = link.ProgramFlash(FImage.data(), count);
    if (written != count) {
        ShowResult(ProgramStatusLB, QStringLiteral("Schreibfehler bei Byte %1.").arg(written * 2));
        return true;
    }
    ShowResult(ProgramStatusLB, QStringLiteral("Fertig."));

    FVerifying = true;
    std::vector<std::uint16_t> chip(MaxImageWords);
    const int read = link.ReadFlash(chip.data(), count);
    if (read != count) {
        ShowResult(VerifyStatusLB, QStringLiteral("Lesefehler bei Byte %1.").arg(read * 2));
        return true;
    }
    const auto difference = std::mismatch(chip.begin(), chip.begin() + count, FImage.begin());
    if (difference.first != chip.begin() + count) {
        ShowResult(VerifyStatusLB,
                   QStringLiteral("Fehler bei Byte %1").arg((difference.first - chip.begin()) * 2));
        return true;
    }
    return false;
}

void TFlashFM::FlashProgress(double percent, const QString& remaining)
{
    QProgressBar* bar = FVerifying ? VerifyPB : ProgramPB;
    QLabel* label = FVerifying ? VerifyStatusLB : ProgramStatusLB;
    bar->setValue(std::min(int(percent), 100));
    label->setText(remaining);
    ProcessPendingMessages();
}
