#include "flashcli/report.h"

#include <gtest/gtest.h>

// A line as wide as the terminal would wrap, and every update would then scroll a line.
TEST(ProgressLine, FitsTheTerminal)
{
    const struct
    {
        int Columns;
        double Percent;
        QString Line;
    } cases[] = {
        {80, 50, "Programmieren: [###############               ]  50 %  0:00:07"},
        {50, 50, "Programmieren: [########         ]  50 %  0:00:07"},
        {49, 101.5, "Programmieren: [################] 100 %  0:00:07"},
        {45, 50, "Programmieren: [######      ]  50 %  0:00:07"},
        {40, 50, "Programmieren:  50 %  0:00:07"},
        {20, 50, "Programmieren:  50 "},
        {1, 50, "P"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Columns);
        const QString line = ProgressLine("Programmieren:", c.Percent, "0:00:07", c.Columns);
        EXPECT_EQ(line, c.Line);
        EXPECT_LT(line.size(), std::max(c.Columns, 2));
    }
}
