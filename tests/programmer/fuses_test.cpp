#include "programmer/fuses.h"

#include <gtest/gtest.h>

#include "support/boardsim.h"
#include "support/qtprinters.h"

namespace {

struct Step
{
    bool Ok;
    QString Text;
};

} // namespace

void PrintTo(const FuseBytes& fuses, std::ostream* out)
{
    *out << std::hex << int(fuses.Low) << ':' << int(fuses.High);
}

TEST(FuseAccess, ConnectFindsOnlyAnATtiny26)
{
    const struct
    {
        QStringList Board;
        Step Connected;
        QStringList Frames; // the last the board saw
    } cases[] = {
        {{"--chip", "ATtiny26"}, {true, ""}, {"O 04 80 7F 00"}},
        {{"--chip", "ATmega103"}, {false, "Kein ATTiny26!"}, {"O 04 80 7F 00", "M 00 00 00 00"}},
        {{"--signature", "0x123456"},
         {false, "Nicht gefunden!"},
         {"s 02 00 00 00", "M 00 00 00 00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Board.join(' ').toStdString());
        BoardLine line(c.Board);
        FuseAccess access(PortChoice{-1, {}, line.Opener()});
        const FuseResult result = access.Connect();
        EXPECT_EQ(result.Ok, c.Connected.Ok);
        EXPECT_EQ(result.Text, c.Connected.Text);
        const QStringList frames = line.Frames();
        EXPECT_EQ(frames.mid(frames.size() - c.Frames.size()), c.Frames);
    }
}

TEST(FuseAccess, NoBoardNamesTheRefusedPortAndCancelEndsTheSearch)
{
    FuseAccess refused(PortChoice{-1, {}, [](int port) {
                                      return PortOpening{nullptr, PortRefusal::NoAccess,
                                                         QStringLiteral("/dev/ttyS%1").arg(port)};
                                  }});
    const FuseResult result = refused.Connect();
    EXPECT_EQ(result.Text, "Nicht gefunden!");
    EXPECT_EQ(result.DeniedDevice, "/dev/ttyS1");

    BoardLine line({"--chip", "ATtiny26"});
    FuseAccess cancelled(PortChoice{-1, {}, line.Opener()}, [] { return true; });
    EXPECT_FALSE(cancelled.Connect().Ok);
    EXPECT_EQ(line.Frames(), QStringList());
}

// A failed step shows nothing half read; a failed low byte leaves the high byte alone.
TEST(FuseAccess, ReadAndWriteSayHowTheyEnded)
{
    const FuseBytes before{0xE1, 0xF7};
    const FuseBytes untouched{0x5A, 0x5A};
    const struct
    {
        QStringList Fault;
        std::optional<FuseBytes> Write; // nothing: a read
        Step Ended;
        FuseBytes Shown;    // what the read gives out
        QStringList Frames; // the instructions the board saw
        FuseBytes Chip;
    } cases[] = {
        {{}, {}, {true, "Fuse Bits gelesen."}, before, {"d 50 00 00 00", "d 58 08 00 00"}, before},
        {{"--no-ack", "d:1"},
         {},
         {false, "Konnte Low Fuse Bits nicht lesen"},
         untouched,
         {"d 50 00 00 00"},
         before},
        {{"--no-ack", "d:2"},
         {},
         {false, "Konnte High Fuse Bits nicht lesen"},
         untouched,
         {"d 50 00 00 00", "d 58 08 00 00"},
         before},
        {{},
         FuseBytes{0x12, 0x00},
         {true, "Fuse Bits geschrieben."},
         untouched,
         {"D AC A0 00 12", "D AC A8 00 E0"},
         {0x12, 0xE0}},
        {{},
         FuseBytes{0xFF, 0x15},
         {true, "Fuse Bits geschrieben."},
         untouched,
         {"D AC A0 00 FF", "D AC A8 00 F5"},
         {0xFF, 0xF5}},
        {{"--no-ack", "D:1"},
         FuseBytes{0x12, 0x00},
         {false, "Konnte Low Fuse Bits nicht schreiben"},
         untouched,
         {"D AC A0 00 12"},
         before},
        {{"--bad-ack", "D:2"},
         FuseBytes{0x12, 0x00},
         {false, "Konnte High Fuse Bits nicht schreiben"},
         untouched,
         {"D AC A0 00 12", "D AC A8 00 E0"},
         {0x12, 0xF7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ended.Text.toStdString());
        BoardLine line(QStringList{"--chip", "ATtiny26", "--fuses", "0xE1,0xF7"} + c.Fault);
        FuseAccess access(PortChoice{-1, {}, line.Opener()});
        ASSERT_TRUE(access.Connect().Ok);
        FuseBytes shown = untouched;
        const FuseResult result = c.Write ? access.Write(*c.Write) : access.Read(shown);
        EXPECT_EQ(result.Ok, c.Ended.Ok);
        EXPECT_EQ(result.Text, c.Ended.Text);
        EXPECT_EQ(shown, c.Shown);
        QStringList frames = line.Frames();
        frames.removeIf([](const QString& frame) {
            return !frame.startsWith(QLatin1Char('d')) && !frame.startsWith(QLatin1Char('D'));
        });
        EXPECT_EQ(frames, c.Frames);
        EXPECT_EQ((FuseBytes{line.Board().LowFuse(), line.Board().HighFuse()}), c.Chip);
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
