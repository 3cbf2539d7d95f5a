#include "build/messages.h"

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(SplitMessage, SplitsFileAndLineOffCompilerMessages)
{
    struct TCase
    {
        const char* Line;
        const char* File;
        const char* LineNumber;
    };
    const TCase cases[] = {
        {"/home/u/blink.c:12:5: error: 'x' undeclared", "/home/u/blink.c", "12"},
        {"/home/u/blink.c:7: undefined reference to `foo'", "/home/u/blink.c", "7"},
        {"/home/u/my dir/a.c:3:1: warning: x: y", "/home/u/my dir/a.c", "3"},
        {"/tmp/a:b/x.c:40:2: note: here", "/tmp/a:b/x.c", "40"},
        {"/usr/avr/include/avr/io.h:99:0: warning: redefined", "/usr/avr/include/avr/io.h", "99"},
        {":12: no file before the colon", "", "12"},
        {":12:7: no file, a column", "", "12"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Line);
        const TMessageRow row = SplitMessage(QString::fromUtf8(c.Line));
        EXPECT_EQ(row.Message, QString::fromUtf8(c.Line));
        EXPECT_EQ(row.File, QString::fromUtf8(c.File));
        EXPECT_EQ(row.Line, QString::fromUtf8(c.LineNumber));
        EXPECT_TRUE(row.HasLocation());
    }
}

TEST(SplitMessage, OtherLinesArePlainRows)
{
    for (const char* line : {
             "/home/u/blink.c: In function 'main':",
             "Kompiliere \"/home/u/blink.c\"...",
             "Fertig.",
             "compilation terminated.",
             "avr-gcc: error: device-specs/specs-atmega603: No such file or directory",
             "In file included from /home/u/blink.c:6:0:",
             "12: no file before the number",
             "blink.c:: no number",
             "blink.c:12 no blank after the colon",
             "blink.c:\u0663: Arabic-Indic digits are not line numbers",
             "   return z;",
             "",
         }) {
        SCOPED_TRACE(line);
        const TMessageRow row = SplitMessage(QString::fromUtf8(line));
        EXPECT_EQ(row.Message, QString::fromUtf8(line));
        EXPECT_TRUE(row.File.isEmpty());
        EXPECT_FALSE(row.HasLocation());
    }
}

// Only the part behind the source's folder is read; the folder's own colons count for nothing.
TEST(SplitMessage, ReadsMessagesAboutFilesInTheSourcesFolderFromBehindIt)
{
    const QString folder = QStringLiteral("/home/u/Termin 10:30: Notizen/");
    struct TCase
    {
        const char* Name;
        const char* File;
        const char* LineNumber;
    };
    const TCase cases[] = {
        {"x.c:4:12: error: 'y' undeclared", "x.c", "4"},
        {"x.h:7: warning: here", "x.h", "7"},
        {"x.c: In function 'main':", nullptr, ""},
    };
    for (const TCase& c : cases) {
        const QString line = folder + QString::fromUtf8(c.Name);
        SCOPED_TRACE(line.toStdString());
        const TMessageRow row = SplitMessage(line, folder);
        EXPECT_EQ(row.Message, line);
        EXPECT_EQ(row.File, c.File ? folder + QString::fromUtf8(c.File) : QString());
        EXPECT_EQ(row.Line, QString::fromUtf8(c.LineNumber));
    }
    EXPECT_EQ(SplitMessage(QStringLiteral("/usr/include/a.h:3: x"), folder).Line, "3")
        << "a file elsewhere is read as before";
}

TEST(MessageKind, ErrorsAndWarningsAreToldFromTheRest)
{
    const struct
    {
        const char* Line;
        TMessageKind Kind;
    } cases[] = {
        {"/home/u/blink.c:12:5: error: 'x' undeclared", TMessageKind::Error},
        {"/home/u/blink.c:1:10: fatal error: avr/iox.h: No such file", TMessageKind::Error},
        {"/home/u/blink.c:3: warning: unused variable", TMessageKind::Warning},
        {"/home/u/warning: 2/a.c:3:1: note: error: quoted", TMessageKind::Other},
        {"/home/u/blink.c:7: undefined reference to `foo'", TMessageKind::Other},
        {"/home/u/blink.c: error: no line", TMessageKind::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line);
        EXPECT_EQ(MessageKind(SplitMessage(QString::fromUtf8(c.Line))), c.Kind);
    }
}
