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
    TAVRFlash link(port.Opener());
    link.CancelRequested = CancelRequested;
    link.OnProgress = [this](double percent, const QString& remaining) {
        if (OnProgress)
            OnProgress(FPhase, percent, remaining);
    };
    if (!link.Connect(port.ConnectPort())) {
        if (StopRequested())
            return {FlashResult::Cancelled};
        return {FlashResult::NotFound, FlashTexts::NotFound(), link.DeniedDevice};
    }
    if (OnFound)
        OnFound(FlashTexts::BoardLine(link.SWVersion, link.HWVersion, port.Place(link.Port)),
                FlashTexts::DeviceLine(link.Device));
    const int imageWords = int(image.Words.size());
    if ((target && *target != link.Device && !Ask(FlashTexts::TargetQuestion())) ||
        (link.FlashWords() < imageWords && !Ask(FlashTexts::SizeQuestion())))
        return {FlashResult::Declined};
    return Transfer(link, image.Words, std::min(imageWords, link.FlashWords()));
}

void FlashPass::Begin(FlashPhase phase)
{
    FPhase = phase;
    if (OnPhase)
        OnPhase(phase);
}

FlashResult FlashPass::Transfer(TAVRFlash& link, const std::vector<std::uint16_t>& image, int count)
{
    if (StopRequested())
        return {FlashResult::Cancelled};
    Begin(FlashPhase::Programming);
    const int written = link.ProgramFlash(image.data(), count);
    if (StopRequested())
        return {FlashResult::Cancelled};
    if (written != count)
        return {FlashResult::WriteFailed, FlashTexts::WriteError(written * 2)};

    Begin(FlashPhase::Verifying);
    std::vector<std::uint16_t> chip(static_cast<std::size_t>(count));
    const int read = link.ReadFlash(chip.data(), count);
    if (StopRequested())
        return {FlashResult::Cancelled};
    if (read != count)
        return {FlashResult::ReadFailed, FlashTexts::ReadError(read * 2)};
    const auto difference = std::mismatch(chip.begin(), chip.end(), image.begin());
    if (difference.first != chip.end())
        return {FlashResult::Mismatch,
                FlashTexts::Mismatch(int(difference.first - chip.begin()) * 2)};
    return {FlashResult::Done, FlashTexts::Finished()};
}
