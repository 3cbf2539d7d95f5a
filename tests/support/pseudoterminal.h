#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include <QString>

#include <gtest/gtest.h>

// A serial device of the test's own: the other side of a pseudo-terminal whose master this
// process keeps until it closes it or goes out of scope.
class PseudoTerminal final
{
public:
    PseudoTerminal()
    {
        FMaster = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(FMaster, 0);
        EXPECT_EQ(grantpt(FMaster), 0);
        EXPECT_EQ(unlockpt(FMaster), 0);
        FPath = QString::fromLocal8Bit(ptsname(FMaster));
    }
    ~PseudoTerminal() { Close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int Master() const { return FMaster; }
    // The device, e.g. "/dev/pts/3", and its last part, "3".
    QString Path() const { return FPath; }
    QString Name() const { return FPath.section('/', -1); }
    // Hangs the line up for the program on the device.
    void Close()
    {
        if (FMaster >= 0)
            close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    QString FPath;
};
