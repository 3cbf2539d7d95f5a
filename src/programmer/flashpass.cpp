#include "programmer/flashpass.h"

#include <algorithm>

#include "platform/files.h"
#include "programmer/flashtexts.h"

FlashResult FlashPass::Run(const QString& fileName, const PortChoice& port,
                           std::optional<int> target)
{
    if (!LoadImage(fileName))
        return {FlashResult::Unreadable, FlashTexts::Unreadable()};
    TAVRFlash& link = FLink.emplace(port.Opener());
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
    const int imageWords = int(FImage.size());
    if ((target && *target != link.Device && !Ask(FlashTexts::TargetQuestion())) ||
        (link.FlashWords() < imageWords && !Ask(FlashTexts::SizeQuestion())))
        return {FlashResult::Declined};
    return Transfer(link, std::min(imageWords, link.FlashWords()));
}

// Only regular files: a FIFO would block the pass and a device would never end.
bool FlashPass::LoadImage(const QString& fileName)
{
    const std::optional<QByteArray> read = ReadRegularFile(fileName, qint64(MaxImageWords) * 2);
    FImage.clear();
    if (!read)
        return false;
    const QByteArray& bytes = *read;
    FImage.resize(std::size_t(bytes.size() / 2));
    for (std::size_t i = 0; i < FImage.size(); ++i)
        FImage[i] = std::uint16_t(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
    return !FImage.empty();
}

void FlashPass::Begin(FlashPhase phase)
{
    FPhase = phase;
    if (OnPhase)
        OnPhase(phase);
}

FlashResult FlashPass::Transfer(TAVRFlash& link, int count)
{
    if (StopRequested())
        return {FlashResult::Cancelled};
    Begin(FlashPhase::Programming);
    const int written = link.ProgramFlash(FImage.data(), count);
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
    const auto difference = std::mismatch(chip.begin(), chip.end(), FImage.begin());
    if (difference.first != chip.end())
        return {FlashResult::Mismatch,
                FlashTexts::Mismatch(int(difference.first - chip.begin()) * 2)};
    return {FlashResult::Done, FlashTexts::Finished()};
}
