#include "dialogs/flashstatus.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "programmer/devicetable.h"
#include "support/boardsim.h"
#include "support/scriptedprompts.h"
#include "support/showntexts.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

namespace {

const int AT90S8515 = *DeviceByName("AT90S8515");
const int ATtiny26 = *DeviceByName("ATtiny26");
constexpr int PassMs = 120000;

class FlashDialog : public ::testing::Test
{
protected:
    void TearDown() override { qunsetenv("QUENNOR_PORTS"); }

    template <typename Widget> Widget* Child(const char* name)
    {
        auto* widget = Dialog.findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString Text(const char* label) { return Child<QLabel>(label)->text(); }
    int Bar(const char* bar) { return Child<QProgressBar>(bar)->value(); }
    QPushButton* OK() { return Child<QPushButton>("OKBT"); }

    // Shows the dialog with this image and target and waits until the pass has ended: the
    // dialog has closed itself or waits for OK.
    void Pass(const QByteArray& image, int target)
    {
        ASSERT_FALSE(Dialog.isVisible()) << "only a new showing starts a pass";
        Dialog.SetImage(Dir.Write(QStringLiteral("image.bin"), image), std::int8_t(target));
        Dialog.show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !Dialog.Running(); }, PassMs));
    }

    void ExpectClosedAfterSuccess()
    {
        EXPECT_FALSE(Dialog.isVisible());
        EXPECT_EQ(Dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Text("ProgramStatusLB"), QStringLiteral("Fertig."));
    }

    void ExpectWaitingForOK()
    {
        EXPECT_TRUE(Dialog.isVisible());
        EXPECT_TRUE(OK()->isEnabled());
        EXPECT_EQ(Dialog.focusWidget(), OK());
        for (const QLabel* label : Dialog.findChildren<QLabel*>())
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->text().toStdString() << " is cut off";
    }

    // What the user sees in the dialog, to compare before and after a restore.
    QStringList Display()
    {
        QStringList display;
        for (const char* label : {"BoardLB", "DeviceLB", "ProgramStatusLB", "VerifyStatusLB"})
            display << Text(label);
        display << QString::number(Bar("ProgramPB")) << QString::number(Bar("VerifyPB"))
                << QString::number(OK()->isEnabled());
        return display;
    }

    // Minimise and restore as the window system does: the window was never hidden by the
    // program, so the restore arrives as spontaneous hide and show events.
    void MinimiseAndRestore()
    {
        Dialog.setWindowState(Qt::WindowMinimized);
        Dialog.setWindowState(Qt::WindowNoState);
        QShowEvent shown;
        QSpontaneKeyEvent::setSpontaneous(&shown);
        QCoreApplication::sendEvent(&Dialog, &shown);
    }

    void ExpectWarning(std::size_t index, const QString& text)
    {
        ASSERT_GT(Prompts.Messages.size(), index);
        const MessageSpec& asked = Prompts.Messages[index];
        EXPECT_EQ(asked.Text, text);
        EXPECT_EQ(asked.Caption, QStringLiteral("Warnung"));
        EXPECT_EQ(asked.Buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(asked.Icon, QMessageBox::Warning);
        EXPECT_EQ(asked.Owner, &Dialog);
        EXPECT_TRUE(asked.BesideOwner) << "the lines it asks about stay in sight";
    }

    TempDir Dir;
    ScriptedPrompts Prompts;
    TFlashFM Dialog{nullptr, Prompts};
};

const QString TargetQuestion = QStringLiteral(
    "Gefundener Prozessor unterscheidet sich vom eingestellten Zielsystem. Trotzdem flashen?");
const QString SizeQuestion = QStringLiteral("Flash-Speicher reicht nicht aus. Trotzdem flashen?");

TEST_F(FlashDialog, WritesAndVerifiesWhatFitsWithoutAsking)
{
    const struct
    {
        const char* Chip;
        int Bytes;
        QString Device;
        int Written;
        int Pages; // -1: not paged
    } cases[] = {
        {"AT90S8515", 3000, "AT90S8515, 8K Flash, non-paged", 3000, -1},
        {"ATtiny26", 2048, "ATtiny26, 2K Flash, paged", 2048, 64},     // exactly the flash size
        {"AT90S8515", 201, "AT90S8515, 8K Flash, non-paged", 200, -1}, // the odd byte: no word
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes);
        BoardSim board({"--chip", c.Chip});
        board.MapAsPort(1);
        const QByteArray image = ImageBytes(c.Bytes);
        Pass(image, *DeviceByName(c.Chip));
        ExpectClosedAfterSuccess();
        EXPECT_TRUE(Prompts.Messages.empty());
        EXPECT_EQ(Text("DeviceLB"), c.Device);
        EXPECT_EQ(Bar("ProgramPB"), 100);
        EXPECT_EQ(Bar("VerifyPB"), 100);
        EXPECT_EQ(board.FlashBytes(c.Written), image.left(c.Written));
        if (c.Written < c.Bytes) {
            EXPECT_EQ(board.Flash().at(c.Written / 2), 0xFFFF);
        }
        if (c.Pages >= 0) {
            EXPECT_EQ(board.Frames('P').size(), c.Pages);
        }
        EXPECT_TRUE(board.PortFree());
    }
}

TEST_F(FlashDialog, PassesOnTheLineItIsGiven)
{
    BoardLine line({"--chip", "ATtiny26"});
    Dialog.SetPortOpener(line.Opener());
    Pass(ImageBytes(200), ATtiny26);
    ExpectClosedAfterSuccess();
    EXPECT_EQ(Text("BoardLB"), QStringLiteral("SW 2.1 auf HW 1.3 an COM1 gefunden."));
    EXPECT_EQ(line.Frames('P').size(), 7);
}

// Each stage is on the screen before the board goes on, also where the window system takes a
// frame only when the event loop wakes: board and chip before the erase, "Fertig." before the
// read-back, and an error before the chip leaves programming mode (without the board's answer that
// takes seconds).
TEST_F(FlashDialog, ShowsEachStageBeforeTheBoardGoesOn)
{
    const struct
    {
        QStringList Board;
        int Bytes;
        QString Text;
        QString Before; // the frame
    } cases[] = {
        {{}, 200, "SW 2.1 auf HW 1.3 an COM1 gefunden.", "C 00 00 00 00"},
        {{}, 200, "ATtiny26, 2K Flash, paged", "C 00 00 00 00"},
        {{}, 200, "Fertig.", "f 00 00 64 00"},
        {{"--no-done", "P:2"}, 200, "Schreibfehler bei Byte 32.", "M 00 00 00 00"},
        {{"--short-read", "1"}, 600, "Lesefehler bei Byte 128.", "M 00 00 00 00"},
        {{"--corrupt", "5:0xFF00"}, 400, "Fehler bei Byte 10", "M 00 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        BoardLine line(QStringList{"--chip", "ATtiny26"} + c.Board);
        Dialog.SetPortOpener(line.Opener());
        const ShownTexts shown(Dialog, [&line] { return int(line.Frames().size()); });
        Pass(ImageBytes(c.Bytes), ATtiny26);
        const ShownTexts::Shown* seen = shown.Find(c.Text);
        ASSERT_NE(seen, nullptr);
        EXPECT_LE(seen->Count, line.Frames().lastIndexOf(c.Before));
        Dialog.accept();
    }
}

// Both bars were "Flashstatus" to a screen reader, and the values stood without their captions.
TEST_F(FlashDialog, AScreenReaderNamesEachRow)
{
    const struct
    {
        const char* Control;
        QString Name; // empty: the value it shows
        QString Caption;
    } rows[] = {{"BoardLB", "", "Flashgerät:"},
                {"DeviceLB", "", "Prozessor:"},
                {"ProgramPB", "Programmieren", "Programmieren:"},
                {"VerifyPB", "Überprüfen", "Überprüfen:"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Control);
        const QAccessibleInterface* control =
            QAccessible::queryAccessibleInterface(Child<QWidget>(row.Control));
        if (!row.Name.isEmpty()) {
            EXPECT_EQ(control->text(QAccessible::Name), row.Name);
        }
        QStringList captions;
        for (const auto& [caption, relation] : control->relations(QAccessible::Label))
            captions << caption->text(QAccessible::Name);
        EXPECT_TRUE(captions.contains(row.Caption)) << captions.join('|').toStdString();
    }
}

TEST_F(FlashDialog, AsksBeforeOverfillingTheChipOrWritingAnotherThanTheTarget)
{
    const struct
    {
        int Bytes;
        int Target;
        QString Question;
        int Written;
    } cases[] = {{2050, ATtiny26, SizeQuestion, 2048}, {100, AT90S8515, TargetQuestion, 100}};
    for (const auto& c : cases)
        for (const bool yes : {false, true}) {
            SCOPED_TRACE(c.Question.toStdString() + (yes ? " Yes" : " No"));
            BoardSim board({"--chip", "ATtiny26"});
            board.MapAsPort(1);
            const QByteArray image = ImageBytes(c.Bytes);
            Prompts.Messages.clear();
            Prompts.Answers = {yes ? QMessageBox::Yes : QMessageBox::No};
            Pass(image, c.Target);
            ExpectWarning(0, c.Question);
            EXPECT_EQ(Text("DeviceLB"), QStringLiteral("ATtiny26, 2K Flash, paged"))
                << "the user sees which chip was found";
            EXPECT_TRUE(board.PortFree());
            if (!yes) {
                EXPECT_FALSE(Dialog.isVisible());
                EXPECT_TRUE(board.Frames('C').isEmpty());
                EXPECT_TRUE(board.Frames('P').isEmpty());
                continue;
            }
            ExpectClosedAfterSuccess();
            EXPECT_EQ(board.FlashBytes(c.Written), image.left(c.Written));
            EXPECT_TRUE(board.Frames('F').isEmpty()) << "written as the chip that was found";
        }
    SCOPED_TRACE("no target chosen: always asked, then both questions in turn");
    BoardSim board({"--chip", "ATtiny26"});
    board.MapAsPort(1);
    Prompts.Messages.clear();
    Prompts.Answers = {QMessageBox::Yes, QMessageBox::Yes};
    Pass(ImageBytes(2100), 0);
    ExpectWarning(0, TargetQuestion);
    ExpectWarning(1, SizeQuestion);
    ExpectClosedAfterSuccess();
}

TEST_F(FlashDialog, ShowsWhereThePassFailedAndWaitsForOK)
{
    const struct
    {
        QStringList Board;
        int Bytes;
        QString Program;
        QString Verify;
    } cases[] = {
        {{"ATtiny26", "--no-done", "P:2"}, 200, "Schreibfehler bei Byte 32.", ""},
        {{"AT90S8515", "--no-ack", "C"}, 200, "Schreibfehler bei Byte 0.", ""},
        {{"AT90S8515", "--short-read", "2"}, 600, "Fertig.", "Lesefehler bei Byte 384."},
        {{"AT90S8515", "--corrupt", "5:0xFF00"}, 400, "Fertig.", "Fehler bei Byte 10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Board.join(' ').toStdString());
        BoardSim board(QStringList{"--chip"} + c.Board);
        board.MapAsPort(1);
        Pass(ImageBytes(c.Bytes), *DeviceByName(c.Board[0].toStdString()));
        ExpectWaitingForOK();
        EXPECT_EQ(Text("ProgramStatusLB"), c.Program);
        EXPECT_EQ(Text("VerifyStatusLB"), c.Verify);
        EXPECT_EQ(board.Frames('f').isEmpty(), c.Verify.isEmpty()) << "nothing to verify";
        EXPECT_TRUE(board.PortFree());
        OK()->click();
    }
}

TEST_F(FlashDialog, StartsAfreshWhenShownAgain)
{
    BoardSim board({"--chip", "AT90S8515", "--corrupt", "5:0xFF00"});
    board.MapAsPort(1);
    Pass(ImageBytes(400), AT90S8515);
    ExpectWaitingForOK();
    EXPECT_EQ(Bar("ProgramPB"), 100);
    EXPECT_EQ(Bar("VerifyPB"), 100);

    QTest::keyClick(&Dialog, Qt::Key_Escape);
    EXPECT_FALSE(Dialog.isVisible()) << "Escape closes once the pass has ended";

    board.Stop();
    BoardSim sound({"--chip", "AT90S8515"});
    sound.MapAsPort(1);
    const QByteArray second = ImageBytes(300, 2);
    Dialog.SetImage(Dir.Write(QStringLiteral("image.bin"), second), std::int8_t(AT90S8515));
    Dialog.show();
    EXPECT_EQ(Text("BoardLB"), QStringLiteral("Suche..."));
    EXPECT_EQ(Text("DeviceLB"), QStringLiteral("Unbekannt"));
    EXPECT_EQ(Bar("ProgramPB"), 0);
    EXPECT_EQ(Bar("VerifyPB"), 0);
    EXPECT_EQ(Text("ProgramStatusLB"), QString());
    EXPECT_EQ(Text("VerifyStatusLB"), QString());
    EXPECT_FALSE(OK()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Dialog.Running(); }, PassMs));
    ExpectClosedAfterSuccess();
    EXPECT_EQ(sound.FlashBytes(second.size()), second) << "the file is read again";
}

TEST_F(FlashDialog, ReportsAMissingBoard)
{
    BoardSim::MapPorts({});
    Pass(ImageBytes(100), AT90S8515);
    ExpectWaitingForOK();
    EXPECT_EQ(Text("BoardLB"), QStringLiteral("Nicht gefunden!"));
    EXPECT_EQ(Text("DeviceLB"), QStringLiteral("Unbekannt"));
    QTest::keyClick(OK(), Qt::Key_Return);
    EXPECT_FALSE(Dialog.isVisible());
}

// The usual cause on a fresh system, and one the user can mend: the serial ports belong to a
// group the user is not in.
TEST_F(FlashDialog, NamesThePortTheSystemRefused)
{
    if (!Unprivileged::InChild()) {
        RefusedDevice first;
        RefusedDevice second;
        Unprivileged::RunAsNobody(first.Path() + ':' + second.Path());
        return;
    }
    const QString first = Unprivileged::Fixture().section(':', 0, 0);
    qputenv("QUENNOR_PORTS", QFile::encodeName(':' + Unprivileged::Fixture()));
    const QSize designed = Dialog.size();
    Pass(ImageBytes(100), AT90S8515);

    EXPECT_EQ(Text("BoardLB"), "Nicht gefunden!\nKein Zugriff auf " + first +
                                   " – Benutzer zur Gruppe dialout hinzufügen.");
    const QLabel* board = Child<QLabel>("BoardLB");
    const QStringList lines = board->text().split('\n');
    for (const QString& line : lines)
        EXPECT_GE(board->width(), board->fontMetrics().horizontalAdvance(line)) << "cut off";
    EXPECT_GE(board->height(), 2 * board->fontMetrics().lineSpacing());
    EXPECT_TRUE(OK()->isEnabled());

    OK()->click();
    Dialog.show();
    EXPECT_EQ(Dialog.size(), designed) << "only a showing that needs the hint grows";
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Dialog.Running(); }, PassMs));
}

// A FIFO never ends its open and /dev/zero never ends its data: only regular files are images.
TEST_F(FlashDialog, RefusesAnImageThatIsNoRegularFileWithAWholeWord)
{
    BoardSim board({"--chip", "AT90S8515"});
    board.MapAsPort(1);
    const QString fifo = Dir.Path(QStringLiteral("image.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path :
         {Dir.Write(QStringLiteral("empty.bin"), {}), Dir.Write(QStringLiteral("odd.bin"), "\x01"),
          Dir.Path(QStringLiteral("missing.bin")), fifo, QStringLiteral("/dev/zero"),
          Dir.Path(QString())}) {
        SCOPED_TRACE(path.toStdString());
        Prompts.Messages.clear();
        Prompts.Answers = {QMessageBox::Ok};
        Dialog.SetImage(path, std::int8_t(AT90S8515));
        Dialog.show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !Dialog.Running(); }, 5000));
        ASSERT_EQ(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages[0].Text,
                  QStringLiteral("Could not open input file for flashing!"));
        EXPECT_EQ(Prompts.Messages[0].Caption, QStringLiteral("Error"));
        EXPECT_EQ(Prompts.Messages[0].Icon, QMessageBox::Critical);
        ExpectWaitingForOK();
        EXPECT_EQ(Text("BoardLB"), QStringLiteral("Suche...")) << "no board search";
        Dialog.accept();
    }
    EXPECT_TRUE(board.Frames().isEmpty());
}

// Closing mid-pass would leave the chip half written with nobody told.
TEST_F(FlashDialog, CannotBeClosedWhilePassing)
{
    BoardSim board({"--chip", "ATtiny26", "--pace", "19200"});
    board.MapAsPort(1);
    int attempts = 0;
    int refused = 0;
    QTimer closer;
    closer.setInterval(150);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Dialog.Running())
            return;
        ++attempts;
        Dialog.close();
        QTest::keyClick(&Dialog, Qt::Key_Escape);
        refused += Dialog.isVisible();
    });
    closer.start();
    const QByteArray image = ImageBytes(1024);
    Pass(image, ATtiny26);

    EXPECT_GT(attempts, 0) << "the pass ended before anyone tried to close it";
    EXPECT_EQ(refused, attempts);
    ExpectClosedAfterSuccess();
    EXPECT_EQ(board.FlashBytes(image.size()), image);
}

// A restore by the window system once started a second pass: erasing the chip again, nested in
// the running pass, or hidden after the dialog had closed itself.
TEST_F(FlashDialog, ARestoredWindowStartsNothing)
{
    BoardSim board({"--chip", "AT90S8515", "--pace", "115200"});
    board.MapAsPort(1);
    const QByteArray image = ImageBytes(4000);
    const auto restoreWhen = [this](QProgressBar* bar, int percent) {
        return QObject::connect(
            bar, &QProgressBar::valueChanged, &Dialog, [=, this, done = false](int value) mutable {
                if (done || value < percent)
                    return;
                done = true;
                const QStringList before = Display();
                MinimiseAndRestore();
                EXPECT_EQ(Display(), before) << "percent " << percent;
                EXPECT_FALSE(Dialog.close()) << "the close guard holds after a restore";
                EXPECT_TRUE(Dialog.Running());
            });
    };
    {
        SCOPED_TRACE("restored during the start wait, mid-pass and at the end of the pass");
        Dialog.SetImage(Dir.Write(QStringLiteral("image.bin"), image), std::int8_t(AT90S8515));
        const auto mid = restoreWhen(Child<QProgressBar>("ProgramPB"), 50);
        const auto end = restoreWhen(Child<QProgressBar>("VerifyPB"), 100);
        Dialog.show();
        MinimiseAndRestore();
        EXPECT_FALSE(Dialog.Running() && OK()->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !Dialog.Running(); }, PassMs));
        QObject::disconnect(mid);
        QObject::disconnect(end);
        ExpectClosedAfterSuccess();
        QTest::qWait(300);
        EXPECT_FALSE(Dialog.isVisible()) << "no hidden pass after the dialog closed";
        EXPECT_EQ(board.Frames('C').size(), 1);
        EXPECT_EQ(board.FlashBytes(image.size()), image);
    }
    SCOPED_TRACE("restored while the dialog waits for OK after a failure");
    board.Stop();
    BoardSim faulty({"--chip", "AT90S8515", "--corrupt", "5:0xFF00"});
    faulty.MapAsPort(1);
    Pass(ImageBytes(400), AT90S8515);
    ExpectWaitingForOK();
    const QStringList failed = Display();
    MinimiseAndRestore();
    QTest::qWait(300);
    EXPECT_EQ(Display(), failed);
    ExpectWaitingForOK();
    EXPECT_EQ(faulty.Frames('C').size(), 1);
}

TEST_F(FlashDialog, ShowsTheBoardsTextsAsTheyCame)
{
    const QString sw = QStringLiteral("SW%1 <b>2</b>");
    const QString hw = QStringLiteral("HW%2 %3 &amp;");
    BoardSim board({"--chip", "ATtiny26", "--sw", sw, "--hw", hw});
    board.MapAsPort(4);
    Pass(ImageBytes(64), ATtiny26);
    ExpectClosedAfterSuccess();
    EXPECT_EQ(Text("BoardLB"),
              sw + QStringLiteral(" auf ") + hw + QStringLiteral(" an COM4 gefunden."));
    for (const char* name : {"BoardLB", "DeviceLB", "ProgramStatusLB", "VerifyStatusLB"})
        EXPECT_EQ(Child<QLabel>(name)->textFormat(), Qt::PlainText) << name;
}

} // namespace
