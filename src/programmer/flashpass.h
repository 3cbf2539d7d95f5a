#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include "programmer/avrflash2.h"
#include "programmer/portchoice.h"

struct FlashImage;
struct PortAttempt;

enum class FlashPhase
{
    Programming,
    Verifying,
    Reading
};

// How a pass ended, with the text that says so (empty where there is nothing to say).
struct FlashResult
{
    enum Kind
    {
        Done,
        Unreadable,  // the image file could not be read, or holds no whole word
        NotFound,    // no board, or its chip is unknown
        Declined,    // a question was answered no
        WriteFailed, // erase or write not acknowledged
        ReadFailed,  // read-back incomplete
        Mismatch,    // read-back differs from the image
        Cancelled
    };
    Kind Outcome = Done;
    QString Text = {};
    QString DeniedDevice = {}; // NotFound: the first port the system refused to this user
    QString Problem = {};      // Unreadable: the path and why it gives no image
};

// One programming pass as the flash dialog and quennor-flash run it: load the image, find the
// board, identify the chip, ask before flashing a chip other than the target or an image larger
// than its flash, erase and write, read back and compare. quennor-flash also compares or reads
// the flash alone. It shows nothing itself: it reports through its callbacks, called on the
// caller's thread, and its result. The chip stays in programming mode until Disconnect or the end
// of the object, so that the caller can say how the pass ended before the board is asked to leave
// it, which takes seconds without its answer.
class FlashPass final
{
public:
    // The board line and the chip line, once the board has been found.
    std::function<void(const QString& board, const QString& device)> OnFound;
    // True goes on as "Ja" does; without a handler every question is answered no.
    std::function<bool(const QString& question)> OnQuestion;
    // Each port the search has tried, as soon as it is done with it.
    std::function<void(const PortAttempt& attempt)> OnPortTried;
    // A phase begins: the chip is erased and written, or read back.
    std::function<void(FlashPhase phase)> OnPhase;
    // After each block: percentage done and the estimated time left ("h:mm:ss").
    std::function<void(FlashPhase phase, double percent, const QString& remaining)> OnProgress;
    // Asked before each port of the search and each block; true ends the pass once the block
    // or the erase in progress has finished, and leaves programming mode.
    std::function<bool()> CancelRequested;

    // A target of nothing asks no target question; row 0 of the device table always asks.
    FlashResult Run(const QString& fileName, const PortChoice& port,
                    std::optional<int> target = std::nullopt);
    FlashResult Run(const FlashImage& image, const PortChoice& port,
                    std::optional<int> target = std::nullopt);
    // Compares the chip's flash with the image, erasing and writing nothing.
    FlashResult Verify(const FlashImage& image, const PortChoice& port,
                       std::optional<int> target = std::nullopt);
    // The first words of the flash (the whole flash for -1, at most the whole) into flash.
    FlashResult Read(const PortChoice& port, std::optional<int> target, int words,
                     std::vector<std::uint16_t>& flash);
    // Takes the chip out of programming mode and gives the port back.
    void Disconnect() { FLink.reset(); }

private:
    bool Ask(const QString& question) const { return OnQuestion && OnQuestion(question); }
    bool StopRequested() const { return CancelRequested && CancelRequested(); }
    void Follow(TAVRFlash& link);
    // Opens the link through the port's opener, finds the board and asks the questions the chip
    // and the image raise: nothing when the pass goes on on FLink, otherwise how it ended.
    std::optional<FlashResult> Open(const PortChoice& port, std::optional<int> target,
                                    int imageWords);
    void Begin(FlashPhase phase);
    FlashResult Program(TAVRFlash& link, const std::vector<std::uint16_t>& image, int count);
    FlashResult Compare(TAVRFlash& link, const std::vector<std::uint16_t>& image, int count);

    FlashPhase FPhase = FlashPhase::Programming;
    std::optional<TAVRFlash> FLink;
};
