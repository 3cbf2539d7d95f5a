#include "dialogs/fusebits.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include "support/boardsim.h"
#include "support/qtprinters.h"
#include "support/scriptedprompts.h"
#include "support/showntexts.h"
#include "support/unprivileged.h"

namespace {

const QStringList AllBoxes{"H4CB", "H3CB", "H2CB", "H1CB", "H0CB", "L7CB", "L6CB",
                           "L5CB", "L4CB", "L3CB", "L2CB", "L1CB", "L0CB"};
const QStringList OpenBoxes{"H1CB", "H0CB", "L5CB", "L4CB"};

class FuseBitsDialog : public ::testing::Test
{
protected:
    void SetUp() override { Dialog.show(); }
    void TearDown() override { qunsetenv("QUENNOR_PORTS"); }

    QCheckBox* Box(const QString& name)
    {
        auto* box = Dialog.findChild<QCheckBox*>(name);
        EXPECT_NE(box, nullptr) << name.toStdString();
        return box;
    }
    QPushButton* Button(const char* name)
    {
        auto* button = Dialog.findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    QString Status()
    {
        return Dialog.findChild<QStatusBar*>(QStringLiteral("FuseSB"))->currentMessage();
    }

    QStringList Where(bool (QCheckBox::*state)() const)
    {
        QStringList names;
        for (const QString& name : AllBoxes)
            if ((Box(name)->*state)())
                names << name;
        return names;
    }
    QStringList Ticked() { return Where(&QCheckBox::isChecked); }
    QStringList Enabled() { return Where(&QWidget::isEnabled); }

    void TickAll(bool ticked)
    {
        for (const QString& name : AllBoxes)
            Box(name)->setChecked(ticked);
    }

    // Reads the fuses of a board that is then taken away, so the write button is enabled.
    void ReadOnce()
    {
        BoardSim board({"--chip", "ATtiny26"});
        board.MapAsPort(1);
        Button("ReadBT")->click();
        ASSERT_TRUE(Button("WriteBT")->isEnabled());
    }

    ScriptedPrompts Prompts;
    TFuseBitsFM Dialog{nullptr, Prompts};
};

TEST_F(FuseBitsDialog, ReadingTicksTheBitsThatAreOne)
{
    BoardSim board({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"});
    board.MapAsPort(2);
    EXPECT_FALSE(Button("WriteBT")->isEnabled());
    Button("ReadBT")->click();

    EXPECT_EQ(Status(), QStringLiteral("Fuse Bits gelesen."));
    EXPECT_EQ(Ticked(),
              QStringList({"H4CB", "H2CB", "H1CB", "H0CB", "L7CB", "L6CB", "L5CB", "L0CB"}))
        << "locked boxes are ticked too";
    EXPECT_EQ(Enabled(), OpenBoxes);
    EXPECT_TRUE(Button("WriteBT")->isEnabled());
    EXPECT_EQ(board.Frames('d'), QStringList({"d 50 00 00 00", "d 58 08 00 00"}));
    EXPECT_TRUE(board.PortFree());
}

TEST_F(FuseBitsDialog, WritesTheTicksWithTheUnusedHighBitsSet)
{
    BoardSim board({"--chip", "ATtiny26", "--fuses", "0x00,0x00"});
    board.MapAsPort(1);
    Button("ReadBT")->click();
    ASSERT_EQ(Ticked(), QStringList());

    Button("WriteBT")->click();
    EXPECT_EQ(Status(), QStringLiteral("Fuse Bits geschrieben."));
    EXPECT_EQ(board.Fuses().Low, 0x00);
    EXPECT_EQ(board.Fuses().High, 0xE0);
    EXPECT_TRUE(board.PortFree());

    TickAll(true);
    Button("WriteBT")->click();
    EXPECT_EQ(board.Fuses().Low, 0xFF);
    EXPECT_EQ(board.Fuses().High, 0xFF);
    EXPECT_EQ(board.Frames('D'),
              QStringList({"D AC A0 00 00", "D AC A8 00 E0", "D AC A0 00 FF", "D AC A8 00 FF"}));
    EXPECT_TRUE(Button("WriteBT")->isEnabled()) << "writing needs no new read";
}

TEST_F(FuseBitsDialog, ButtonsWorkOnTheLineTheyAreGiven)
{
    BoardLine line({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"});
    Dialog.SetPortOpener(line.Opener());
    Button("ReadBT")->click();
    Box("L0CB")->setChecked(false);
    Button("WriteBT")->click();
    EXPECT_EQ(line.Board().LowFuse(), 0xE0) << "read and written on the line";
}

// Each status is on the screen before the board goes on, also where the window system takes a
// frame only when the event loop wakes: "Suche..." before the search, "Kein ATTiny26!" before the
// chip leaves programming mode, the read fuses ticked before "Fuse Bits gelesen." says so, and
// "Fuse Bits geschrieben." before the 100 ms the chip needs to burn the byte.
TEST_F(FuseBitsDialog, ShowsEachStatusBeforeTheBoardGoesOn)
{
    const QString closing = QStringLiteral("M 00 00 00 00");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dialog));
    {
        BoardLine line({"--chip", "ATmega103"});
        Dialog.SetPortOpener(line.Opener());
        const ShownTexts shown(Dialog, [&line] { return int(line.Frames().size()); });
        Button("ReadBT")->click();
        ASSERT_NE(shown.Find("Suche..."), nullptr);
        EXPECT_EQ(shown.Find("Suche...")->Count, 0);
        ASSERT_NE(shown.Find("Kein ATTiny26!"), nullptr);
        EXPECT_LE(shown.Find("Kein ATTiny26!")->Count, line.Frames().lastIndexOf(closing));
    }
    BoardLine line({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"});
    Dialog.SetPortOpener(line.Opener());
    std::vector<int> ticksWhenRead;
    QObject::connect(Dialog.findChild<QStatusBar*>(), &QStatusBar::messageChanged, &Dialog,
                     [&](const QString& text) {
                         if (text == QStringLiteral("Fuse Bits gelesen."))
                             ticksWhenRead = {Dialog.LowFuse(), Dialog.HighFuse()};
                     });
    Button("ReadBT")->click();
    EXPECT_EQ(ticksWhenRead, std::vector<int>({0xE1, 0xF7}));

    const ShownTexts shown(Dialog, [&line] { return int(line.Frames().size()); });
    Button("WriteBT")->click();
    const ShownTexts::Shown* written = shown.Find("Fuse Bits geschrieben.");
    ASSERT_NE(written, nullptr);
    EXPECT_LE(written->Count, line.Frames().lastIndexOf(closing));
    EXPECT_GE(shown.Elapsed() - written->Ms, 100) << "the chip burns the byte after the status";
}

TEST_F(FuseBitsDialog, WorksOnlyWithAnATtiny26)
{
    ReadOnce();
    TickAll(true);
    BoardSim mega({"--chip", "ATmega103", "--fuses", "0x12,0x34"});
    mega.MapAsPort(1);
    for (const char* button : {"ReadBT", "WriteBT"}) {
        SCOPED_TRACE(button);
        Button(button)->click();
        EXPECT_EQ(Status(), QStringLiteral("Kein ATTiny26!"));
    }
    EXPECT_EQ(Ticked(), AllBoxes) << "nothing was read";
    EXPECT_TRUE(mega.Frames('d').isEmpty());
    EXPECT_TRUE(mega.Frames('D').isEmpty());
    EXPECT_TRUE(mega.PortFree());

    BoardSim::MapPorts({});
    Button("ReadBT")->click();
    EXPECT_EQ(Status(), QStringLiteral("Nicht gefunden!"));
}

TEST_F(FuseBitsDialog, NamesThePortTheSystemRefused)
{
    if (!Unprivileged::InChild()) {
        RefusedDevice refused;
        Unprivileged::RunAsNobody(refused.Path());
        return;
    }
    qputenv("QUENNOR_PORTS", QFile::encodeName(Unprivileged::Fixture()));
    const QSize designed = Dialog.size();
    Button("ReadBT")->click();
    const QString text = "Nicht gefunden! Kein Zugriff auf " + Unprivileged::Fixture() +
                         " – Benutzer zur Gruppe dialout hinzufügen.";
    EXPECT_EQ(Status(), text);
    const auto* status = Dialog.findChild<QStatusBar*>(QStringLiteral("FuseSB"));
    EXPECT_GE(status->width(), status->fontMetrics().horizontalAdvance(text)) << "cut off";
    EXPECT_FALSE(Button("WriteBT")->isEnabled());
    Dialog.hide();
    Dialog.show();
    EXPECT_EQ(Dialog.size(), designed) << "only a showing that needs the hint grows";
}

TEST_F(FuseBitsDialog, AFailedReadChangesNothing)
{
    for (const char* failing : {"d:1", "d:2"}) {
        SCOPED_TRACE(failing);
        Dialog.hide();
        Dialog.show();
        BoardSim board({"--chip", "ATtiny26", "--fuses", "0xFF,0xFF", "--no-ack", failing});
        board.MapAsPort(1);
        Button("ReadBT")->click();
        EXPECT_EQ(Status(), QLatin1String(failing) == QLatin1String("d:1")
                                ? QStringLiteral("Konnte Low Fuse Bits nicht lesen")
                                : QStringLiteral("Konnte High Fuse Bits nicht lesen"));
        EXPECT_EQ(Ticked(), QStringList()) << "the low byte is not shown alone";
        EXPECT_FALSE(Button("WriteBT")->isEnabled());
        EXPECT_TRUE(board.PortFree());
    }
}

TEST_F(FuseBitsDialog, AFailedLowWriteLeavesTheHighByteAlone)
{
    ReadOnce();
    TickAll(true);
    {
        BoardSim board({"--chip", "ATtiny26", "--fuses", "0x00,0x00", "--no-ack", "D:1"});
        board.MapAsPort(1);
        Button("WriteBT")->click();
        EXPECT_EQ(Status(), QStringLiteral("Konnte Low Fuse Bits nicht schreiben"));
        EXPECT_EQ(board.Frames('D'), QStringList({"D AC A0 00 FF"}));
        EXPECT_EQ(board.Fuses().High, 0x00);
        EXPECT_TRUE(board.PortFree());
    }
    BoardSim board({"--chip", "ATtiny26", "--fuses", "0x00,0x00", "--no-done", "D:2"});
    board.MapAsPort(1);
    Button("WriteBT")->click();
    EXPECT_EQ(Status(), QStringLiteral("Konnte High Fuse Bits nicht schreiben"));
    EXPECT_EQ(board.Fuses().Low, 0xFF) << "the low byte went first";
}

TEST_F(FuseBitsDialog, UnlockingAsksFirstAndLastsForTheProgramRun)
{
    Prompts.Answers = {QMessageBox::No, QMessageBox::Yes};
    Button("UnlockBT")->click();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    const MessageSpec& asked = Prompts.Messages[0];
    EXPECT_EQ(asked.Text, QStringLiteral("Wirklich alle Fuse Bits freischalten? Falsches Setzen "
                                         "der Fuse Bits kann\ndazu führen, dass sich der AVR "
                                         "nicht mehr programmieren lässt!"));
    EXPECT_EQ(asked.Caption, QStringLiteral("Warnung"));
    EXPECT_EQ(asked.Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(asked.Icon, QMessageBox::Warning);
    EXPECT_EQ(Enabled(), OpenBoxes) << "No keeps the guarded boxes locked";

    Button("UnlockBT")->click();
    EXPECT_EQ(Enabled(), AllBoxes);

    ReadOnce();
    Box("L3CB")->setChecked(true);
    Button("CloseBT")->click();
    EXPECT_FALSE(Dialog.isVisible());
    Dialog.show();
    EXPECT_EQ(Enabled(), AllBoxes);
    EXPECT_TRUE(Box("L3CB")->isChecked()) << "ticks stay between showings";
    EXPECT_FALSE(Button("WriteBT")->isEnabled()) << "every showing needs a new read";
}

TEST_F(FuseBitsDialog, OpensInTheMiddleOfTheScreenWhateverItsOwner)
{
    QWidget owner;
    owner.setGeometry(10, 10, 200, 150);
    owner.show();
    TFuseBitsFM dialog(&owner, Prompts);
    dialog.show();
    const QPoint middle = dialog.screen()->availableGeometry().center();
    EXPECT_LE((dialog.frameGeometry().center() - middle).manhattanLength(), 1);
    EXPECT_TRUE(dialog.isModal());
}

// The window system shows a restored window again; that once ran the show handler, which took
// the write button back and moved the dialog to the middle of the screen.
TEST_F(FuseBitsDialog, ARestoreKeepsTheDialogAsItWas)
{
    BoardSim board({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"});
    board.MapAsPort(1);
    Button("ReadBT")->click();
    ASSERT_TRUE(Button("WriteBT")->isEnabled());
    Dialog.move(Dialog.pos() + QPoint(40, 30));
    const QPoint moved = Dialog.pos();

    Dialog.setWindowState(Qt::WindowMinimized);
    Dialog.setWindowState(Qt::WindowNoState);

    EXPECT_EQ(Dialog.pos(), moved);
    EXPECT_TRUE(Button("WriteBT")->isEnabled());
    Box("L0CB")->setChecked(false);
    Button("WriteBT")->click();
    EXPECT_EQ(board.Fuses().Low, 0xE0);

    Dialog.hide();
    Dialog.show();
    EXPECT_FALSE(Button("WriteBT")->isEnabled()) << "a new showing still asks for a read first";
}

} // namespace
