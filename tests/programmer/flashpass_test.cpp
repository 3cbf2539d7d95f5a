#include "programmer/flashpass.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "programmer/devicetable.h"
#include "programmer/flashtexts.h"
#include "support/boardsim.h"
#include "support/tempdir.h"

namespace {

const int ATtiny26 = *DeviceByName("ATtiny26");
const int AT90S8515 = *DeviceByName("AT90S8515");

// A pass on an ATtiny26 board on the in-process line, which it finds as COM1.
struct LinePass
{
    explicit LinePass(const QStringList& board = {})
        : Line(QStringList{"--chip", "ATtiny26"} + board)
    {}

    FlashResult Run(const QByteArray& image, std::optional<int> target = std::nullopt)
    {
        return Pass.Run(Dir.Write(QStringLiteral("image.bin"), image),
                        PortChoice{-1, {}, Line.Opener()}, target);
    }

    // Whether the chip holds the image's first words and nothing after them.
    bool Holds(const QByteArray& image, int words)
    {
        const std::vector<std::uint16_t>& flash = Line.Board().Flash();
        for (int i = 0; i < int(flash.size()); ++i) {
            const int word = i < words
                                 ? std::uint8_t(image[2 * i]) | std::uint8_t(image[2 * i + 1]) << 8
                                 : 0xFFFF;
            if (flash[std::size_t(i)] != word)
                return false;
        }
        return true;
    }

    TempDir Dir;
    BoardLine Line;
    FlashPass Pass;
};

} // namespace

TEST(FlashPass, EachOutcomeNamesItsByteAndLeavesProgrammingMode)
{
    const struct
    {
        QStringList Board;
        int Bytes;
        FlashResult::Kind Kind;
        QString Text;
        QStringList LastFrames;
    } cases[] = {
        {{}, 200, FlashResult::Done, "Fertig.", {"f 00 00 64 00", "M 00 00 00 00"}},
        {{"--no-ack", "C"},
         200,
         FlashResult::WriteFailed,
         "Schreibfehler bei Byte 0.",
         {"C 00 00 00 00", "M 00 00 00 00"}},
        {{"--no-done", "P:2"},
         200,
         FlashResult::WriteFailed,
         "Schreibfehler bei Byte 32.",
         {"P 10 00 10 00", "M 00 00 00 00"}},
        {{"--bad-ack", "P:3"},
         200,
         FlashResult::WriteFailed,
         "Schreibfehler bei Byte 64.",
         {"P 20 00 10 00", "M 00 00 00 00"}},
        {{"--short-read", "1"},
         600,
         FlashResult::ReadFailed,
         "Lesefehler bei Byte 128.",
         {"f 00 00 80 00", "M 00 00 00 00"}},
        {{"--no-done", "f:2"},
         600,
         FlashResult::ReadFailed,
         "Lesefehler bei Byte 256.",
         {"f 80 00 80 00", "M 00 00 00 00"}},
        {{"--corrupt", "5:0xFF00"},
         400,
         FlashResult::Mismatch,
         "Fehler bei Byte 10",
         {"f 80 00 48 00", "M 00 00 00 00"}},
        {{"--signature", "0x123456"},
         400,
         FlashResult::NotFound,
         "Nicht gefunden!",
         {"s 02 00 00 00", "M 00 00 00 00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        LinePass pass(c.Board);
        const FlashResult result = pass.Run(ImageBytes(c.Bytes), ATtiny26);
        EXPECT_EQ(result.Outcome, c.Kind);
        EXPECT_EQ(result.Text, c.Text);
        EXPECT_EQ(result.DeniedDevice, QString());
        EXPECT_EQ(pass.Line.Frames().mid(pass.Line.Frames().size() - 2), c.LastFrames);
    }
}

TEST(FlashPass, AnUnreadableImageIsNoReasonToSearch)
{
    LinePass pass;
    const QString missing = pass.Dir.Path(QStringLiteral("missing.bin"));
    for (const QString& image : {pass.Dir.Write(QStringLiteral("empty.bin"), {}),
                                 pass.Dir.Write(QStringLiteral("odd.bin"), "\x01"), missing}) {
        SCOPED_TRACE(image.toStdString());
        const FlashResult result = pass.Pass.Run(image, PortChoice{-1, {}, pass.Line.Opener()});
        EXPECT_EQ(result.Outcome, FlashResult::Unreadable);
        EXPECT_EQ(result.Text, "Could not open input file for flashing!");
    }
    EXPECT_EQ(pass.Line.Frames(), QStringList());
}

TEST(FlashPass, NotFoundNamesTheFirstPortTheSystemRefused)
{
    const auto refusing = [](int port) {
        return PortOpening{nullptr, port == 2 ? PortRefusal::InUse : PortRefusal::NoAccess,
                           QStringLiteral("/dev/ttyS%1").arg(port)};
    };
    LinePass pass;
    const FlashResult result =
        pass.Pass.Run(pass.Dir.Write(QStringLiteral("a.bin"), "ab"), PortChoice{-1, {}, refusing});
    EXPECT_EQ(result.Outcome, FlashResult::NotFound);
    EXPECT_EQ(result.Text, "Nicht gefunden!");
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
        FlashResult::Kind Kind;
        int Words; // on the chip afterwards
    } cases[] = {
        {2048, ATtiny26, {}, {}, FlashResult::Done, 1024},
        {201, ATtiny26, {}, {}, FlashResult::Done, 100},
        {2050, ATtiny26, {false}, {size}, FlashResult::Declined, 0},
        {2050, ATtiny26, {true}, {size}, FlashResult::Done, 1024},
        {100, AT90S8515, {false}, {target}, FlashResult::Declined, 0},
        {100, AT90S8515, {true}, {target}, FlashResult::Done, 50},
        {100, std::nullopt, {}, {}, FlashResult::Done, 50},
        {100, 0, {true}, {target}, FlashResult::Done, 50},
        {2100, 0, {true, false}, {target, size}, FlashResult::Declined, 0},
        {2100, 0, {true, true}, {target, size}, FlashResult::Done, 1024},
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
        EXPECT_EQ(pass.Line.Frames('C').size(), c.Kind == FlashResult::Declined ? 0 : 1);
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
    std::vector<double> written;
    std::vector<double> read;
    pass.Pass.OnProgress = [&](FlashPhase phase, double percent, const QString&) {
        (phase == FlashPhase::Programming ? written : read).push_back(percent);
    };
    ASSERT_EQ(pass.Run(ImageBytes(600)).Outcome, FlashResult::Done);
    EXPECT_EQ(said, QStringList({"SW 9 auf HW 8 an COM1 gefunden.", "ATtiny26, 2K Flash, paged",
                                 "programming", "verifying"}));
    EXPECT_EQ(written.size(), 19u) << "one report per page of 16 words";
    EXPECT_EQ(read.size(), 3u) << "one per block of 128 words";
    EXPECT_DOUBLE_EQ(read.back(), 301.0 / 300 * 100);
}

// Ctrl+C in quennor-flash: the block in progress ends, then the chip leaves programming mode.
TEST(FlashPass, CancelEndsBetweenBlocks)
{
    const struct
    {
        int After; // progress reports before the cancel
        int Pages;
        int Reads;
    } cases[] = {{0, 0, 0}, {2, 2, 0}, {19, 19, 0}, {20, 19, 1}};
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
        const FlashResult result = pass.Run(ImageBytes(600));
        EXPECT_EQ(result.Outcome, FlashResult::Cancelled);
        EXPECT_EQ(result.Text, QString());
        EXPECT_EQ(pass.Line.Frames('P').size(), c.Pages);
        EXPECT_EQ(pass.Line.Frames('f').size(), c.Reads);
        const QStringList frames = pass.Line.Frames();
        EXPECT_EQ(frames.isEmpty() ? QString() : frames.last(),
                  c.After > 0 ? "M 00 00 00 00" : QString());
    }
}
