#include "board.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include "programmer/devicetable.h"
#include "support/tempdir.h"

namespace {

SimulatedBoard Board(const char* chip)
{
    const TDeviceInfo& row = DeviceTable[*DeviceByName(chip)];
    BoardOptions options;
    options.Signature = row.Signature;
    options.FlashWords = row.FlashWords;
    options.PageWords = row.PageWords;
    return SimulatedBoard(options);
}

// Sends one frame, and the data of a block write, and returns what the board answers.
std::string Exchange(SimulatedBoard& board, char letter, std::uint8_t b1 = 0, std::uint8_t b3 = 0,
                     const std::vector<std::uint16_t>& words = {})
{
    for (const std::uint8_t byte : {std::uint8_t(letter), b1, std::uint8_t(0), b3, std::uint8_t(0)})
        board.Receive(byte);
    for (const std::uint16_t word : words) {
        board.Receive(std::uint8_t(word));
        board.Receive(std::uint8_t(word >> 8));
    }
    std::string answer;
    for (const BoardOutput& output : board.Output())
        if (output.Byte >= 0)
            answer += char(output.Byte);
    board.Output().clear();
    return answer;
}

int RunSimulator(const QString& link)
{
    QProcess simulator;
    simulator.start(QStringLiteral(QUENNOR_BINARY_DIR "/quennor-boardsim"),
                    {QStringLiteral("--link"), link});
    if (!simulator.waitForReadyRead(5000)) {
        simulator.waitForFinished(5000);
        return simulator.exitCode();
    }
    simulator.terminate();
    simulator.waitForFinished(5000);
    return simulator.exitCode();
}

} // namespace

TEST(BoardSimulator, RefusesChipCommandsOutsideProgrammingMode)
{
    SimulatedBoard board = Board("AT90S2313");
    EXPECT_EQ(Exchange(board, 'v', 1), std::string("+SW 2.1\0!", 9));
    for (const char letter : {'s', 'C', 'F', 'f', 'D', 'd'}) {
        SCOPED_TRACE(letter);
        EXPECT_EQ(Exchange(board, letter), "?");
    }
    EXPECT_EQ(Exchange(board, 'M', 1), "+!");
    EXPECT_EQ(Exchange(board, 's', 0), "+\x1E!");
    EXPECT_EQ(Exchange(board, 'M', 0), "+!");
    EXPECT_EQ(Exchange(board, 'C'), "?");
}

TEST(BoardSimulator, RefusesTheBlockLetterThatDoesNotFitTheChip)
{
    SimulatedBoard paged = Board("ATtiny26");
    Exchange(paged, 'M', 1);
    EXPECT_EQ(Exchange(paged, 'F', 0, 1), "?");
    EXPECT_EQ(Exchange(paged, 'P', 0, 1, {0x1234}), "+!");

    SimulatedBoard wordWise = Board("AT90S2313");
    Exchange(wordWise, 'M', 1);
    EXPECT_EQ(Exchange(wordWise, 'P', 0, 1), "?");
    EXPECT_EQ(Exchange(wordWise, 'F', 0, 1, {0x1234}), "+!");
}

TEST(BoardSimulator, FlashTakesOnlyClearedBitsUntilErased)
{
    SimulatedBoard board = Board("AT90S2313");
    Exchange(board, 'M', 1);
    EXPECT_EQ(Exchange(board, 'F', 0, 2, {0x1234, 0xFFFF}), "+!");
    EXPECT_EQ(Exchange(board, 'F', 0, 2, {0xFF00, 0x0F0F}), "+!");
    EXPECT_EQ(board.Flash()[0], 0x1200);
    EXPECT_EQ(board.Flash()[1], 0x0F0F);
    EXPECT_EQ(Exchange(board, 'C'), "+!");
    EXPECT_EQ(std::count(board.Flash().begin(), board.Flash().end(), 0xFFFF), 1024);
}

TEST(BoardSimulator, LinkReplacesOnlyWhatASimulatorLeft)
{
    TempDir dir;
    const QString source = dir.Write(QStringLiteral("blink.c"), "int main() {}\n");
    EXPECT_NE(RunSimulator(source), 0);
    EXPECT_EQ(TempDir::Read(source), "int main() {}\n") << "a file of the user's stays";

    const QString usersLink = dir.Path(QStringLiteral("current.c"));
    ASSERT_TRUE(QFile::link(source, usersLink));
    EXPECT_NE(RunSimulator(usersLink), 0);
    EXPECT_EQ(QFile::symLinkTarget(usersLink), source) << "so does a link of the user's";

    const QString leftOver = dir.Path(QStringLiteral("board"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/pts/99999"), leftOver));
    EXPECT_EQ(RunSimulator(leftOver), 0) << "a link whose terminal is gone is replaced";
    EXPECT_TRUE(QFile::symLinkTarget(leftOver).isEmpty()) << "and removed at the end";
}
