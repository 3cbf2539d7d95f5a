#include "interrupts.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {

std::atomic<int> Requested{0};

static_assert(std::atomic<int>::is_always_lock_free, "read and written in a signal handler");

void OnInterrupt(int signal)
{
    if (Requested.exchange(signal) != 0)
        _exit(128 + signal);
}

} // namespace

void CatchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    // Reads and writes go on after the handler; the port's waits resume with the time left,
    // except those of the search, which a stop request ends.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested()
{
    return Requested.load() != 0;
}

int InterruptExitCode()
{
    return 128 + Requested.load();
}
