#include "programmer/flashpass.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "programmer/devicetable.h"
#include "programmer/flashtexts.h"
#include "support/boardsim.h"
#include "support/tempdir.h"

namespace {

using R = FlashResult;
const int ATtiny26 = *DeviceByName("ATtiny26");
const int AT90S8515 = *DeviceByName("AT90S8515");

// A pass on an ATtiny26 board on the in-process line, which it finds as COM1.
struct LinePass
{
    explicit LinePass(const QStringList& board = {})
        : Line(QStringList{"--chip", "ATtiny26"} + board)
    {}

    FlashResult Run(const QByteArray& image, std::optional<int> target = std::nullopt,
                    const PortOpener& ports = {})
    {
        return Pass.Run(Dir.Write(QStringLiteral("image.bin"), image),
                        PortChoice{-1, {}, ports ? ports : Line.Opener()}, target);
    }

    // Whether the chip holds the image's first words and is erased after them.
    bool Holds(const QByteArray& image, int words)
    {
        const std::vector<std::uint16_t>& flash = Line.Board().Flash();
        for (int i = 0; i < int(flash.size()); ++i)
            if (flash[std::size_t(i)] !=
                (i < words ? std::uint8_t(image[2 * i]) | std::uint8_t(image[2 * i + 1]) << 8
                           : 0xFFFF))
                return false;
        return true;
    }

    TempDir Dir;
    BoardLine Line;
    FlashPass Pass;
};

} // namespace

// Every pass that reached the board ends by taking the chip out of programming mode, once the
// caller has said how it ended.
TEST(FlashPass, EachOutcomeNamesItsByte)
{
    const QString unreadable = QStringLiteral("Could not open input file for flashing!");
    const struct
    {
        QStringList Board;
        int Bytes;
        R::Kind Kind;
        QString Text;
        QString LastWork; // the frame before "M 00 00 00 00"; empty when the board saw none
    } cases[] = {
        {{}, 0, R::Unreadable, unreadable, ""},
        {{}, 1, R::Unreadable, unreadable, ""},
        {{}, 200, R::Done, "Fertig.", "f 00 00 64 00"},
        {{"--no-ack", "C"}, 200, R::WriteFailed, "Schreibfehler bei Byte 0.", "C 00 00 00 00"},
        {{"--no-done", "P:2"}, 200, R::WriteFailed, "Schreibfehler bei Byte 32.", "P 10 00 10 00"},
        {{"--bad-ack", "P:3"}, 200, R::WriteFailed, "Schreibfehler bei Byte 64.", "P 20 00 10 00"},
        {{"--short-read", "1"}, 600, R::ReadFailed, "Lesefehler bei Byte 128.", "f 00 00 80 00"},
        {{"--no-done", "f:2"}, 600, R::ReadFailed, "Lesefehler bei Byte 256.", "f 80 00 80 00"},
        {{"--corrupt", "5:0xFF00"}, 400, R::Mismatch, "Fehler bei Byte 10", "f 80 00 48 00"},
        {{"--signature", "0x123456"}, 400, R::NotFound, "Nicht gefunden!", "s 02 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        LinePass pass(c.Board);
        const FlashResult result = pass.Run(ImageBytes(c.Bytes), ATtiny26);
        EXPECT_EQ(result.Outcome, c.Kind);
        EXPECT_EQ(result.Text, c.Text);
        const bool connected = c.Kind != R::Unreadable && c.Kind != R::NotFound;
        EXPECT_EQ(pass.Line.Frames().endsWith(c.LastWork), connected) << "still connected";
        pass.Pass.Disconnect();
        const QStringList frames = pass.Line.Frames();
        EXPECT_EQ(
            frames.mid(frames.size() - 2),
            (c.LastWork.isEmpty() ? QStringList() : QStringList{c.LastWork, "M 00 00 00 00"}));
    }
}

TEST(FlashPass, NotFoundNamesTheFirstPortTheSystemRefused)
{
    const FlashResult result = LinePass().Run(ImageBytes(2), ATtiny26, [](int port) {
        return PortOpening{nullptr, port == 2 ? PortRefusal::InUse : PortRefusal::NoAccess,
                           QStringLiteral("/dev/ttyS%1").arg(port)};
    });
    EXPECT_EQ(result.Outcome, R::NotFound);
    EXPECT_EQ(result.DeniedDevice, "/dev/ttyS1");
}

// Only "Ja" goes on; the words that fit are written, the odd byte at the end makes no word.
TEST(FlashPass, QuestionsDecideAndTheWordsThatFitAreWritten)
{
    const QString target = FlashTexts::TargetQuestion();
    const QString size = FlashTexts::SizeQuestion();
    const struct
    {
        int Bytes;
        std::optional<int> Target;
        std::vector<bool> Answers;
        QStringList Asked;
        R::Kind Kind;
        int Words; // on the chip afterwards
    } cases[] = {
        {2048, ATtiny26, {}, {}, R::Done, 1024},
        {201, ATtiny26, {}, {}, R::Done, 100},
        {2050, ATtiny26, {false}, {size}, R::Declined, 0},
        {2050, ATtiny26, {true}, {size}, R::Done, 1024},
        {100, AT90S8515, {false}, {target}, R::Declined, 0},
        {100, AT90S8515, {true}, {target}, R::Done, 50},
        {100, std::nullopt, {}, {}, R::Done, 50},
        {100, 0, {true}, {target}, R::Done, 50},
        {2100, 0, {true, false}, {target, size}, R::Declined, 0},
        {2100, 0, {true, true}, {target, size}, R::Done, 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Bytes << " bytes, target " << c.Target.value_or(-1));
        LinePass pass;
        QStringList asked;
        pass.Pass.OnQuestion = [&](const QString& question) {
            asked << question;
            return asked.size() <= int(c.Answers.size()) && c.Answers[asked.size() - 1];
        };
        const QByteArray image = ImageBytes(c.Bytes);
        EXPECT_EQ(pass.Run(image, c.Target).Outcome, c.Kind);
        EXPECT_EQ(asked, c.Asked);
        EXPECT_TRUE(pass.Holds(image, c.Words));
        EXPECT_EQ(pass.Line.Frames('C').size(), c.Kind == R::Declined ? 0 : 1);
    }
}

TEST(FlashPass, ReportsTheBoardThePhasesAndEachBlock)
{
    LinePass pass({"--sw", "SW 9", "--hw", "HW 8"});
    QStringList said;
    pass.Pass.OnFound = [&](const QString& board, const QString& device) {
        said << board << device;
    };
    pass.Pass.OnPhase = [&](FlashPhase phase) {
        said << (phase == FlashPhase::Programming ? "programming" : "verifying");
    };
    std::vector<double> percents[2];
    pass.Pass.OnProgress = [&](FlashPhase phase, double percent, const QString&) {
        percents[phase == FlashPhase::Verifying].push_back(percent);
    };
    ASSERT_EQ(pass.Run(ImageBytes(600)).Outcome, R::Done);
    EXPECT_EQ(said, QStringList({"SW 9 auf HW 8 an COM1 gefunden.", "ATtiny26, 2K Flash, paged",
                                 "programming", "verifying"}));
    EXPECT_EQ(percents[0].size(), 19u) << "one report per page of 16 words";
    EXPECT_EQ(percents[1].size(), 3u) << "one per block of 128 words";
    EXPECT_DOUBLE_EQ(percents[1].back(), 301.0 / 300 * 100);
}

// Ctrl+C in quennor-flash: the block in progress ends, then the chip leaves programming mode.
// A stop that comes once the last block is read is too late to stop anything.
TEST(FlashPass, CancelEndsBetweenBlocks)
{
    const struct
    {
        int After; // progress reports before the cancel
        int Pages;
        int Reads;
        R::Kind Kind;
    } cases[] = {{0, 0, 0, R::Cancelled},
                 {2, 2, 0, R::Cancelled},
                 {19, 19, 0, R::Cancelled},
                 {20, 19, 1, R::Cancelled},
                 {22, 19, 3, R::Done}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.After);
        LinePass pass;
        int reports = 0;
        pass.Pass.OnProgress = [&](FlashPhase, double, const QString&) {
            ++reports;
        };
        pass.Pass.CancelRequested = [&] {
            return reports == c.After;
        };
        EXPECT_EQ(pass.Run(ImageBytes(600)).Outcome, c.Kind);
        pass.Pass.Disconnect();
        EXPECT_EQ(pass.Line.Frames('P').size(), c.Pages);
        EXPECT_EQ(pass.Line.Frames('f').size(), c.Reads);
        EXPECT_EQ(pass.Line.Frames().mid(pass.Line.Frames().size() - 1),
                  (c.After > 0 ? QStringList{"M 00 00 00 00"} : QStringList()));
    }
}
