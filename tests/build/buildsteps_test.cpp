#include "build/buildsteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "build/messages.h"
#include "build/toolrunner.h"
#include "support/tempdir.h"
#include "support/toolchain.h"

namespace {

// Every character a shell or a command-line parser might take for its own.
const QString AwkwardFolder = QStringLiteral("Grüße \"mein\\\" a\\b $HOME `id`; a&b");

const QByteArray WarningProgram = "#include <avr/io.h>\n"
                                  "\n"
                                  "int main(void)\n"
                                  "{\n"
                                  "    int unused;\n"
                                  "    DDRB = 0x01;\n"
                                  "    for (;;)\n"
                                  "        PORTB ^= 0x01;\n"
                                  "}\n";

struct TRun
{
    bool Ok = false;
    QStringList Lines;
};

TRun RunStep(const TToolStep& step)
{
    TRun run;
    run.Ok = RunTool(step.Program, step.CommandLine, ToolTimeOut, run.Lines);
    return run;
}

// The rows with a location, as "file|line|whole message".
QStringList Located(const QStringList& lines)
{
    QStringList rows;
    for (const QString& line : lines)
        if (const TMessageRow row = SplitMessage(line); row.HasLocation())
            rows += row.File + QLatin1Char('|') + row.Line + QLatin1Char('|') + row.Message;
    return rows;
}

} // namespace

TEST(BuildFiles, ReplaceOnlyTheLastExtensionOfTheFileName)
{
    const TBuildFiles files = BuildFiles(QStringLiteral("/home/u/blink.c"));
    EXPECT_EQ(files.Source, QStringLiteral("/home/u/blink.c"));
    EXPECT_EQ(files.Object, QStringLiteral("/home/u/blink.o"));
    EXPECT_EQ(files.Program, QStringLiteral("/home/u/blink.elf"));
    EXPECT_EQ(files.Hex, QStringLiteral("/home/u/blink.hex"));
    EXPECT_EQ(files.Binary, QStringLiteral("/home/u/blink.bin"));
    EXPECT_EQ(files.Listing, QStringLiteral("/home/u/blink.lst"));

    EXPECT_EQ(BuildFiles(QStringLiteral("/home/u/v1.2/blink")).Hex,
              QStringLiteral("/home/u/v1.2/blink.hex"));
    EXPECT_EQ(BuildFiles(QStringLiteral("/home/u/blink.test.c")).Object,
              QStringLiteral("/home/u/blink.test.o"));
    EXPECT_EQ(BuildFiles(QStringLiteral("/home/u/blink.")).Binary,
              QStringLiteral("/home/u/blink.bin"));
}

TEST(BuildSteps, CommandLinesAndStatusRowsReadExactly)
{
    const QString gcc = QStringLiteral("/opt/q/bin/avr-gcc");
    const QString objcopy = QStringLiteral("/opt/q/bin/avr-objcopy");
    const TBuildFiles files = BuildFiles(QStringLiteral("/home/u/blink.c"));

    TToolStep step = CompileStep(gcc, "at90s8515", files.Source, files.Object, {});
    EXPECT_EQ(step.Status, QStringLiteral("Kompiliere \"/home/u/blink.c\"..."));
    const QString compile = "/opt/q/bin/avr-gcc -c -g -Os -Wall -Wstrict-prototypes "
                            "-mmcu=at90s8515 -I. -I\"/home/u/\" \"/home/u/blink.c\" "
                            "-o \"/home/u/blink.o\"";
    EXPECT_EQ(step.CommandLine, compile);
    step = CompileStep(gcc, "$illegal$", files.Source, files.Object, files.Listing);
    EXPECT_EQ(step.CommandLine, QString(compile).replace("at90s8515", "$illegal$") +
                                    " -Wa,-ahlms=\"/home/u/blink.lst\"");

    step = LinkStep(gcc, "attiny26", files.Object, files.Program);
    EXPECT_EQ(step.Status, QStringLiteral("Linke \"/home/u/blink.o\"..."));
    EXPECT_EQ(step.CommandLine, QStringLiteral("/opt/q/bin/avr-gcc \"/home/u/blink.o\" "
                                               "-Wl,--cref -mmcu=attiny26 -o "
                                               "\"/home/u/blink.elf\""));

    step = HexStep(objcopy, files.Program, files.Hex);
    EXPECT_EQ(step.Status, QStringLiteral("Konvertiere \"/home/u/blink.hex\"..."));
    EXPECT_EQ(step.CommandLine, QStringLiteral("/opt/q/bin/avr-objcopy -O ihex "
                                               "\"/home/u/blink.elf\" \"/home/u/blink.hex\""));

    step = BinaryStep(objcopy, files.Program, files.Binary);
    EXPECT_EQ(step.Status, QStringLiteral("Konvertiere \"/home/u/blink.bin\"..."));
    EXPECT_EQ(step.CommandLine, QStringLiteral("/opt/q/bin/avr-objcopy -O binary "
                                               "\"/home/u/blink.elf\" \"/home/u/blink.bin\""));
}

TEST(BuildSteps, ATakesEveryPieceAsOneArgument)
{
    TempDir dir;
    QDir(dir.Path({})).mkpath(QStringLiteral("fake bin"));
    QDir(dir.Path({})).mkpath(AwkwardFolder);
    const QString record = dir.Path(QStringLiteral("argv"));
    const QString tool =
        dir.Write(QStringLiteral("fake bin/tool"),
                  "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"" + record.toUtf8() + "\"\n");
    QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner);
    const QString folder = dir.Path(AwkwardFolder) + QLatin1Char('/');
    const TBuildFiles files = BuildFiles(folder + QStringLiteral("blink.v2.c"));
    const auto arguments = [&record](const TToolStep& step) {
        EXPECT_TRUE(RunStep(step).Ok);
        QStringList recorded = QString::fromUtf8(TempDir::Read(record)).split(QChar(0));
        recorded.removeLast();
        return recorded;
    };

    EXPECT_EQ(arguments(CompileStep(tool, "$illegal$", files.Source, files.Object, files.Listing)),
              (QStringList{"-c", "-g", "-Os", "-Wall", "-Wstrict-prototypes", "-mmcu=$illegal$",
                           "-I.", "-I" + folder, files.Source, "-o", files.Object,
                           "-Wa,-ahlms=" + files.Listing}));
    EXPECT_EQ(arguments(LinkStep(tool, "atmega103", files.Object, files.Program)),
              (QStringList{files.Object, "-Wl,--cref", "-mmcu=atmega103", "-o", files.Program}));
    EXPECT_EQ(arguments(HexStep(tool, files.Program, files.Hex)),
              (QStringList{"-O", "ihex", files.Program, files.Hex}));
    EXPECT_EQ(arguments(BinaryStep(tool, files.Program, files.Binary)),
              (QStringList{"-O", "binary", files.Program, files.Binary}));
}

TEST(BuildSteps, TheRealToolChainBuildsBesideAnAwkwardlyNamedSource)
{
    TempDir dir;
    QDir(dir.Path({})).mkpath(AwkwardFolder);
    const TBuildFiles files = BuildFiles(dir.Write(AwkwardFolder + "/blink.v2.c", WarningProgram));

    const TRun compile =
        RunStep(CompileStep(TestGcc, "at90s8515", files.Source, files.Object, files.Listing));
    EXPECT_TRUE(compile.Ok) << compile.Lines.join('\n').toStdString();
    const QStringList warnings = Located(compile.Lines);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(files.Source + "|5|" + files.Source + ":5:"))
        << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].contains("unused variable"));
    EXPECT_GT(QFileInfo(files.Listing).size(), 0);

    EXPECT_TRUE(RunStep(LinkStep(TestGcc, "at90s8515", files.Object, files.Program)).Ok);
    EXPECT_TRUE(RunStep(HexStep(TestObjcopy, files.Program, files.Hex)).Ok);
    EXPECT_TRUE(RunStep(BinaryStep(TestObjcopy, files.Program, files.Binary)).Ok);
    EXPECT_TRUE(TempDir::Read(files.Hex).startsWith(':'));
    const std::optional<qint64> size = ImageSize(files.Binary);
    ASSERT_TRUE(size);
    EXPECT_GT(*size, 0);
    EXPECT_EQ(*size, TempDir::Read(files.Binary).size());
    EXPECT_EQ(CompletionText(size), "Fertig, " + QString::number(*size) + " Bytes Code.");
}

TEST(BuildSteps, CompilerErrorsAndAMissingHeaderFailWithTheirLocations)
{
    TempDir dir;
    const QString broken = dir.Write("broken.c", "int main(void)\n"
                                                 "{\n"
                                                 "    int unused;\n"
                                                 "    return missing;\n"
                                                 "}\n");
    const TRun errors =
        RunStep(CompileStep(TestGcc, "attiny26", broken, ChangeFileExt(broken, ".o"), {}));
    EXPECT_FALSE(errors.Ok);
    EXPECT_TRUE(errors.Lines.contains(broken + ": In function \u2018main\u2019:"))
        << errors.Lines.join('\n').toStdString();
    QStringList located = Located(errors.Lines);
    ASSERT_GE(located.size(), 2);
    EXPECT_TRUE(located.first().startsWith(broken + "|4|")) << located.first().toStdString();
    EXPECT_TRUE(located.first().contains("error: "));
    EXPECT_TRUE(located.last().startsWith(broken + "|3|")) << located.last().toStdString();
    EXPECT_TRUE(located.last().contains("warning: "));
    EXPECT_FALSE(QFile::exists(ChangeFileExt(broken, ".o")));

    const QString header = dir.Write("header.c", "#include \"nothere.h\"\n");
    const TRun missing =
        RunStep(CompileStep(TestGcc, "attiny26", header, ChangeFileExt(header, ".o"), {}));
    EXPECT_FALSE(missing.Ok);
    located = Located(missing.Lines);
    ASSERT_EQ(located.size(), 1);
    EXPECT_TRUE(located[0].startsWith(header + "|1|")) << located[0].toStdString();
    EXPECT_TRUE(located[0].endsWith("nothere.h: No such file or directory"));
}

TEST(BuildSteps, TheCompletionRowNamesTheImageSize)
{
    TempDir dir;
    EXPECT_EQ(ImageSize(dir.Write("image.bin", QByteArray(1234, '\xFF'))), 1234);
    EXPECT_EQ(ImageSize(dir.Path("missing.bin")), std::nullopt);
    EXPECT_EQ(CompletionText(1234), QStringLiteral("Fertig, 1234 Bytes Code."));
    EXPECT_EQ(CompletionText(0), QStringLiteral("Fertig, 0 Bytes Code."));
    EXPECT_EQ(CompletionText(std::nullopt), QStringLiteral("Fertig."));
}
