#include "programmer/avrflash2.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "support/boardsim.h"
#include "support/qtprinters.h"

namespace {

std::vector<std::uint16_t> Image(int words)
{
    std::vector<std::uint16_t> image(static_cast<std::size_t>(words));
    for (int i = 0; i < words; ++i)
        image[std::size_t(i)] = std::uint16_t(std::uint32_t(i) * 0x9E37u + 0x1234u);
    return image;
}

// The link connected to one simulated board on COM1.
struct Connected
{
    explicit Connected(const QStringList& options)
        : Sim(options)
    {
        Sim.MapAsPort(1);
        EXPECT_TRUE(Link.Connect(1));
    }

    BoardSim Sim;
    TAVRFlash Link;
};

} // namespace

TEST(Connect, SearchesPortsInOrderAndUploadsTheChipParameters)
{
    BoardSim silent({"--silent"});
    BoardSim board({"--chip", "AT90S2313"});
    BoardSim::MapPorts({{2, &silent}, {5, &board}});
    TAVRFlash link;

    ASSERT_TRUE(link.Connect(-1));
    EXPECT_EQ(link.Port, 5);
    EXPECT_EQ(link.SWVersion, "SW 2.1");
    EXPECT_EQ(link.HWVersion, "HW 1.3");
    EXPECT_EQ(link.Device, 1);
    EXPECT_EQ(link.DeviceName(), "AT90S2313");
    EXPECT_EQ(silent.Frames(), QStringList({"v 01 00 00 00", "M 00 00 00 00"}));
    EXPECT_EQ(board.Frames(),
              QStringList({"v 01 00 00 00", "v 00 00 00 00", "M 01 00 00 00", "s 00 00 00 00",
                           "s 01 00 00 00", "s 02 00 00 00", "O 01 06 01 00", "O 02 83 00 00",
                           "O 03 83 00 00", "O 04 80 7F 00"}));

    link.Disconnect();
    EXPECT_TRUE(board.PortFree());
    EXPECT_EQ(board.Frames().last(), "M 00 00 00 00");
    EXPECT_EQ(link.Port, 0);
    EXPECT_TRUE(link.SWVersion.isEmpty());
}

TEST(Connect, NamesTheFirstDeviceTheSystemRefused)
{
    const std::map<int, std::pair<PortRefusal, QString>> refusals = {
        {2, {PortRefusal::InUse, "/dev/ttyUSB1"}},
        {3, {PortRefusal::NoAccess, "/dev/ttyACM0"}},
        {6, {PortRefusal::NoAccess, "/dev/ttyS1"}},
    };
    bool refusing = true;
    TAVRFlash link([&](int port) {
        const auto refusal = refusals.find(port);
        if (!refusing || refusal == refusals.end())
            return PortOpening{};
        return PortOpening{nullptr, refusal->second.first, refusal->second.second};
    });
    EXPECT_FALSE(link.Connect(-1));
    EXPECT_EQ(link.DeniedDevice, "/dev/ttyACM0");
    refusing = false;
    EXPECT_FALSE(link.Connect(-1));
    EXPECT_EQ(link.DeniedDevice, "") << "each search starts afresh";
}

// What quennor-flash tells after "Nicht gefunden!": how far each port got.
TEST(Connect, TellsHowFarEachPortGot)
{
    using A = PortAttempt;
    const struct
    {
        QStringList Board;
        A::Kind What;
        std::uint32_t Signature = 0;
    } cases[] = {
        {{}, A::Found},
        {{"--silent"}, A::Silent},
        {{"--sw", "XW 2.1"}, A::NoBoard},
        {{"--no-ack", "M:1"}, A::NoProgMode},
        {{"--no-ack", "s:2"}, A::NoSignature},
        {{"--signature", "0xFFFFFF"}, A::EmptySignature, 0xFFFFFF},
        {{"--signature", "0x123456"}, A::UnknownSignature, 0x123456},
        {{"--no-ack", "O:3"}, A::NoParameters},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Board.join(' ').toStdString());
        BoardLine line(c.Board);
        TAVRFlash link(line.Opener());
        std::vector<A> tried;
        link.OnPortTried = [&tried](const A& attempt) {
            tried.push_back(attempt);
        };
        EXPECT_EQ(link.Connect(1), c.What == A::Found);
        ASSERT_EQ(tried.size(), 1u);
        EXPECT_EQ(tried[0].What, c.What);
        EXPECT_EQ(tried[0].Signature, c.Signature);
    }
}

TEST(Connect, PortNumberChoosesOnePortAndZeroSearchesAll)
{
    BoardSim tiny({"--chip", "ATtiny26"});
    BoardSim mega({"--chip", "ATmega103"});
    BoardSim::MapPorts({{1, &tiny}, {3, &mega}});
    TAVRFlash link;

    ASSERT_TRUE(link.Connect(3));
    EXPECT_EQ(link.Port, 3);
    EXPECT_EQ(link.Device, 12);
    EXPECT_TRUE(tiny.Frames().isEmpty());

    ASSERT_TRUE(link.Connect(0));
    EXPECT_EQ(link.Port, 1);
    EXPECT_EQ(link.Device, 11);
    EXPECT_EQ(mega.Frames().last(), "M 00 00 00 00") << "connecting again leaves the old port";
}

TEST(Connect, VersionTextsMustCarryTheirPrefixes)
{
    struct Case
    {
        QStringList Options;
        QStringList Frames;
    };
    const Case cases[] = {
        {{"--sw", "XW 2.1"}, {"v 01 00 00 00", "M 00 00 00 00"}},
        {{"--sw", "S"}, {"v 01 00 00 00", "M 00 00 00 00"}},
        {{"--hw", "1.3"}, {"v 01 00 00 00", "v 00 00 00 00", "M 00 00 00 00"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Options.join(' ').toStdString());
        BoardSim sim(test.Options);
        sim.MapAsPort(1);
        TAVRFlash link;
        EXPECT_FALSE(link.Connect(-1));
        EXPECT_TRUE(sim.PortFree());
        EXPECT_EQ(link.Port, 0);
        EXPECT_EQ(sim.Frames(), test.Frames);
    }
}

TEST(Connect, VersionTextWithoutClosingZeroEndsAtTheFirstGap)
{
    Connected board({"--no-text-end", "1", "--no-done", "v:1"});
    EXPECT_EQ(board.Link.SWVersion, "SW 2.1");
    EXPECT_EQ(board.Link.HWVersion, "HW 1.3");
}

// A board that streams its text without end must not hold the search: the text wait ends it.
TEST(Connect, EndlessVersionTextEndsTheWait)
{
    BoardLine line({"--sw", "SW" + QString(115200, 'x'), "--no-text-end", "1"});
    TAVRFlash link(line.Opener());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(link.Connect(1));
    EXPECT_LT(timer.elapsed(), 4000) << "the board sends for 10 s";
}

TEST(Connect, LongVersionTextIsCutButReadToItsEnd)
{
    const QString software = "SW " + QString(297, 'x');
    Connected board({"--sw", software, "--chip", "ATtiny26"});
    EXPECT_EQ(board.Link.SWVersion, software.left(255));
    EXPECT_EQ(board.Link.HWVersion, "HW 1.3");
    EXPECT_EQ(board.Link.Device, 11) << "the answers after the text are still in step";
}

TEST(Connect, SignatureOutsideTheTableIsNoBoard)
{
    BoardSim known({"--chip", "AT90S8515"});
    BoardSim blank({"--signature", "0xFFFFFF"});
    BoardSim foreign({"--signature", "0x123456"});
    BoardSim::MapPorts({{1, &known}, {2, &blank}, {3, &foreign}});
    TAVRFlash link;
    ASSERT_TRUE(link.Connect(1));

    EXPECT_FALSE(link.Connect(2));
    EXPECT_EQ(link.Device, 8) << "an erased signature leaves the last chip";
    EXPECT_EQ(blank.Frames().mid(3),
              QStringList({"s 00 00 00 00", "s 01 00 00 00", "s 02 00 00 00", "M 00 00 00 00"}));

    EXPECT_FALSE(link.Connect(3));
    EXPECT_EQ(link.Device, 0);
    EXPECT_TRUE(foreign.PortFree());
    EXPECT_EQ(link.Port, 0);
}

TEST(ProgramFlash, WordWiseImageGoesOutAsOneBlockAndReadsBack)
{
    Connected board({"--chip", "AT90S2313"});
    std::vector<std::pair<double, QString>> reports;
    board.Link.OnProgress = [&](double percent, const QString& remaining) {
        reports.emplace_back(percent, remaining);
    };
    const auto image = Image(100);

    ASSERT_EQ(board.Link.ProgramFlash(image.data(), 100), 100);
    const auto flash = board.Sim.Flash();
    ASSERT_EQ(flash.size(), 1024u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFFFF), 1024 - 100);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_DOUBLE_EQ(reports[0].first, 101.0);
    EXPECT_EQ(reports[0].second, "0:00:00");

    std::vector<std::uint16_t> back(100);
    EXPECT_EQ(board.Link.ReadFlash(back.data(), 100), 100);
    EXPECT_EQ(back, image);
    EXPECT_EQ(board.Sim.Frames().mid(10),
              QStringList({"C 00 00 00 00", "F 00 00 64 00", "f 00 00 64 00"}));
}

TEST(ProgramFlash, PagedImagesGoOutPageByPage)
{
    {
        SCOPED_TRACE("ATtiny26");
        Connected board({"--chip", "ATtiny26"});
        const auto image = Image(17);
        ASSERT_EQ(board.Link.ProgramFlash(image.data(), 17), 17);
        EXPECT_EQ(board.Sim.Frames('P'), QStringList({"P 00 00 10 00", "P 10 00 01 00"}));
        EXPECT_TRUE(std::equal(image.begin(), image.end(), board.Sim.Flash().begin()));
    }
    SCOPED_TRACE("ATmega103");
    Connected board({"--chip", "ATmega103"});
    const auto image = Image(65536);
    ASSERT_EQ(board.Link.ProgramFlash(image.data(), 65536), 65536);
    const QStringList pages = board.Sim.Frames('P');
    EXPECT_EQ(pages.size(), 512);
    EXPECT_EQ(pages.last(), "P 80 FF 80 00");
    EXPECT_EQ(board.Sim.Flash(), image);
    std::vector<std::uint16_t> back(65536);
    EXPECT_EQ(board.Link.ReadFlash(back.data(), 65536), 65536);
    EXPECT_EQ(back, image);
}

TEST(ProgramFlash, StopsAtTheFlashSizeAndStillErasesForAnEmptyImage)
{
    Connected board({"--chip", "AT90S2313"});
    const auto image = Image(1100);
    EXPECT_EQ(board.Link.ProgramFlash(image.data(), 1100), 1024);
    EXPECT_EQ(board.Sim.Frames('F').last(), "F 80 03 80 00");
    std::vector<std::uint16_t> back(1100);
    EXPECT_EQ(board.Link.ReadFlash(back.data(), 1100), 1024);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 1024, image.begin()));

    int reports = 0;
    board.Link.OnProgress = [&](double, const QString&) {
        ++reports;
    };
    const int before = int(board.Sim.Frames().size());
    EXPECT_EQ(board.Link.ProgramFlash(image.data(), 0), 0);
    EXPECT_EQ(board.Sim.Frames().mid(before), QStringList({"C 00 00 00 00"}));
    EXPECT_EQ(reports, 0);
    const auto flash = board.Sim.Flash();
    EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFFFF), 1024);
}

TEST(ProgramFlash, ClosedLinkReturnsAtOnce)
{
    TAVRFlash link([](int) { return PortOpening{}; });
    link.Device = 1;
    const auto image = Image(10);
    std::vector<std::uint16_t> back(10);
    EXPECT_EQ(link.ProgramFlash(image.data(), 10), 0);
    EXPECT_EQ(link.ReadFlash(back.data(), 10), 0);
}

TEST(ProgramFlash, FailedBlocksEndThePassWithTheWordsBefore)
{
    {
        SCOPED_TRACE("no \"!\" after the second block");
        Connected board({"--chip", "AT90S2313", "--no-done", "F:2"});
        const auto image = Image(300);
        EXPECT_EQ(board.Link.ProgramFlash(image.data(), 300), 128);
        EXPECT_EQ(board.Sim.Frames('F').size(), 2);
    }
    {
        SCOPED_TRACE("a board that stops reading inside the first block");
        Connected board({"--chip", "AT90S2313", "--stall", "F:1:100"});
        const auto image = Image(200);
        EXPECT_EQ(board.Link.ProgramFlash(image.data(), 200), 0);
    }
    SCOPED_TRACE("erase not acknowledged");
    Connected board({"--chip", "AT90S2313", "--no-ack", "C"});
    const auto image = Image(10);
    EXPECT_EQ(board.Link.ProgramFlash(image.data(), 10), 0);
    EXPECT_TRUE(board.Sim.Frames('F').isEmpty());
}

// A pulled cable hangs the line up: the link must not wait, let alone spin, until the time-out.
TEST(ProgramFlash, UnpluggedBoardFailsAtOnce)
{
    struct Case
    {
        const char* Name;
        QStringList Options;
        int Least; // the words of the blocks before
        int Most;  // short of the block the board died in
        qint64 Bound;
    };
    const Case cases[] = {
        {"mid-erase", {"--erase-ms", "300", "--unplug", "C"}, 0, 0, 4000},
        {"mid-block", {"--unplug", "F:2:100"}, 128, 255, 1000},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Connected board(QStringList{"--chip", "AT90S2313"} + test.Options);
        const auto image = Image(300);
        QElapsedTimer timer;
        timer.start();
        const int written = board.Link.ProgramFlash(image.data(), 300);
        EXPECT_GE(written, test.Least);
        EXPECT_LE(written, test.Most);
        EXPECT_LT(timer.elapsed(), test.Bound) << "the erase waits 8 s, a block 2 s";
        std::uint8_t fuse = 0;
        timer.restart();
        EXPECT_FALSE(board.Link.ReadInstruction(0x50, 0x00, 0x00, fuse));
        board.Link.Disconnect();
        EXPECT_LT(timer.elapsed(), 500) << "every later transfer fails at once";
    }
}

// The driver takes only part of a piece: the block reports the word where it ended, and the rest
// still goes out, so that the board receives the words its frame announced.
TEST(ProgramFlash, ShortPieceEndsThePassWhereItEnded)
{
    BoardLine line({"--chip", "AT90S2313"});
    TAVRFlash link(line.Opener());
    ASSERT_TRUE(link.Connect(1));
    line.StopTaking(5 + 5 + 8 + 6, std::chrono::milliseconds(500)); // the frames, 1.75 pieces
    const auto image = Image(10);
    EXPECT_EQ(link.ProgramFlash(image.data(), 10), 7);
    EXPECT_EQ(line.Frames().mid(10), QStringList({"C 00 00 00 00", "F 00 00 0A 00"}));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), line.Board().Flash().begin()));
}

// A board that stopped taking data would otherwise hold the block for ever.
TEST(ProgramFlash, PieceThatMovesNothingEndsTheBlock)
{
    BoardLine line({"--chip", "ATtiny26"});
    TAVRFlash link(line.Opener());
    ASSERT_TRUE(link.Connect(1));
    const std::size_t before = line.Sent().size();
    line.StopTaking(5 + 5 + 10, std::chrono::seconds(30));
    const auto image = Image(16);
    EXPECT_EQ(link.ProgramFlash(image.data(), 16), 5) << "the word the second piece ended in";
    EXPECT_EQ(line.Sent().size(), before + 20);
}

TEST(ProgramFlash, WaitsForASlowErase)
{
    Connected board({"--chip", "AT90S2313", "--erase-ms", "2500"});
    const auto image = Image(10);
    EXPECT_EQ(board.Link.ProgramFlash(image.data(), 10), 10);
}

TEST(ReadFlash, ReturnsWhatTheBoardSent)
{
    {
        SCOPED_TRACE("a short second block");
        Connected board({"--chip", "AT90S2313", "--short-read", "2"});
        std::vector<std::uint16_t> back(300);
        EXPECT_EQ(board.Link.ReadFlash(back.data(), 300), 128 + 64);
        EXPECT_EQ(board.Sim.Frames('f').size(), 2);
    }
    SCOPED_TRACE("a corrupted word is the caller's to find");
    Connected board({"--chip", "AT90S2313", "--corrupt", "130:0x0100"});
    const auto image = Image(200);
    ASSERT_EQ(board.Link.ProgramFlash(image.data(), 200), 200);
    std::vector<std::uint16_t> back(200);
    EXPECT_EQ(board.Link.ReadFlash(back.data(), 200), 200);
    EXPECT_EQ(back[130], image[130] ^ 0x0100);
    back[130] = image[130];
    EXPECT_EQ(back, image);
}

// Ctrl+C in quennor-flash: a frame half sent would garble the exchange, so the link stops only
// between ports and between blocks.
TEST(CancelRequested, StopsTheSearchAndTheTransfersBetweenBlocks)
{
    BoardSim board({"--chip", "AT90S2313"});
    board.MapAsPort(1);
    TAVRFlash link;
    int blocks = 0;
    link.CancelRequested = [&blocks] {
        return blocks == 2;
    };
    link.OnProgress = [&blocks](double, const QString&) {
        ++blocks;
    };
    const auto image = Image(1000);
    ASSERT_TRUE(link.Connect(-1));
    EXPECT_EQ(link.ProgramFlash(image.data(), 1000), 256);
    blocks = 0;
    std::vector<std::uint16_t> back(1000);
    EXPECT_EQ(link.ReadFlash(back.data(), 1000), 256);
    EXPECT_EQ(board.Frames('F').size(), 2);
    EXPECT_EQ(board.Frames('f').size(), 2);

    blocks = 2;
    EXPECT_FALSE(link.Connect(-1));
    EXPECT_EQ(board.Frames().last(), "M 00 00 00 00") << "no port tried after the disconnect";
}

// A byte damaged on the line must not pass for a fuse byte: one read as 0x00 would show
// RSTDISBL and SPIEN as programmed, and writing that back takes the chip out of reach.
TEST(Instructions, DamagedAnswerIsAFailureNotAFuse)
{
    BoardLine line({"--chip", "ATtiny26", "--fuses", "0xFF,0xF7"});
    TAVRFlash link(line.Opener());
    ASSERT_TRUE(link.Connect(1));
    std::uint8_t low = 0;
    EXPECT_TRUE(link.ReadInstruction(0x50, 0x00, 0x00, low));
    EXPECT_EQ(low, 0xFF) << "a data byte 0xFF is no error mark";

    for (const auto damage :
         {BoardLine::Damage::Framing, BoardLine::Damage::Break, BoardLine::Damage::Overrun}) {
        SCOPED_TRACE(int(damage));
        line.Settle(); // the board's last answer would spoil the next frame
        ASSERT_TRUE(link.Connect(1)) << "a new port starts without the old error";
        line.DamageAnswer(1, damage); // the byte after "+"
        std::uint8_t high = 0x5A;
        EXPECT_FALSE(link.ReadInstruction(0x58, 0x08, 0x00, high));
        EXPECT_EQ(high, 0x5A);
        EXPECT_FALSE(link.WriteInstruction(0xAC, 0xA8, 0x00, 0xE0)) << "the handle stays failed";
    }
    EXPECT_EQ(line.Board().HighFuse(), 0xF7);
}

// A missing answer byte costs one read call of the port's 205 ms, not a second one.
TEST(Instructions, MissingAnswerCostsOneReadCall)
{
    BoardLine line({"--chip", "ATtiny26"});
    line.KeepsErrorCounts = false; // so an overrun loses a byte without a trace
    TAVRFlash link(line.Opener());
    ASSERT_TRUE(link.Connect(1));
    line.Settle();
    line.DamageAnswer(1, BoardLine::Damage::Overrun); // the answer after "+"
    line.DamageAnswer(2, BoardLine::Damage::Overrun); // and the "!"
    QElapsedTimer timer;
    timer.start();
    std::uint8_t fuse = 0;
    EXPECT_FALSE(link.ReadInstruction(0x50, 0x00, 0x00, fuse));
    EXPECT_GE(timer.elapsed(), 200);
    EXPECT_LT(timer.elapsed(), 400);
}

TEST(Instructions, ReadAndWriteTheFuseBytes)
{
    Connected board({"--chip", "ATtiny26", "--fuses", "0xE1,0xF7", "--bad-ack", "D:1"});
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    EXPECT_TRUE(board.Link.ReadInstruction(0x50, 0x00, 0x00, low));
    EXPECT_TRUE(board.Link.ReadInstruction(0x58, 0x08, 0x00, high));
    EXPECT_EQ(low, 0xE1);
    EXPECT_EQ(high, 0xF7);

    EXPECT_FALSE(board.Link.WriteInstruction(0xAC, 0xA0, 0x00, 0x5F)) << "refused by the board";
    EXPECT_EQ(board.Sim.Fuses().Low, 0xE1);
    EXPECT_TRUE(board.Link.WriteInstruction(0xAC, 0xA8, 0x00, 0xF5));
    EXPECT_EQ(board.Sim.Fuses().High, 0xF5);
    EXPECT_EQ(board.Sim.Frames().mid(10),
              QStringList({"d 50 00 00 00", "d 58 08 00 00", "D AC A0 00 5F", "D AC A8 00 F5"}));
}

TEST(RemainingTime, EstimatesFromTheElapsedTime)
{
    const struct
    {
        std::int32_t Elapsed;
        double Fraction;
        QString Remaining;
    } cases[] = {
        {10000, 0.5, "0:00:10"},       {10000, 0.25, "0:00:30"}, {65000, 0.5, "0:01:05"},
        {3000, 1.0 / 3601, "3:00:00"}, {10000, 1.01, "0:00:00"}, // past the end
        {200000, 1.01, "0:00:00"},                               // and never below it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Fraction);
        EXPECT_EQ(EstimateRemainingTime(c.Elapsed, c.Fraction), c.Remaining);
    }
    EXPECT_EQ(FormatRemainingTime(3 * 3600 + 7), "3:00:07");
}
