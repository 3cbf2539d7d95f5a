#include "programmer/flashpass.h"

#include <algorithm>

#include "programmer/avrflash2.h"
#include "programmer/flashimage.h"
#include "programmer/flashtexts.h"

FlashResult FlashPass::Run(const QString& fileName, const PortChoice& port,
                           std::optional<int> target)
{
    const ImageParse load = LoadImageFile(fileName);
    if (!load.Image)
        return {FlashResult::Unreadable, FlashTexts::Unreadable(), {}, load.Problem};
    return Run(*load.Image, port, target);
}

FlashResult FlashPass::Run(const FlashImage& image, const PortChoice& port,
                           std::optional<int> target)
{
    const int imageWords = int(image.Words.size());
    if (std::optional<FlashResult> end = Open(port, target, imageWords))
        return *end;
    TAVRFlash& link = *FLink;
    const int count = std::min(imageWords, link.FlashWords());
    const FlashResult programmed = Program(link, image.Words, count);
    return programmed.Outcome == FlashResult::Done ? Compare(link, image.Words, count) : programmed;
}

FlashResult FlashPass::Verify(const FlashImage& image, const PortChoice& port,
                              std::optional<int> target)
{
    const int imageWords = int(image.Words.size());
    if (std::optional<FlashResult> end = Open(port, target, imageWords))
        return *end;
    TAVRFlash& link = *FLink;
    return Compare(link, image.Words, std::min(imageWords, link.FlashWords()));
}

FlashResult FlashPass::Read(const PortChoice& port, std::optional<int> target, int words,
                            std::vector<std::uint16_t>& flash)
{
    if (std::optional<FlashResult> end = Open(port, target, 0))
        return *end;
    TAVRFlash& link = *FLink;
    const int count = words < 0 ? link.FlashWords() : std::min(words, link.FlashWords());
    Begin(FlashPhase::Reading);
    flash.assign(std::size_t(count), 0);
    const int read = link.ReadFlash(flash.data(), count);
    if (read == count)
        return {FlashResult::Done, FlashTexts::Finished()};
    if (StopRequested())
        return {FlashResult::Cancelled};
    return {FlashResult::ReadFailed, FlashTexts::ReadError(read * 2)};
}

void FlashPass::Follow(TAVRFlash& link)
{
    link.CancelRequested = CancelRequested;
    link.OnPortTried = OnPortTried;
    link.OnProgress = [this](double percent, const QString& remaining) {
        if (OnProgress)
            OnProgress(FPhase, percent, remaining);
    };
}

std::optional<FlashResult> FlashPass::Open(const PortChoice& port, std::optional<int> target,
                                           int imageWords)
{
    TAVRFlash& link = FLink.emplace(port.Opener());
    Follow(link);
    if (!link.Connect(port.ConnectPort())) {
        if (StopRequested())
            return FlashResult{FlashResult::Cancelled};
        return FlashResult{FlashResult::NotFound, FlashTexts::NotFound(), link.DeniedDevice};
    }
    if (OnFound)
        OnFound(FlashTexts::BoardLine(link.SWVersion, link.HWVersion, port.Place(link.Port)),
                FlashTexts::DeviceLine(link.Device));
    if ((target && *target != link.Device && !Ask(FlashTexts::TargetQuestion())) ||
        (link.FlashWords() < imageWords && !Ask(FlashTexts::SizeQuestion())))
        return FlashResult{FlashResult::Declined};
    if (StopRequested())
        return FlashResult{FlashResult::Cancelled};
    return std::nullopt;
}

void FlashPass::Begin(FlashPhase phase)
{
    FPhase = phase;
    if (OnPhase)
        OnPhase(phase);
}

FlashResult FlashPass::Program(TAVRFlash& link, const std::vector<std::uint16_t>& image, int count)
{
    Begin(FlashPhase::Programming);
    const int written = link.ProgramFlash(image.data(), count);
    // Stopped between writing and verifying: the image is on the chip, but nobody has seen it.
    if (StopRequested())
        return {FlashResult::Cancelled};
    if (written != count)
        return {FlashResult::WriteFailed, FlashTexts::WriteError(written * 2)};
    return {FlashResult::Done};
}

// A read that came to its end is compared even when a stop was asked for meanwhile: the work
// is done, and its result is what the user needs to know.
FlashResult FlashPass::Compare(TAVRFlash& link, const std::vector<std::uint16_t>& image, int count)
{
    Begin(FlashPhase::Verifying);
    std::vector<std::uint16_t> chip(static_cast<std::size_t>(count));
    const int read = link.ReadFlash(chip.data(), count);
    if (read != count)
        return StopRequested()
                   ? FlashResult{FlashResult::Cancelled}
                   : FlashResult{FlashResult::ReadFailed, FlashTexts::ReadError(read * 2)};
    const auto difference = std::mismatch(chip.begin(), chip.end(), image.begin());
    if (difference.first != chip.end())
        return {FlashResult::Mismatch,
                FlashTexts::Mismatch(int(difference.first - chip.begin()) * 2)};
    return {FlashResult::Done, FlashTexts::Finished()};
}
