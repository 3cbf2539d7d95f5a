// A full ATmega103 pass (erase, 65536 words written, then read back), twice: against the board
// simulator paced at 115200 baud on a pseudo-terminal, and through a fake line with modem lines
// that keeps CTS on and drains the driver's queue at the wire rate (where the port holds its
// queue short for CTS). Each prints the measured time, the time the bytes of the pass need on
// the wire in both directions at 11520 bytes/s, and their ratio. Then a board unplugged during
// the erase: how long after the unplug the link gave up, and the processor's share of the wait.
#include <cstdio>
#include <ctime>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "programmer/avrflash2.h"
#include "programmer/devicetable.h"
#include "support/boardsim.h"

namespace {

constexpr double WireBytesPerSecond = 11520;
constexpr int FrameBytes = 5;
constexpr int AckAndDoneBytes = 2;
constexpr int UnplugAfterMs = 500;

// Every byte of the pass: the erase frame with its answers, and per block its frame, answers
// and data, once for writing and once for reading.
double WireBytes(int words, int writeBlock, int readBlock)
{
    const int writeBlocks = (words + writeBlock - 1) / writeBlock;
    const int readBlocks = (words + readBlock - 1) / readBlock;
    return FrameBytes + AckAndDoneBytes +
           (writeBlocks + readBlocks) * (FrameBytes + AckAndDoneBytes) + 2.0 * 2 * words;
}

// The ratio of the measured pass to its wire time, or a negative number when it failed.
double Pass(TAVRFlash& link, const char* title)
{
    if (!link.Connect(1)) {
        std::fprintf(stderr, "%s: no board on COM1\n", title);
        return -1;
    }
    const int words = link.FlashWords();
    std::vector<std::uint16_t> image(static_cast<std::size_t>(words));
    for (int i = 0; i < words; ++i)
        image[std::size_t(i)] = std::uint16_t(std::uint32_t(i) * 0x9E37u + 0x1234u);
    std::vector<std::uint16_t> back(image.size());

    QElapsedTimer timer;
    timer.start();
    const int written = link.ProgramFlash(image.data(), words);
    const int read = link.ReadFlash(back.data(), words);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (written != words || read != words || back != image) {
        std::fprintf(stderr, "%s: pass failed, %d words written, %d read\n", title, written, read);
        return -1;
    }
    const double limit =
        WireBytes(words, DeviceTable[link.Device].PageWords, 128) / WireBytesPerSecond;
    std::printf("%s: %d words written and read back\n", title, words);
    std::printf("  measured  %8.3f s\n", seconds);
    std::printf("  wire time %8.3f s\n", limit);
    std::printf("  ratio     %8.3f\n", seconds / limit);
    return seconds / limit;
}

// A pulled cable must end the 8 s erase wait at once, not spin through it.
bool Unplug()
{
    BoardSim sim(
        {"--chip", "ATmega103", "--erase-ms", QString::number(UnplugAfterMs), "--unplug", "C"});
    sim.MapAsPort(1);
    TAVRFlash link;
    if (!link.Connect(1)) {
        std::fprintf(stderr, "unplug: no simulated board on COM1\n");
        return false;
    }
    const std::vector<std::uint16_t> image(16, 0);
    QElapsedTimer timer;
    timer.start();
    const std::clock_t processor = std::clock();
    const int written = link.ProgramFlash(image.data(), int(image.size()));
    const double busy = double(std::clock() - processor) / CLOCKS_PER_SEC;
    const double waited = double(timer.nsecsElapsed()) / 1e9;
    std::printf("board unplugged %d ms into the erase wait of 8 s (%d words written)\n",
                UnplugAfterMs, written);
    std::printf("  given up after     %8.3f s (%.3f s after the unplug)\n", waited,
                waited - UnplugAfterMs / 1000.0);
    std::printf("  processor share   %8.1f %%\n", 100 * busy / waited);
    return written == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    {
        BoardSim sim({"--chip", "ATmega103", "--pace", "115200"});
        sim.MapAsPort(1);
        TAVRFlash link;
        if (Pass(link, "simulator at 115200 baud") < 0)
            return 1;
    }
    BoardLine line({"--chip", "ATmega103"});
    TAVRFlash link(line.Opener());
    if (Pass(link, "line with modem lines, CTS on") < 0)
        return 1;
    return Unplug() ? 0 : 1;
}
