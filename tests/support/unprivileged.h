#pragma once

#include <QString>

// Root opens every device whatever its mode, so a test of a refused device proves nothing as
// root. As root this runs the current test again in a child process as the user nobody,
// reports the child's failures here and returns true; otherwise it returns false and the test
// goes on in this process.
bool RanAsNobody();

// A pseudo-terminal whose device only root may open; this process keeps its master.
class RefusedDevice final
{
public:
    RefusedDevice();
    ~RefusedDevice();
    RefusedDevice(const RefusedDevice&) = delete;
    RefusedDevice& operator=(const RefusedDevice&) = delete;

    QString Path() const { return FPath; }

private:
    int FMaster = -1;
    QString FPath;
};
