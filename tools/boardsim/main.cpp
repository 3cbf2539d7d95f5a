// quennor-boardsim: a programming board with one chip on a pseudo-terminal. Prints
// "ready <device>" once the link exists; SIGTERM or SIGINT end it, and so does the end of the
// process that started it. SIGUSR1 writes the flash and a line with the fuses to the log.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "board.h"
#include "options.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often to look whether a program has opened the terminal again.
constexpr std::chrono::milliseconds AbsentRetry{5};

volatile std::sig_atomic_t Quit = 0;
volatile std::sig_atomic_t DumpRequested = 0;

void OnSignal(int signal)
{
    if (signal == SIGUSR1)
        DumpRequested = 1;
    else
        Quit = 1;
}

// The signals are blocked except while waiting, so none is lost between checks.
sigset_t CatchSignals()
{
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) {
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigaction(signal, &action, nullptr);
        sigaddset(&blocked, signal);
    }
    sigset_t waiting;
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    return waiting;
}

struct Terminal
{
    int Master = -1;
    std::string Device;
};

// The other side is set raw for any program that opens it, but not kept open: a program that
// looks for other users of a port would take the simulator for one.
bool OpenTerminal(Terminal& terminal)
{
    terminal.Master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (terminal.Master < 0 || grantpt(terminal.Master) != 0 || unlockpt(terminal.Master) != 0)
        return false;
    terminal.Device = ptsname(terminal.Master);
    const int slave = open(terminal.Device.c_str(), O_RDWR | O_NOCTTY);
    termios line{};
    bool raw = slave >= 0 && tcgetattr(slave, &line) == 0;
    if (raw) {
        cfmakeraw(&line);
        raw = tcsetattr(slave, TCSANOW, &line) == 0;
    }
    if (slave >= 0)
        close(slave);
    return raw;
}

// Where the link at path leads; empty when it is no symbolic link.
std::string LinkTarget(const std::string& path)
{
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, std::size_t(length)) : std::string();
}

// Only a link that an earlier simulator left behind is replaced: one into /dev/pts whose
// terminal is gone. Anything else at path stays, and the link cannot be made.
bool CreateLink(const std::string& path, const std::string& device)
{
    const std::string old = LinkTarget(path);
    struct stat node = {};
    if (old.starts_with("/dev/pts/") && stat(old.c_str(), &node) != 0)
        unlink(path.c_str());
    return symlink(device.c_str(), path.c_str()) == 0;
}

void RemoveLink(const std::string& path, const std::string& device)
{
    if (LinkTarget(path) == device)
        unlink(path.c_str());
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint16_t>& words)
{
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    for (const std::uint16_t word : words) {
        std::fputc(word & 0xFF, file);
        std::fputc(word >> 8, file);
    }
    const bool written = std::fclose(file) == 0;
    return written && std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Moves bytes between the pseudo-terminal and the board, at the wire rate when paced.
class Simulator
{
public:
    Simulator(SimulatorOptions options, const Terminal& terminal)
        : FOptions(std::move(options))
        , FBoard(FOptions.Board)
        , FMaster(terminal.Master)
        , FDevice(terminal.Device)
        , FByteTime(FOptions.Baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / FOptions.Baud)
                                      : std::chrono::nanoseconds(0))
    {
        if (!FOptions.Log.empty())
            FLog = std::fopen(FOptions.Log.c_str(), "a");
    }
    ~Simulator()
    {
        if (FLog)
            std::fclose(FLog);
        if (FMaster >= 0)
            HangUp();
    }

    void Run(const sigset_t& waiting);
    void Dump(const char* why);

private:
    bool ReadInput();
    void DeliverInput();
    void HangUp();
    void WriteOutput();
    void FlushLog();
    int TimeoutNanoseconds() const;

    SimulatorOptions FOptions;
    SimulatedBoard FBoard;
    int FMaster;
    std::string FDevice;
    std::chrono::nanoseconds FByteTime;
    FILE* FLog = nullptr;
    std::deque<std::pair<Clock::time_point, std::uint8_t>> FInput;
    Clock::time_point FInputWire = Clock::now();
    Clock::time_point FNextOutput = Clock::now();
    bool FOutputBlocked = false;
    bool FClientAbsent = false;
};

void Simulator::Dump(const char* why)
{
    if (!FOptions.FlashOut.empty())
        WriteFileAtomically(FOptions.FlashOut, FBoard.Flash());
    if (FLog) {
        std::fprintf(FLog, "# %s, fuses %02X %02X\n", why, FBoard.LowFuse(), FBoard.HighFuse());
        std::fflush(FLog);
    }
}

void Simulator::FlushLog()
{
    for (const std::string& line : FBoard.TakeLog())
        if (FLog)
            std::fprintf(FLog, "%s\n", line.c_str());
    if (FLog)
        std::fflush(FLog);
}

// False while no program has the terminal open: then the master reports nothing but the
// hang-up until one does.
bool Simulator::ReadInput()
{
    std::uint8_t buffer[4096];
    const ssize_t count = read(FMaster, buffer, sizeof buffer);
    const Clock::time_point now = Clock::now();
    for (ssize_t i = 0; i < count; ++i) {
        FInputWire = std::max(FInputWire, now) + FByteTime;
        FInput.emplace_back(FInputWire, buffer[i]);
    }
    return count > 0 || (count < 0 && errno == EAGAIN);
}

// The cable pulled: the terminal goes away, and with it the link to it.
void Simulator::HangUp()
{
    close(FMaster);
    FMaster = -1;
    FClientAbsent = false;
    RemoveLink(FOptions.Link, FDevice);
    FInput.clear();
    FBoard.Output().clear();
}

void Simulator::DeliverInput()
{
    const Clock::time_point now = Clock::now();
    while (!FInput.empty() && FInput.front().first <= now && FBoard.Reading()) {
        FBoard.Receive(FInput.front().second);
        FInput.pop_front();
    }
    if (!FBoard.Reading())
        FInput.clear();
    FlushLog();
}

void Simulator::WriteOutput()
{
    auto& output = FBoard.Output();
    const Clock::time_point now = Clock::now();
    FNextOutput = std::max(FNextOutput, now - FByteTime);
    std::uint8_t buffer[4096];
    std::size_t count = 0;
    while (!output.empty() && FNextOutput <= now && count < sizeof buffer) {
        if (output.front().HangUp) {
            if (count > 0)
                break;
            HangUp();
            return;
        }
        if (output.front().Byte < 0) {
            FNextOutput = now + std::chrono::milliseconds(output.front().PauseMilliseconds);
            output.pop_front();
            break;
        }
        buffer[count++] = std::uint8_t(output.front().Byte);
        output.pop_front();
        FNextOutput += FByteTime;
    }
    const ssize_t written = count > 0 ? write(FMaster, buffer, count) : 0;
    // What did not fit waits for the other side to read; the loop keeps serving signals.
    for (std::size_t i = count; i > std::size_t(std::max<ssize_t>(written, 0)); --i)
        output.push_front({buffer[i - 1], 0});
    FOutputBlocked = written < ssize_t(count);
}

int Simulator::TimeoutNanoseconds() const
{
    Clock::time_point next = Clock::time_point::max();
    if (!FInput.empty())
        next = FInput.front().first;
    if (FBoard.HasOutput() && !FOutputBlocked)
        next = std::min(next, FNextOutput);
    if (FClientAbsent)
        next = std::min(next, Clock::now() + AbsentRetry);
    if (next == Clock::time_point::max())
        return -1;
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now());
    return int(std::clamp<long long>(wait.count(), 0, 100'000'000));
}

void Simulator::Run(const sigset_t& waiting)
{
    while (!Quit) {
        const short events =
            short((FBoard.Reading() ? POLLIN : 0) | (FOutputBlocked ? POLLOUT : 0));
        pollfd watched{FClientAbsent ? -1 : FMaster, events, 0};
        const int wait = TimeoutNanoseconds();
        timespec timeout{0, wait};
        ppoll(&watched, 1, wait < 0 ? nullptr : &timeout, &waiting);
        if (DumpRequested) {
            DumpRequested = 0;
            Dump("dumped");
        }
        if (FMaster < 0)
            continue;
        FClientAbsent = false;
        if (watched.revents & (POLLIN | POLLHUP))
            FClientAbsent = !ReadInput();
        if (watched.revents & POLLOUT)
            FOutputBlocked = false;
        DeliverInput();
        if (!FOutputBlocked)
            WriteOutput();
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(SimulatorUsage, stdout);
        return 0;
    }
    std::string error;
    const auto options = ParseSimulatorOptions({argv + 1, argv + argc}, error);
    if (!options) {
        std::fprintf(stderr, "quennor-boardsim: %s\n%s", error.c_str(), SimulatorUsage);
        return 2;
    }
    const pid_t parent = getppid();
    const sigset_t waiting = CatchSignals();
    // A simulator left behind by a crashed test or IDE would hold its link for ever.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;
    // Paced bytes are 87 microseconds apart; the default timer slack of 50 would stretch them.
    prctl(PR_SET_TIMERSLACK, 1000UL);
    Terminal terminal;
    if (!OpenTerminal(terminal)) {
        std::perror("quennor-boardsim: pseudo-terminal");
        return 1;
    }
    if (!CreateLink(options->Link, terminal.Device)) {
        std::fprintf(stderr, "quennor-boardsim: cannot link %s: %s\n", options->Link.c_str(),
                     std::strerror(errno));
        return 1;
    }
    Simulator simulator(*options, terminal);
    std::printf("ready %s\n", terminal.Device.c_str());
    std::fflush(stdout);
    simulator.Run(waiting);
    simulator.Dump("ended");
    return 0;
}
