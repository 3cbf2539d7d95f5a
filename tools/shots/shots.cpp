#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTreeWidget>

#include "app/application.h"
#include "app/main.h"
#include "dialogs/flashstatus.h"
#include "dialogs/fusebits.h"
#include "dialogs/qtprompts.h"
#include "platform/textfile.h"
#include "programmer/devicetable.h"

namespace {

// Puts the caret of a text control at the start of the first line that holds text, and that
// line near the top.
void ShowLine(QPlainTextEdit* edit, const QString& text)
{
    const QTextCursor found = edit->document()->find(text);
    QTextCursor caret(edit->document()->findBlock(found.selectionStart()));
    edit->setTextCursor(caret);
    edit->verticalScrollBar()->setValue(std::max(0, caret.blockNumber() - 3));
}

bool Save(QWidget& window, const QString& path)
{
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    if (!saved)
        qWarning("could not write %s", qPrintable(path));
    return saved;
}

// The main window after a build with the listing option: a warning row selected, the listing
// beside the source at the start of the generated code. The build runs on a copy of the example
// with an unused variable, in a window wide enough for the listing's instructions.
bool SaveBuild(Prompts& prompts, const QString& example, const QString& path)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("blink.c"));
    QString text = ReadTextFile(example).Text;
    text.replace(QStringLiteral("    DDRB = 0x01;"),
                 QStringLiteral("    int unused;\n    DDRB = 0x01;"));
    WriteTextFile(source, text, TextEncoding::Utf8);
    TMainFM window(prompts, {source});
    window.resize(1000, window.height() + 180);
    window.show();
    // Tall and wide enough for every row down to the memory report.
    auto* split = window.findChild<QSplitter*>(QStringLiteral("MessagesSP"));
    split->setSizes({split->height() - 200, 200});
    window.findChild<QAction*>(QStringLiteral("CreateListingMI"))->trigger();
    window.findChild<QAction*>(QStringLiteral("CompileMI"))->trigger();
    window.findChild<QAction*>(QStringLiteral("ShowListingMI"))->trigger();
    window.findChild<QAction*>(QStringLiteral("ShowListingMI"))->trigger();
    ShowLine(window.Listing(), QStringLiteral("**** {"));
    QTreeWidget* messages = window.Messages();
    messages->setColumnWidth(0, 560);
    for (int i = 0; i < messages->topLevelItemCount(); ++i)
        if (!messages->topLevelItem(i)->text(2).isEmpty()) {
            messages->setCurrentItem(messages->topLevelItem(i));
            emit messages->itemDoubleClicked(messages->topLevelItem(i), 0);
            break;
        }
    return Save(window, path);
}

// The board simulator beside this program, as COM1 for as long as the object lives.
class Board
{
public:
    explicit Board(const QStringList& options)
    {
        Process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quennor-boardsim"),
                      QStringList{QStringLiteral("--link"), Dir.filePath(QStringLiteral("port"))} +
                          options);
        const QDeadlineTimer deadline(10000);
        while (!Process.canReadLine() && Process.waitForReadyRead(int(deadline.remainingTime())))
            ;
        Ready = Process.readLine().startsWith("ready");
        if (!Ready)
            qWarning("quennor-boardsim did not start");
        qputenv("QUENNOR_PORTS", QFile::encodeName(Dir.filePath(QStringLiteral("port"))));
    }
    ~Board()
    {
        Process.terminate();
        Process.waitForFinished();
    }
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    bool Ready = false;

private:
    QTemporaryDir Dir;
    QProcess Process;
};

// The flash dialog while it fills a simulated ATtiny26 at a slow line speed, grabbed when the
// programming bar is about half full.
bool SaveFlashing(Prompts& prompts, const QString& path)
{
    Board board({QStringLiteral("--chip"), QStringLiteral("ATtiny26"), QStringLiteral("--pace"),
                 QStringLiteral("4800")});
    QTemporaryDir dir;
    QFile image(dir.filePath(QStringLiteral("image.bin")));
    image.open(QIODevice::WriteOnly);
    for (int i = 0; i < 1024; ++i)
        image.write(QByteArray(1, char(i * 37 % 251)));
    image.close();

    TFlashFM dialog(nullptr, prompts);
    dialog.SetImage(image.fileName(), std::int8_t(*DeviceByName("ATtiny26")));
    bool saved = false;
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("ProgramPB"));
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        if (value >= 45 && !saved)
            saved = dialog.grab().save(path);
    });
    dialog.show();
    while (board.Ready && (dialog.isVisible() || dialog.Running()))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (!saved)
        qWarning("could not write %s", qPrintable(path));
    return saved;
}

// The fuse bits dialog after reading a simulated ATtiny26's fuses.
bool SaveFuseBits(Prompts& prompts, const QString& path)
{
    Board board({QStringLiteral("--chip"), QStringLiteral("ATtiny26"), QStringLiteral("--fuses"),
                 QStringLiteral("0xE1,0xF7")});
    TFuseBitsFM dialog(nullptr, prompts);
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("ReadBT"))->click();
    return Save(dialog, path);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SetUpApplication(application);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    const QString example = QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c");

    QtPrompts prompts;
    TMainFM mainFM(prompts, {example});
    mainFM.show();
    // Before the loop's opening brace, which marks it and its partner.
    const QTextCursor loop = mainFM.Editor()->document()->find(QStringLiteral("for (;;) {"));
    QTextCursor caret(mainFM.Editor()->document());
    caret.setPosition(loop.selectionEnd() - 1);
    mainFM.Editor()->setTextCursor(caret);
    const bool saved = Save(mainFM, out.filePath(QStringLiteral("main-window.png"))) &&
                       SaveBuild(prompts, example, out.filePath(QStringLiteral("build.png"))) &&
                       SaveFlashing(prompts, out.filePath(QStringLiteral("flash-dialog.png"))) &&
                       SaveFuseBits(prompts, out.filePath(QStringLiteral("fuse-bits-dialog.png")));
    return saved ? 0 : 1;
}
