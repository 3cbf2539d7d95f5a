#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

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

class QuennorFlash : public ::testing::Test
{
protected:
    void TearDown() override { qunsetenv("QUENNOR_PORTS"); }

    void Start(const QStringList& arguments)
    {
        Process.setProgram(QStringLiteral(QUENNOR_BINARY_DIR "/quennor-flash"));
        Process.setArguments(arguments);
        Process.start();
        ASSERT_TRUE(Process.waitForStarted(RunMs));
    }

    Outcome Finish()
    {
        EXPECT_TRUE(Process.waitForFinished(RunMs));
        EXPECT_EQ(Process.exitStatus(), QProcess::NormalExit);
        return {Process.exitCode(), QString::fromUtf8(Process.readAllStandardOutput()),
                QString::fromUtf8(Process.readAllStandardError())};
    }

    Outcome Run(const QStringList& arguments)
    {
        Start(arguments);
        return Finish();
    }

    QString Write(const QByteArray& image) { return Dir.Write(QStringLiteral("image.bin"), image); }

    // Waits until the board has received a frame of this letter.
    static void AwaitFrame(BoardSim& board, char letter)
    {
        const QDeadlineTimer deadline(RunMs);
        while (board.Frames(letter).isEmpty() && !deadline.hasExpired())
            QThread::msleep(20);
        ASSERT_FALSE(board.Frames(letter).isEmpty()) << "no frame " << letter;
    }

    static void ExpectFuses(BoardSim& board, int low, int high)
    {
        const BoardSim::FuseBytes fuses = board.Fuses();
        EXPECT_EQ(fuses.Low, low);
        EXPECT_EQ(fuses.High, high);
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

    TempDir Dir;
    QProcess Process;
};

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
        const Outcome run = Run({Write(image)});
        EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Out, QStringLiteral("SW 2.1 auf HW 1.3 an COM2 gefunden.\n"
                                          "ATtiny26, 2K Flash, paged\n"
                                          "Programmieren: Fertig.\nÜberprüfen: Fertig.\n"));
        EXPECT_EQ(run.Err, QString());
        EXPECT_EQ(board.FlashBytes(1000), image.left(1000)) << "the odd byte makes no word";
        EXPECT_TRUE(board.PortFree());
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

TEST_F(QuennorFlash, FailuresSayWhatTheDialogSaysAndExitWithOne)
{
    const QString fifo = Dir.Path(QStringLiteral("image.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = QStringLiteral("Could not open input file for flashing!\n");
    struct Case
    {
        QStringList Board;
        QString Image;
        QString Err;
    };
    const Case cases[] = {
        {{"--bad-ack", "P:2"}, Write(ImageBytes(200)), "Schreibfehler bei Byte 32.\n"},
        {{"--unplug", "C"}, Write(ImageBytes(200)), "Schreibfehler bei Byte 0.\n"},
        {{"--short-read", "1"}, Write(ImageBytes(600)), "Lesefehler bei Byte 128.\n"},
        {{"--unplug", "f:2"}, Write(ImageBytes(600)), "Lesefehler bei Byte 256.\n"},
        {{"--corrupt", "5:0xFF00"}, Write(ImageBytes(400)), "Fehler bei Byte 10\n"},
        {{"--signature", "0x123456"}, Write(ImageBytes(400)), "Nicht gefunden!\n"},
        {{}, Dir.Write(QStringLiteral("one.bin"), "\x01"), unreadable},
        {{}, fifo, unreadable},
        {{}, QStringLiteral("/dev/zero"), unreadable},
        {{}, Dir.Path(QString()), unreadable},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Err.toStdString() + " " + test.Board.join(' ').toStdString());
        BoardSim board(QStringList{"--chip", "ATtiny26"} + test.Board);
        const Outcome run = Run({"--port", board.Link(), test.Image});
        EXPECT_EQ(run.Code, 1);
        EXPECT_EQ(run.Err, test.Err);
        if (test.Err == unreadable) {
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
    Process.setProgram(QStringLiteral("setpriv"));
    Process.setArguments(Unprivileged::AsNobody(QStringLiteral("nogroup")) +
                         QStringList{QStringLiteral(QUENNOR_BINARY_DIR "/quennor-flash"), "--port",
                                     refused.Path(), Write(ImageBytes(100))});
    Process.start();
    const Outcome run = Finish();
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, "Nicht gefunden!\nKein Zugriff auf " + refused.Path() +
                           " – Benutzer zur Gruppe dialout hinzufügen.\n");
}

TEST_F(QuennorFlash, QuestionsAreAnsweredOnlyByYes)
{
    BoardSim board({"--chip", "ATtiny26"});
    const QString image = Write(ImageBytes(2050));
    const QString refusal = QStringLiteral("Nicht geflasht: --yes beantwortet die Frage mit Ja.\n");
    {
        SCOPED_TRACE("another chip than the target");
        const Outcome run = Run({"--port", board.Link(), "--target", "ATmega103", image});
        EXPECT_EQ(run.Code, 2);
        EXPECT_EQ(run.Err, TargetQuestion + refusal);
    }
    {
        SCOPED_TRACE("an image larger than the flash");
        const Outcome run = Run({"--port", board.Link(), image});
        EXPECT_EQ(run.Code, 2);
        EXPECT_EQ(run.Err, SizeQuestion + refusal);
        EXPECT_TRUE(board.Frames('C').isEmpty()) << "nothing erased";
        EXPECT_TRUE(board.PortFree());
    }
    SCOPED_TRACE("both with --yes: the words that fit");
    const Outcome run = Run({"--port", board.Link(), "--target", "ATmega103", "--yes", image});
    EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(SizeQuestion.chopped(1) + " Ja (--yes)\n"));
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
    EXPECT_EQ(run.Out, "Fuse Bits geschrieben.\n");
    ExpectFuses(board, 0xC1, 0xF4);

    SCOPED_TRACE("CKOPT needs --yes; bits 7..5 of the high byte are written as 1");
    run = Run(port + QStringList{"--write-fuses", "0x81:0x14"});
    EXPECT_EQ(run.Code, 2);
    EXPECT_EQ(run.Err, UnlockWarning + "Nicht geschrieben: --yes bestätigt die Warnung.\n");
    EXPECT_EQ(board.Frames('D'), QStringList({"D AC A0 00 C1", "D AC A8 00 F4"}));
    run = Run(port + QStringList{"--yes", "--write-fuses", "0x81:0x14"});
    EXPECT_EQ(run.Code, 0);
    ExpectFuses(board, 0x81, 0xF4);
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
        Start({"--port", board.Link(), Write(ImageBytes(20000))});
        AwaitFrame(board, 'P');
        ::kill(pid_t(Process.processId()), SIGINT);
        const Outcome run = Finish();
        EXPECT_EQ(run.Code, 130);
        EXPECT_EQ(run.Err, "Abgebrochen.\n");
        const QStringList frames = board.Frames();
        EXPECT_EQ(frames.last(), "M 00 00 00 00");
        EXPECT_LT(board.Frames('P').size(), 78) << "stopped before the end";
        EXPECT_TRUE(board.PortFree());
    }
    BoardSim board({"--chip", "ATmega103", "--erase-ms", "30000"});
    Start({"--port", board.Link(), Write(ImageBytes(200))});
    AwaitFrame(board, 'C');
    ::kill(pid_t(Process.processId()), SIGINT);
    AwaitDelivery(SIGINT);
    ::kill(pid_t(Process.processId()), SIGINT);
    EXPECT_EQ(Finish().Code, 130);
    EXPECT_EQ(board.Frames().last(), "C 00 00 00 00") << "ended inside the erase";
}

// A reader that went away early must not cut the pass short and leave the chip half written.
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
    Start({"--port", board.Link(), Write(image)});
    ::close(ends[1]);
    EXPECT_EQ(Finish().Code, 0);
    EXPECT_EQ(board.FlashBytes(image.size()), image);
}

TEST_F(QuennorFlash, DrawsOneLinePerPhaseOnATerminal)
{
    BoardSim board({"--chip", "ATtiny26"});
    const QString command = QStringLiteral(QUENNOR_BINARY_DIR "/quennor-flash --port ") +
                            board.Link() + QLatin1Char(' ') + Write(ImageBytes(2048));
    Process.setProgram(QStringLiteral("script"));
    Process.setArguments({"-qec", command, "/dev/null"});
    Process.start();
    const Outcome terminal = Finish();
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

TEST_F(QuennorFlash, BadUsageExitsWith64AndTheUsage)
{
    const QString image = Write(ImageBytes(10));
    const QList<QStringList> cases = {
        {},
        {"--bogus", image},
        {"-p", "1", image},
        {image, "--port"},
        {"--port", "0", image},
        {"--port", "9", image},
        {"--port", "-1", image},
        {"--port", "", image},
        {"--port", "1", "--port", "2", image},
        {"--target", "ATtiny99", image},
        {"--target", "unknown", image},
        {"--write-fuses", "E1"},
        {"--write-fuses", "GG:F7"},
        {"--write-fuses", "0x1E1:F7"},
        {"--read-fuses", image},
        {"--read-fuses", "--write-fuses", "E1:F7"},
        {"--target", "ATtiny26", "--read-fuses"},
        {"--yes", "--read-fuses"},
        {"--list-devices", "--port", "1"},
        {"--yes=1", image},
        {image, image},
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
