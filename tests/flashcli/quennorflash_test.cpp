#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include "programmer/flashimage.h"
#include "support/boardsim.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

namespace {

constexpr int RunMs = 60000;

struct Outcome
{
    int Code = -1;
    QString Out;
    QString Err;
};

const QString Flash = QStringLiteral(QUENNOR_BINARY_DIR "/quennor-flash");

class QuennorFlash : public ::testing::Test
{
protected:
    void TearDown() override { qunsetenv("QUENNOR_PORTS"); }

    void Start(const QStringList& arguments, const QString& program = Flash)
    {
        Process.start(program, arguments);
        ASSERT_TRUE(Process.waitForStarted(RunMs));
    }

    Outcome Finish()
    {
        EXPECT_TRUE(Process.state() == QProcess::NotRunning || Process.waitForFinished(RunMs));
        EXPECT_EQ(Process.exitStatus(), QProcess::NormalExit);
        return {Process.exitCode(), QString::fromUtf8(Process.readAllStandardOutput()),
                QString::fromUtf8(Process.readAllStandardError())};
    }

    Outcome Run(const QStringList& arguments, const QString& program = Flash)
    {
        Start(arguments, program);
        return Finish();
    }

    QString Write(const QByteArray& image) { return Dir.Write(QStringLiteral("image.bin"), image); }

    // Starts the task and, once the board has received a frame of this letter, presses Ctrl+C
    // that many times; Stopping runs from the first.
    Outcome Interrupt(BoardSim& board, const QStringList& task, char letter, int times = 1)
    {
        Start(QStringList{"--port", board.Link()} + task);
        const QDeadlineTimer deadline(RunMs);
        while (board.Frames(letter).isEmpty() && !deadline.hasExpired())
            QThread::msleep(20);
        EXPECT_FALSE(board.Frames(letter).isEmpty()) << "no frame " << letter;
        Stopping.start();
        for (int i = 0; i < times; ++i) {
            AwaitDelivery(SIGINT);
            ::kill(pid_t(Process.processId()), SIGINT);
        }
        return Finish();
    }

    // Two signals of one kind sent at once can merge into one; this waits until the first has
    // been taken.
    void AwaitDelivery(int signal)
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(Process.processId()));
        const QDeadlineTimer deadline(RunMs);
        while (!deadline.hasExpired() && status.open(QIODevice::ReadOnly)) {
            const QByteArray text = status.readAll();
            status.close();
            const int at = text.indexOf("ShdPnd:");
            if (at < 0 ||
                !(text.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) >> (signal - 1) & 1))
                return;
            QThread::msleep(1);
        }
    }

    // Runs a shell command line in a terminal of its own, as from a shell window, with $FLASH
    // for quennor-flash. Out is what the terminal showed, standard error among it.
    Outcome InTerminal(const QString& command)
    {
        return Run({"-qec", "FLASH=" + Flash + "; " + command, "/dev/null"},
                   QStringLiteral("script"));
    }

    TempDir Dir;
    QProcess Process;
    QElapsedTimer Stopping;
};

// The tool chain's program, run to its end.
bool Tool(const char* name, const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(QUENNOR_BINARY_DIR "/bin/") + QLatin1String(name), arguments);
    return tool.waitForFinished(RunMs) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

const QString TargetQuestion = QStringLiteral(
    "Gefundener Prozessor unterscheidet sich vom eingestellten Zielsystem. Trotzdem flashen?\n");
const QString SizeQuestion = QStringLiteral("Flash-Speicher reicht nicht aus. Trotzdem flashen?\n");
const QString UnlockWarning =
    QStringLiteral("Wirklich alle Fuse Bits freischalten? Falsches Setzen der Fuse Bits kann\n"
                   "dazu führen, dass sich der AVR nicht mehr programmieren lässt!\n");

TEST_F(QuennorFlash, FlashesAndVerifiesAsTheDialogDoes)
{
    {
        SCOPED_TRACE("found by the search");
        BoardSim board({"--chip", "ATtiny26"});
        board.MapAsPort(2);
        const QByteArray image = ImageBytes(1001);
        const QString path = Write(image);
        const Outcome run = Run({"--target", "ATtiny26", path});
        EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Out, QStringLiteral("SW 2.1 auf HW 1.3 an COM2 gefunden.\n"
                                          "ATtiny26, 2K Flash, paged\n"
                                          "Programmieren: Fertig.\nÜberprüfen: Fertig.\n"));
        EXPECT_EQ(run.Err, path + ": ungerade Länge: das letzte Byte wird nicht geschrieben\n");
        EXPECT_EQ(board.FlashBytes(1002), image.left(1000) + "\xFF\xFF") << "the odd byte";
        EXPECT_TRUE(board.PortFree());

        SCOPED_TRACE("--strict refuses it before the search");
        const int frames = board.Frames().size();
        EXPECT_EQ(Run({"--target", "ATtiny26", "--strict", path}).Code, 1);
        EXPECT_EQ(board.Frames().size(), frames);
    }
    SCOPED_TRACE("on a named device, the board's texts printed harmlessly");
    BoardSim board({"--chip", "AT90S8515", "--sw", "SW\x1b[2J%1", "--hw", "HW\t1"});
    const QByteArray image = ImageBytes(3000);
    const Outcome run = Run({"--port", board.Link(), "--target", "at90s8515", Write(image)});
    EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith("SW\\x1B[2J%1 auf HW\\x091 an " + board.Link() + " gefunden.\n"))
        << run.Out.toStdString();
    EXPECT_EQ(board.FlashBytes(image.size()), image);
}

// The build leaves blink.hex beside blink.bin: both program the same words, and the ELF file
// they came from is turned away with their names.
TEST_F(QuennorFlash, FlashesTheBuildsHexAsItsBinAndTurnsTheElfAway)
{
    const QString elf = Dir.Path("blink.elf");
    const QString hex = Dir.Path("blink.hex");
    const QString bin = Dir.Path("blink.bin");
    ASSERT_TRUE(Tool(
        "avr-gcc", {"-Os", "-mmcu=at90s8515", QUENNOR_SOURCE_DIR "/examples/blink.c", "-o", elf}));
    ASSERT_TRUE(Tool("avr-objcopy", {"-O", "ihex", elf, hex}));
    ASSERT_TRUE(Tool("avr-objcopy", {"-O", "binary", elf, bin}));
    BoardSim fromHex({"--chip", "AT90S8515"});
    BoardSim fromBin({"--chip", "AT90S8515"});
    EXPECT_EQ(Run({"--port", fromHex.Link(), "--target", "at90s8515", hex}).Code, 0);
    EXPECT_EQ(Run({"--port", fromBin.Link(), "--target", "at90s8515", bin}).Code, 0);
    EXPECT_EQ(fromHex.Flash(), fromBin.Flash());
    EXPECT_EQ(fromHex.FlashBytes(TempDir::Read(bin).size()), TempDir::Read(bin));

    const int frames = fromHex.Frames().size();
    EXPECT_EQ(Run({"--port", fromHex.Link(), "--target", "at90s8515", elf}).Code, 1);
    EXPECT_EQ(fromHex.Frames().size(), frames) << "no board search";
}

TEST_F(QuennorFlash, FailuresSayWhatTheDialogSaysAndExitWithOne)
{
    const QString fifo = Dir.Path(QStringLiteral("image.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = QStringLiteral("Could not open input file for flashing!\n");
    const QString one = Dir.Write(QStringLiteral("one.bin"), "\x01");
    const QString folder = Dir.Path(QString());
    const QString image = Write(ImageBytes(400));
    const struct
    {
        QStringList Board;
        QString Err, Image = {}; // empty: image
    } cases[] = {
        {{"--unplug", "C"}, "Schreibfehler bei Byte 0.\n"},
        {{"--unplug", "f:2"}, "Lesefehler bei Byte 256.\n"},
        {{"--corrupt", "5:0xFF00"}, "Fehler bei Byte 10\n"},
        {{"--signature", "0x123456"},
         "Nicht gefunden!\nPORT: Programmiergerät antwortet, aber der Chip ist unbekannt "
         "(Signatur 0x123456)\n"},
        {{}, unreadable + one + ": enthält kein ganzes Wort\n", one},
        {{}, unreadable + fifo + ": keine gewöhnliche Datei\n", fifo},
        {{}, unreadable + "/dev/zero: keine gewöhnliche Datei\n", "/dev/zero"},
        {{}, unreadable + folder + ": " + QString::fromLocal8Bit(strerror(EISDIR)) + '\n', folder},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Err.toStdString() + " " + test.Board.join(' ').toStdString());
        BoardSim board(QStringList{"--chip", "ATtiny26"} + test.Board);
        const Outcome run = Run(
            {"--port", board.Link(), "--target", "any", test.Image.isEmpty() ? image : test.Image});
        EXPECT_EQ(run.Code, 1);
        EXPECT_EQ(run.Err, QString(test.Err).replace("PORT", board.Link()));
        if (test.Err.startsWith(unreadable)) {
            EXPECT_TRUE(board.Frames().isEmpty()) << "no board search";
        } else if (!test.Board.contains("--unplug")) {
            EXPECT_TRUE(board.PortFree());
            EXPECT_EQ(board.Frames().last(), "M 00 00 00 00");
        }
    }
}

// The usual cause on a fresh system: the serial ports belong to a group the user is not in.
TEST_F(QuennorFlash, NamesThePortTheSystemRefused)
{
    RefusedDevice refused;
    ASSERT_TRUE(QFile::setPermissions(Dir.Path(QString()), QFile::ReadOwner | QFile::WriteOwner |
                                                               QFile::ExeOwner | QFile::ExeOther));
    const Outcome run = Run(
        Unprivileged::AsNobody(QStringLiteral("nogroup")) +
            QStringList{Flash, "--port", refused.Path(), "--target", "any", Write(ImageBytes(100))},
        QStringLiteral("setpriv"));
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, "Nicht gefunden!\nKein Zugriff auf " + refused.Path() +
                           " – Benutzer zur Gruppe dialout hinzufügen.\n");
}

// Accepting a cut image must not flash another chip, and the other way round; the questions
// and their answers go to standard error, with the failures.
TEST_F(QuennorFlash, EachRiskNeedsItsOwnConfirmation)
{
    BoardSim board({"--chip", "ATtiny26"});
    const QString image = Write(ImageBytes(2050));
    const QString other = "Nicht geflasht: --allow-other-chip beantwortet die Frage mit Ja.\n";
    const QString truncate = "Nicht geflasht: --allow-truncate beantwortet die Frage mit Ja.\n";
    const QString otherYes = TargetQuestion.chopped(1) + " Ja (--allow-other-chip)\n";
    const QString truncateYes = SizeQuestion.chopped(1) + " Ja (--allow-truncate)\n";
    const struct
    {
        QStringList Options;
        int Code;
        QString Err;
    } cases[] = {
        {{"--target", "ATmega103", "--allow-truncate"}, 2, TargetQuestion + other},
        {{"--target", "ATtiny26", "--allow-other-chip"}, 2, SizeQuestion + truncate},
        {{"--target", "ATmega103", "--allow-other-chip"}, 2, otherYes + SizeQuestion + truncate},
        {{"--target", "ATmega103", "--allow-other-chip", "--allow-truncate"},
         0,
         otherYes + truncateYes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Options.join(' ').toStdString());
        const Outcome run =
            Run(QStringList{"--port", board.Link()} + c.Options + QStringList{image});
        EXPECT_EQ(run.Code, c.Code);
        EXPECT_EQ(run.Err, c.Err);
        EXPECT_FALSE(run.Out.contains("Trotzdem"));
        EXPECT_EQ(board.Frames('C').size(), c.Code == 0 ? 1 : 0) << "erased only when confirmed";
        EXPECT_TRUE(board.PortFree());
    }
    EXPECT_EQ(board.FlashBytes(2048), ImageBytes(2050).left(2048));
}

TEST_F(QuennorFlash, ReadsAndWritesTheFusesOfAnATtiny26)
{
    BoardSim board({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"});
    const QStringList port{"--port", board.Link()};
    Outcome run = Run(port + QStringList{"--read-fuses"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out, "low=0xE1 high=0xF7\n");

    SCOPED_TRACE("SUT1, SUT0, BODLEVEL and BODEN change freely");
    run = Run(port + QStringList{"--write-fuses", "c1:0xF4"});
    EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, "Fuse Bits geschrieben.\nlow 0xE1 → 0xC1\nhigh 0xF7 → 0xF4\n");
    EXPECT_EQ(board.Fuses().Low, 0xC1);
    EXPECT_EQ(board.Fuses().High, 0xF4);

    SCOPED_TRACE("CKOPT needs --unlock; bits 7..5 of the high byte are written as 1");
    run = Run(port + QStringList{"--write-fuses", "0x81:0x14"});
    EXPECT_EQ(run.Code, 2);
    EXPECT_EQ(run.Err, UnlockWarning + "Nicht geschrieben: --unlock bestätigt die Warnung.\n");
    EXPECT_EQ(board.Frames('D'), QStringList({"D AC A0 00 C1", "D AC A8 00 F4"}));
    run = Run(port + QStringList{"--unlock", "--write-fuses", "0x81:0x14"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(board.Fuses().Low, 0x81);
    EXPECT_EQ(board.Fuses().High, 0xF4);
    EXPECT_TRUE(board.PortFree());

    SCOPED_TRACE("another chip");
    BoardSim mega({"--chip", "ATmega103"});
    run = Run({"--port", mega.Link(), "--read-fuses"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, "Kein ATTiny26!\n");
}

// The block in progress is finished, then the chip leaves programming mode and the port is
// given back; a second Ctrl+C does not wait for anything.
TEST_F(QuennorFlash, CtrlCEndsThePassCleanlyAndTwiceAtOnce)
{
    {
        BoardSim board({"--chip", "ATmega103", "--pace", "115200"});
        const Outcome run = Interrupt(board, {"--target", "any", Write(ImageBytes(20000))}, 'P');
        EXPECT_EQ(run.Code, 130);
        EXPECT_EQ(run.Err, "Abgebrochen.\n");
        EXPECT_EQ(board.Frames().last(), "M 00 00 00 00");
        EXPECT_LT(board.Frames('P').size(), 78) << "stopped before the end";
        EXPECT_TRUE(board.PortFree());
    }
    BoardSim board({"--chip", "ATmega103", "--erase-ms", "30000"});
    EXPECT_EQ(Interrupt(board, {"--target", "any", Write(ImageBytes(200))}, 'C', 2).Code, 130);
    EXPECT_EQ(board.Frames().last(), "C 00 00 00 00") << "ended inside the erase";
}

// A reader that went away early must not cut the pass short and leave the chip half written;
// the lost lines still make it a failure, as a full disk does.
TEST_F(QuennorFlash, GoesOnWhenItsOutputIsNoLongerRead)
{
    BoardSim board({"--chip", "ATtiny26"});
    const QByteArray image = ImageBytes(2048);
    int ends[2] = {};
    ASSERT_EQ(pipe(ends), 0);
    ::close(ends[0]);
    // As started from a shell, where a write to a pipe without a reader ends the writer.
    Process.setChildProcessModifier([end = ends[1]] {
        dup2(end, STDOUT_FILENO);
        std::signal(SIGPIPE, SIG_DFL);
    });
    Start({"--port", board.Link(), "--target", "any", Write(image)});
    ::close(ends[1]);
    const Outcome run = Finish();
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, "quennor-flash: Standardausgabe nicht geschrieben: " +
                           QString::fromLocal8Bit(strerror(EPIPE)) + '\n');
    EXPECT_EQ(board.FlashBytes(image.size()), image);

    SCOPED_TRACE("a full disk");
    Process.setChildProcessModifier({});
    Process.setStandardOutputFile(QStringLiteral("/dev/full"));
    EXPECT_EQ(Run({"--list-devices"}).Code, 1);
}

TEST_F(QuennorFlash, DrawsOneLinePerPhaseOnATerminal)
{
    BoardSim board({"--chip", "ATtiny26"});
    const Outcome terminal =
        InTerminal("$FLASH --target any --port " + board.Link() + ' ' + Write(ImageBytes(2048)));
    EXPECT_EQ(terminal.Code, 0);
    const QStringList lines = terminal.Out.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5) << terminal.Out.toStdString();
    EXPECT_EQ(lines[0],
              "\rSuche...\x1b[K\rSW 2.1 auf HW 1.3 an " + board.Link() + " gefunden.\x1b[K");
    EXPECT_TRUE(lines[2].startsWith("\rProgrammieren: [      "));
    EXPECT_TRUE(lines[2].contains("\rProgrammieren: [######               "));
    EXPECT_TRUE(lines[3].endsWith("\rÜberprüfen:    [##############################] 100 %  "
                                  "Fertig.\x1b[K"));
}

// After "Nicht gefunden!" the port that tells most about where the board is.
TEST_F(QuennorFlash, SaysWhyNoBoardWasFound)
{
    BoardSim board({"--chip", "ATtiny26"});
    QProcess holder;
    holder.setStandardInputFile(board.Link());
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(holder.waitForStarted());
    const Outcome run = Run({"--port", board.Link(), "--read-fuses"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, QStringLiteral("Nicht gefunden!\n%1: von Prozess %2 geöffnet\n")
                           .arg(board.Link())
                           .arg(holder.processId()));
    holder.kill();
    holder.waitForFinished();
}

// The chip's flash compared or copied, nothing erased; -q keeps the terminal clear and -v
// tells each port tried and each phase's time.
TEST_F(QuennorFlash, VerifiesAndReadsWithoutErasing)
{
    BoardSim board({"--chip", "ATtiny26"});
    const QStringList port{"--port", board.Link()};
    const QByteArray image = ImageBytes(2048);
    Outcome run = Run(port + QStringList{"-q", "--target", "attiny26", Write(image)});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out + run.Err, QString());

    run = Run(port + QStringList{"-v", "--verify", Write(image)});
    EXPECT_EQ(run.Code, 0);
    EXPECT_TRUE(run.Out.endsWith("\nÜberprüfen: Fertig.\n"));
    EXPECT_TRUE(run.Err.contains(": Programmiergerät gefunden\nSuche: ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(" s\nÜberprüfen: ")) << run.Err.toStdString();
    run = Run(port + QStringList{"--verify", Write(ImageBytes(2048, 2))});
    EXPECT_EQ(run.Code, 1);
    EXPECT_TRUE(run.Err.startsWith("Fehler bei Byte "));

    const QString copy = Dir.Path("copy.bin");
    EXPECT_EQ(Run(port + QStringList{"--read", copy, "--length", "100"}).Code, 0);
    EXPECT_EQ(TempDir::Read(copy), image.left(100));
    run = Run(port + QStringList{"--read", Dir.Path("copy.hex")});
    EXPECT_TRUE(run.Out.endsWith("\n2048 Bytes in " + Dir.Path("copy.hex") + " geschrieben.\n"));
    EXPECT_EQ(TempDir::Read(Dir.Path("copy.hex")).left(13), ToIntelHex(image).left(13));
    run = Run(port + QStringList{"--read", Dir.Path("long.bin"), "--length", "4000"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, "Der Flash hat nur 2048 Bytes, nicht 4000 (--length).\n");
    EXPECT_FALSE(QFile::exists(Dir.Path("long.bin")));
    EXPECT_EQ(board.Frames('C').size(), 1) << "erased by the flashing alone";
}

// No chip is in programming mode while the board is looked for: Ctrl+C need not wait there.
TEST_F(QuennorFlash, CtrlCEndsTheSearchAtOnce)
{
    BoardSim board({"--silent"});
    const Outcome run = Interrupt(board, {"--read-fuses"}, 'v');
    EXPECT_LT(Stopping.elapsed(), 300);
    EXPECT_EQ(run.Code, 130);
    EXPECT_EQ(run.Err, "Abgebrochen.\n");
    EXPECT_EQ(board.Frames(), QStringList{"v 01 00 00 00"}) << "nothing to take back";
}

// Once the fuses are being written, Ctrl+C changes nothing: the write goes to its end, and the
// exit code says what was done.
TEST_F(QuennorFlash, CtrlCAfterTheWorkIsDoneLeavesItsResult)
{
    BoardSim board({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"});
    const Outcome run = Interrupt(board, {"--write-fuses", "E1:F4"}, 'D');
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out, "Fuse Bits geschrieben.\nlow 0xE1 → 0xE1\nhigh 0xF7 → 0xF4\n");
    EXPECT_EQ(run.Err, QString());
}

// A progress line wider than the terminal would wrap, and each update would scroll a line. Once
// a line fits the narrowed window, every later one must.
TEST_F(QuennorFlash, ProgressFitsTheTerminalAsItsWidthChanges)
{
    BoardSim board({"--chip", "ATmega103", "--pace", "115200"});
    const Outcome run = InTerminal("stty cols 60; (sleep 0.5; stty cols 30 </dev/tty) & $FLASH "
                                   "--target ATmega103 --port " +
                                   board.Link() + ' ' + Write(ImageBytes(20000)));
    EXPECT_EQ(run.Code, 0);
    bool narrow = false;
    for (const QString& piece : run.Out.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        if (!piece.startsWith("Programmieren:") && !piece.startsWith("Überprüfen:"))
            continue;
        const qsizetype width = QString(piece).remove("\x1b[K").size();
        EXPECT_LT(width, narrow ? 30 : 60) << piece.toStdString();
        narrow = narrow || width < 30;
    }
    EXPECT_TRUE(narrow) << "the narrowed window was never followed";
}

// /dev/tty is the terminal the user typed the command in; frames sent there would land on the
// screen and the terminal's settings would change under the shell.
TEST_F(QuennorFlash, LeavesItsOwnTerminalAlone)
{
    const Outcome run = InTerminal(QStringLiteral("$FLASH --port /dev/tty --read-fuses"));
    EXPECT_EQ(run.Code, 1);
    EXPECT_TRUE(run.Out.endsWith("Nicht gefunden!\r\n/dev/tty: das Terminal, in dem "
                                 "quennor-flash selbst läuft\r\n"))
        << run.Out.toStdString();
    EXPECT_FALSE(run.Out.contains("v\x01")) << "a frame on the screen";
}

TEST_F(QuennorFlash, BadUsageExitsWith64AndTheUsage)
{
    const QString image = Write(ImageBytes(10));
    // Each is refused by ParseFlashOptions, whose test checks the messages.
    const QList<QStringList> cases = {
        {},
        {image},
        {"--bogus", image},
        {"-p", "1", image},
        {image, "--port"},
        {"--target", "any", "--port", "0", image},
        {"--target", "any", "--port", "9", image},
        {"--target", "any", "--port", "-1", image},
        {"--target", "any", "--port", "", image},
        {"--target", "any", "--port", "1", "--port", "2", image},
        {"--target", "ATtiny99", image},
        {"--target", "unknown", image},
        {"--write-fuses", "E1"},
        {"--write-fuses", "GG:F7"},
        {"--write-fuses", "0x1E1:F7"},
        {"--read-fuses", image},
        {"--read-fuses", "--write-fuses", "E1:F7"},
        {"--target", "ATtiny26", "--read-fuses"},
        {"--list-devices", "--port", "1"},
        {"--target", "any", image, image},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const Outcome run = Run(arguments);
        EXPECT_EQ(run.Code, 64);
        EXPECT_TRUE(run.Err.startsWith("quennor-flash: ")) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains("\nAufruf: quennor-flash [--port N|DEVICE]"));
        EXPECT_EQ(run.Out, QString());
    }
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_TRUE(help.Out.startsWith("Aufruf: quennor-flash"));
    const Outcome devices = Run({"--list-devices"});
    EXPECT_EQ(devices.Code, 0);
    EXPECT_TRUE(
        devices.Out.contains("\nATtiny26, 2K Flash, paged\nATmega103, 128K Flash, paged\n"));
    EXPECT_EQ(Run({"--version"}).Out, "quennor-flash " QUENNOR_VERSION "\n");
}

} // namespace
