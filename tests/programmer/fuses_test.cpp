#include "programmer/fuses.h"

#include <optional>

#include <gtest/gtest.h>

#include "support/boardsim.h"
#include "support/qtprinters.h"

void PrintTo(const FuseBytes& fuses, std::ostream* out)
{
    *out << std::hex << int(fuses.Low) << ':' << int(fuses.High);
}

TEST(FuseAccess, ConnectFindsOnlyAnATtiny26)
{
    const struct
    {
        QStringList Board;
        QString Text;       // empty: connected
        QStringList Frames; // the last the board saw
    } cases[] = {
        {{"--chip", "ATtiny26"}, "", {"O 04 80 7F 00"}},
        {{"--chip", "ATmega103"}, "Kein ATTiny26!", {"O 04 80 7F 00"}}, // left to Disconnect
        {{"--signature", "0x123456"}, "Nicht gefunden!", {"s 02 00 00 00", "M 00 00 00 00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Board.join(' ').toStdString());
        BoardLine line(c.Board);
        FuseAccess access(PortChoice{-1, {}, line.Opener()});
        const FuseResult result = access.Connect();
        EXPECT_EQ(result.Ok, c.Text.isEmpty());
        EXPECT_EQ(result.Text, c.Text);
        const QStringList frames = line.Frames();
        EXPECT_EQ(frames.mid(frames.size() - c.Frames.size()), c.Frames);
    }
}

TEST(FuseAccess, NoBoardNamesTheRefusedPortAndCancelEndsTheSearch)
{
    const auto refusing = [](int port) {
        return PortOpening{nullptr, PortRefusal::NoAccess, QStringLiteral("/dev/ttyS%1").arg(port)};
    };
    FuseAccess refused(PortChoice{-1, {}, refusing});
    const FuseResult result = refused.Connect();
    EXPECT_EQ(result.Text, "Nicht gefunden!");
    EXPECT_EQ(result.DeniedDevice, "/dev/ttyS1");

    BoardLine line({"--chip", "ATtiny26"});
    FuseAccess cancelled(PortChoice{-1, {}, line.Opener()}, [] { return true; });
    EXPECT_FALSE(cancelled.Connect().Ok);
    EXPECT_EQ(line.Frames(), QStringList());
}

// The chip answers and burns only the ATtiny26's fuse instructions, so its fuses show which
// instructions reached it.
class FuseSteps : public ::testing::Test
{
protected:
    FuseAccess& Connected(const QStringList& fault)
    {
        Access.reset();
        Line.emplace(QStringList{"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"} + fault);
        Access.emplace(PortChoice{-1, {}, Line->Opener()});
        EXPECT_TRUE(Access->Connect().Ok);
        return *Access;
    }
    FuseBytes Chip() { return {Line->Board().LowFuse(), Line->Board().HighFuse()}; }

    std::optional<BoardLine> Line;
    std::optional<FuseAccess> Access;
};

// A failed read gives nothing out, not even the low byte alone.
TEST_F(FuseSteps, ReadSaysWhichByteFailed)
{
    const FuseBytes untouched{0x5A, 0x5A};
    const struct
    {
        QStringList Fault;
        QString Text;
        FuseBytes Shown;
        int Reads;
    } cases[] = {
        {{}, "Fuse Bits gelesen.", {0xE1, 0xF7}, 2},
        {{"--no-ack", "d:1"}, "Konnte Low Fuse Bits nicht lesen", untouched, 1},
        {{"--no-ack", "d:2"}, "Konnte High Fuse Bits nicht lesen", untouched, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        FuseBytes shown = untouched;
        const FuseResult result = Connected(c.Fault).Read(shown);
        EXPECT_EQ(result.Ok, c.Fault.isEmpty());
        EXPECT_EQ(result.Text, c.Text);
        EXPECT_EQ(shown, c.Shown);
        EXPECT_EQ(Line->Frames('d').size(), c.Reads);
    }
}

// Bits 7..5 of the high byte are written as 1; a failed low byte leaves the high byte alone.
TEST_F(FuseSteps, WriteSaysWhichByteFailed)
{
    const FuseBytes asWas{0xE1, 0xF7};
    const FuseBytes some{0x12, 0x00};
    const struct
    {
        QStringList Fault;
        FuseBytes Written;
        QString Text;
        FuseBytes Chip;
        int Writes;
    } cases[] = {
        {{}, some, "Fuse Bits geschrieben.", {0x12, 0xE0}, 2},
        {{}, {0xFF, 0x15}, "Fuse Bits geschrieben.", {0xFF, 0xF5}, 2},
        {{"--no-ack", "D:1"}, some, "Konnte Low Fuse Bits nicht schreiben", asWas, 1},
        {{"--bad-ack", "D:2"}, some, "Konnte High Fuse Bits nicht schreiben", {0x12, 0xF7}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        const FuseResult result = Connected(c.Fault).Write(c.Written);
        EXPECT_EQ(result.Ok, c.Fault.isEmpty());
        EXPECT_EQ(result.Text, c.Text);
        EXPECT_EQ(Chip(), c.Chip);
        EXPECT_EQ(Line->Frames('D').size(), c.Writes);
    }
}

TEST(ChangesLockedFuses, OnlySut1Sut0BodlevelAndBodenAreOpen)
{
    const FuseBytes from{0xE1, 0xF7};
    const struct
    {
        FuseBytes To;
        bool Locked;
    } cases[] = {
        {{0xC1, 0xF4}, false}, // SUT1, BODLEVEL, BODEN
        {{0xF1, 0xF7}, false}, // SUT0
        {{0xE1, 0x17}, false}, // bits 7..5 of the high byte belong to no fuse
        {{0xA1, 0xF7}, true},  // CKOPT
        {{0xE0, 0xF7}, true},  // CKSEL0
        {{0xE1, 0xF3}, true},  // EESAVE
        {{0xE1, 0xE7}, true},  // RSTDISBL
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.To));
        EXPECT_EQ(ChangesLockedFuses(from, c.To), c.Locked);
    }
}
