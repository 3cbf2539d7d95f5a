#include "build/toolrunner.h"

#include <random>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "support/tempdir.h"
#include "support/toolchain.h"

namespace {

// Writes an executable shell script; the runner starts it directly, not through a shell.
QString WriteScript(const TempDir& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.Write(name, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

// Arguments as the started program received them, one per NUL-terminated record.
QStringList RecordedArguments(const QString& path)
{
    QStringList arguments = QString::fromUtf8(TempDir::Read(path)).split(QChar(0));
    arguments.removeLast();
    return arguments;
}

} // namespace

TEST(SplitOutputLines, EveryLineEndFormEndsALine)
{
    EXPECT_EQ(SplitOutputLines("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitOutputLines("a\n\nb\r\n\r\n"), (QStringList{"a", "", "b", ""}));
    EXPECT_EQ(SplitOutputLines("\n\ra"), (QStringList{"", "", "a"}));
    EXPECT_EQ(SplitOutputLines(""), QStringList());
    EXPECT_EQ(SplitOutputLines("Z\xC3\xA4hler \xE2\x80\x98x\xE2\x80\x99\n"),
              QStringList{QStringLiteral("Zähler ‘x’")});
}

// The compiler echoes the offending source line, in the source's own encoding.
TEST(SplitOutputLines, EachLineIsReadInItsOwnEncoding)
{
    EXPECT_EQ(SplitOutputLines("    1 | int x = \"Gr\xFC\xDF\";\n"
                               "a.c:1:9: Gr\xC3\xBC\xC3\x9F\n"
                               "\x80 \xE2\x82\n"),
              (QStringList{QStringLiteral("    1 | int x = \"Grüß\";"),
                           QStringLiteral("a.c:1:9: Grüß"), QStringLiteral("€ â‚")}));
}

TEST(QuoteArgument, QuotesSoThatTheSplitterGivesTheTextBack)
{
    EXPECT_EQ(QuoteArgument(""), QStringLiteral("\"\""));
    EXPECT_EQ(QuoteArgument("C:\\Quennor\\"), QStringLiteral("\"C:\\Quennor\\\\\""));
    EXPECT_EQ(QuoteArgument("say \"hi\""), QStringLiteral("\"say \\\"hi\\\"\""));

    const QStringList texts{"",
                            "a b",
                            "dir\\",
                            "dir\\\\",
                            "back\\\"slash",
                            "\"",
                            "a\\b",
                            "$HOME `id`; rm -rf x & y | z",
                            QStringLiteral("Größe Ärger/µ€"),
                            "tab\there"};
    QString line = QStringLiteral("tool");
    for (const QString& text : texts)
        line += QLatin1Char(' ') + QuoteArgument(text);
    EXPECT_EQ(CommandArguments(QStringLiteral("tool"), line), texts);
}

TEST(CommandArguments, FollowsTheBackslashAndQuoteConvention)
{
    const auto arguments = [](const char* line) {
        return CommandArguments(QStringLiteral("p"), line);
    };
    EXPECT_EQ(arguments("p a\\b \\\\x"), (QStringList{"a\\b", "\\\\x"}));
    EXPECT_EQ(arguments("p \\\\\"x y\""), QStringList{"\\x y"});
    EXPECT_EQ(arguments("p \\\"x y"), (QStringList{"\"x", "y"}));
    EXPECT_EQ(arguments("p \\\\\\\"x"), QStringList{"\\\"x"});
    EXPECT_EQ(arguments("p -I\"/a b/\" \"\" x\"y z\"w"), (QStringList{"-I/a b/", "", "xy zw"}));
    EXPECT_EQ(arguments("  p \t a  "), QStringList{"a"});
    EXPECT_EQ(arguments("   "), QStringList{});
    EXPECT_EQ(arguments("pq a"), QStringList{"a"}) << "only a whole first part is the program";
    EXPECT_EQ(CommandArguments(QStringLiteral("/my dir/p"), "\"/my dir/p\" a"), QStringList{"a"});
    EXPECT_EQ(CommandArguments(QStringLiteral("/my dir/p"), "/my dir/p -c \"a b.c\""),
              (QStringList{"-c", "a b.c"}));
}

// The convention's own examples, the doubled quote inside a quoted part among them, and random
// texts given back whole after quoting.
TEST(CommandArguments, ReadsTheConventionsExamplesAndEveryQuotedText)
{
    const std::pair<const char*, QStringList> examples[] = {
        {R"("abc" d e)", {"abc", "d", "e"}},
        {R"(a\\b d"e f"g h)", {R"(a\\b)", "de fg", "h"}},
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"(a"b"" c d)", {R"(ab" c d)"}},
        {R"("a""b")", {R"(a"b)"}},
        {R"(""" x)", {R"(" x)"}},
    };
    for (const auto& [line, expected] : examples)
        EXPECT_EQ(CommandArguments(QStringLiteral("p"), QStringLiteral("p ") + QLatin1String(line)),
                  expected)
            << line;

    std::mt19937 random(2612);
    const QString alphabet = QStringLiteral("a \t\"\\ä,");
    for (int round = 0; round < 2000; ++round) {
        QStringList texts;
        QString line = QStringLiteral("p");
        for (int i = int(random() % 4); i >= 0; --i) {
            QString text;
            for (int n = int(random() % 9); n > 0; --n)
                text += alphabet[qsizetype(random() % alphabet.size())];
            texts << text;
            line += QLatin1Char(' ') + QuoteArgument(text);
        }
        ASSERT_EQ(CommandArguments(QStringLiteral("p"), line), texts) << line.toStdString();
    }
}

TEST(RunTool, PassesExactlyTheQuotedArgumentsInTheProgramDirectory)
{
    TempDir dir;
    QDir(dir.Path({})).mkpath(QStringLiteral("fake bin"));
    const QString record = dir.Path(QStringLiteral("argv"));
    const QString tool =
        WriteScript(dir, QStringLiteral("fake bin/avr-gcc"),
                    "printf '%s\\0' \"$(pwd -P)\" \"$@\" > \"" + record.toUtf8() + "\"\n");
    const QStringList arguments{QStringLiteral("/tmp/Grüße \"quoted\" $HOME `id`; x/"),
                                QStringLiteral("trailing\\"), QStringLiteral("two trailing\\\\"),
                                QStringLiteral("-mmcu=$illegal$"), QString()};
    QString line = tool;
    for (const QString& argument : arguments)
        line += QLatin1Char(' ') + QuoteArgument(argument);

    QStringList output{QStringLiteral("kept")};
    EXPECT_TRUE(RunTool(tool, line, ToolTimeOut, output));
    EXPECT_EQ(output, QStringList{"kept"});
    EXPECT_EQ(RecordedArguments(record),
              QStringList{QDir(QCoreApplication::applicationDirPath()).canonicalPath()} +
                  arguments);
}

// Installed below "sp ace", the program must not be taken for "sp" followed by arguments, even
// when a program of that name exists.
TEST(RunTool, StartsTheProgramItIsGivenWhateverItsPathHolds)
{
    TempDir dir;
    QDir(dir.Path({})).mkpath(QStringLiteral("sp ace/app/bin"));
    const QString record = dir.Path(QStringLiteral("argv"));
    const QString impostor = dir.Path(QStringLiteral("impostor ran"));
    WriteScript(dir, QStringLiteral("sp"), "touch \"" + impostor.toUtf8() + "\"\n");
    const QString tool = WriteScript(dir, QStringLiteral("sp ace/app/bin/avr-gcc"),
                                     "printf '%s\\0' \"$@\" > \"" + record.toUtf8() + "\"\n");

    QStringList output;
    EXPECT_TRUE(RunTool(tool, tool + " -c \"a b.c\"", ToolTimeOut, output));
    EXPECT_EQ(RecordedArguments(record), (QStringList{"-c", "a b.c"}));
    EXPECT_FALSE(QFile::exists(impostor));
}

TEST(RunTool, KeepsTheErrorLinesAndReportsTheExitCode)
{
    TempDir dir;
    const QString tool =
        WriteScript(dir, QStringLiteral("tool"),
                    "printf 'only on standard output\\n'\n"
                    "printf 'first\\r\\n\\r\\nsecond\\n\\nthird\\rlast without end' >&2\n"
                    "exit \"$1\"\n");
    QStringList output{QStringLiteral("before")};
    EXPECT_TRUE(RunTool(tool, tool + " 0", ToolTimeOut, output));
    EXPECT_EQ(output, (QStringList{"before", "first", "second", "third", "last without end"}));

    output.clear();
    EXPECT_FALSE(RunTool(tool, tool + " 1", ToolTimeOut, output));
    EXPECT_EQ(output, (QStringList{"first", "second", "third", "last without end"}));

    SCOPED_TRACE("a child killed by a signal has failed, even without a line");
    const QString crash = WriteScript(dir, QStringLiteral("crash"), "kill -SEGV $$\n");
    output.clear();
    EXPECT_FALSE(RunTool(crash, crash, ToolTimeOut, output));
    EXPECT_TRUE(output.isEmpty());
}

TEST(RunTool, AMissingToolFailsAndAddsNothing)
{
    TempDir dir;
    QStringList output{QStringLiteral("before")};
    const QString missing = dir.Path(QStringLiteral("bin/avr-gcc"));
    EXPECT_FALSE(RunTool(missing, missing + " -c \"x.c\"", ToolTimeOut, output));
    const QString plain = dir.Write(QStringLiteral("not executable"), "");
    EXPECT_FALSE(RunTool(plain, plain + " -c", ToolTimeOut, output));
    EXPECT_FALSE(RunTool(QString(), QStringLiteral("x"), ToolTimeOut, output));
    EXPECT_EQ(output, QStringList{"before"});
}

TEST(RunTool, DoesNotHangOnAToolThatFloodsBothStreams)
{
    TempDir dir;
    const QString tool = WriteScript(dir, QStringLiteral("flood"),
                                     "yes 'cross reference' | head -c 1048576\n"
                                     "yes 'error line' | head -n 100000 >&2\n"
                                     "exit 1\n");
    QStringList output;
    EXPECT_FALSE(RunTool(tool, tool, ToolTimeOut, output));
    ASSERT_EQ(output.size(), 100000);
    EXPECT_EQ(output.count(QStringLiteral("error line")), 100000);
}

TEST(RunTool, GivesUpOnAToolThatOutlivesItsTimeOut)
{
    TempDir dir;
    const QString tool =
        WriteScript(dir, QStringLiteral("slow"), "echo started >&2\nexec sleep 30\n");
    QStringList output;
    EXPECT_FALSE(RunTool(tool, tool, 200, output));
    EXPECT_TRUE(output.isEmpty());
}
