// A full ATmega103 pass (erase, 65536 words written, then read back) against the board
// simulator paced at 115200 baud. Prints the measured time, the time the bytes of the pass need
// on the wire in both directions at 11520 bytes/s, and their ratio.
#include <cstdio>
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

// Every byte of the pass: the erase frame with its answers, and per block its frame, answers
// and data, once for writing and once for reading.
double WireBytes(int words, int writeBlock, int readBlock)
{
    const int writeBlocks = (words + writeBlock - 1) / writeBlock;
    const int readBlocks = (words + readBlock - 1) / readBlock;
    return FrameBytes + AckAndDoneBytes +
           (writeBlocks + readBlocks) * (FrameBytes + AckAndDoneBytes) + 2.0 * 2 * words;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    BoardSim sim({"--chip", "ATmega103", "--pace", "115200"});
    sim.MapAsPort(1);
    TAVRFlash link;
    if (!link.Connect(1)) {
        std::fprintf(stderr, "no simulated board on COM1\n");
        return 1;
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
        std::fprintf(stderr, "pass failed: %d words written, %d read\n", written, read);
        return 1;
    }

    const double limit =
        WireBytes(words, DeviceTable[link.Device].PageWords, 128) / WireBytesPerSecond;
    std::printf("full ATmega103 pass at 115200 baud: %d words written and read back\n", words);
    std::printf("measured  %8.3f s\n", seconds);
    std::printf("wire time %8.3f s\n", limit);
    std::printf("ratio     %8.3f\n", seconds / limit);
    return 0;
}
