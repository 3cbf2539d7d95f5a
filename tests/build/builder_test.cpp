#include "build/builder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "support/tempdir.h"
#include "support/toolchain.h"

namespace {

const QByteArray Program = "int main(void)\r\n{\r\n    volatile unsigned char x = 1;\r\n"
                           "    for (;;)\r\n        x++;\r\n}\r\n";

// Builds with the real tool chain and keeps every row as "message|file|line".
struct TBuildRun
{
    explicit TBuildRun(const QString& source, bool listing = false,
                       std::string_view mcu = "at90s8515", TChipMemory chip = {8192, 512, 512})
    {
        TBuilder builder(TestGcc, TestObjcopy);
        builder.OnRow = [this](const TMessageRow& row) {
            Rows << row.Message + '|' + row.File + '|' + row.Line;
        };
        builder.OnListing = [this](const QString& path) {
            Listing = path;
        };
        Built = builder.Build(source, mcu, listing, chip);
        RamWarning = builder.RamWarning();
    }

    bool Built = false;
    QString RamWarning;
    QStringList Rows;
    QString Listing;
};

QStringList Files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System, QDir::Name);
}

const QString Refused = QStringLiteral("Abbruch: die Quelldatei würde überschrieben.||");

} // namespace

// Building a source named like one of its outputs once deleted it (x.lst) or would have
// overwritten it with the tools' output.
TEST(Builder, NeverTouchesASourceNamedLikeItsOutput)
{
    TempDir dir;
    for (const char* name : {"x.lst", "x.o", "x.elf", "x.hex", "x.bin"}) {
        SCOPED_TRACE(name);
        const QString source = dir.Write(QLatin1String(name), Program);
        const TBuildRun run(source, true);
        EXPECT_FALSE(run.Built);
        EXPECT_EQ(run.Rows, QStringList{Refused}) << "no tool runs";
        EXPECT_EQ(TempDir::Read(source), Program);
        EXPECT_EQ(Files(dir.Path(QString())), QStringList{QLatin1String(name)});
        QFile::remove(source);
    }
    SCOPED_TRACE("names that differ in case only are two files here, so the build goes on");
    const QString upper = dir.Write(QStringLiteral("x.LST"), Program);
    const TBuildRun run(upper, true);
    EXPECT_EQ(run.Rows.value(0), QStringLiteral("Kompiliere \"%1\"...||").arg(upper));
    EXPECT_EQ(TempDir::Read(upper), Program);
}

TEST(Builder, NeverTouchesASourceReachedThroughALink)
{
    TempDir dir;
    const QString real = dir.Write(QStringLiteral("real.c"), Program);
    const QString symbolic = dir.Path(QStringLiteral("x.lst"));
    ASSERT_TRUE(QFile::link(real, symbolic));
    TBuildRun run(symbolic, false);
    EXPECT_EQ(run.Rows, QStringList{Refused});
    EXPECT_EQ(TempDir::Read(real), Program);
    EXPECT_TRUE(QFileInfo(symbolic).isSymLink());

    SCOPED_TRACE("an output name that is a hard link to the source");
    const QString source = dir.Path(QStringLiteral("a.c"));
    ASSERT_TRUE(QFile::copy(real, source));
    ASSERT_EQ(::link(QFile::encodeName(source).constData(),
                     QFile::encodeName(dir.Path(QStringLiteral("a.hex"))).constData()),
              0);
    run = TBuildRun(source);
    EXPECT_EQ(run.Rows, QStringList{Refused});
    EXPECT_EQ(TempDir::Read(dir.Path(QStringLiteral("a.hex"))), Program);
}

// The assembler's listing option is split at commas: a listing for a/b,c/x.c once went to a/b,
// over a file of that name.
TEST(Builder, WritesTheListingBesideASourceWhosePathHoldsACommaAndNowhereElse)
{
    TempDir dir;
    QDir().mkpath(dir.Path(QStringLiteral("a,b")));
    const QByteArray bystander = "not a listing";
    const QString neighbour = dir.Write(QStringLiteral("a"), bystander);
    const QString source = dir.Write(QStringLiteral("a,b/x.c"), Program);
    const TBuildRun run(source, true);
    EXPECT_TRUE(run.Built) << run.Rows.join('\n').toStdString();
    EXPECT_EQ(TempDir::Read(neighbour), bystander);
    EXPECT_EQ(run.Listing, dir.Path(QStringLiteral("a,b/x.lst")));
    EXPECT_TRUE(TempDir::Read(run.Listing).contains("x++"));
    EXPECT_EQ(Files(dir.Path(QStringLiteral("a,b"))),
              QStringList({"x.bin", "x.c", "x.hex", "x.lst"}));
    EXPECT_EQ(Files(dir.Path(QString())), QStringList{"a"});
}

// Only the tools' lines are compiler messages; the build's own rows are never split, whatever
// the folder's name looks like.
TEST(Builder, StatusRowsNeverCarryAFileOrLine)
{
    TempDir dir;
    QDir().mkpath(dir.Path(QStringLiteral("Termin 10:30: Notizen")));
    const QString source = dir.Write(QStringLiteral("Termin 10:30: Notizen/x.c"), Program);
    const TBuildRun run(source);
    ASSERT_TRUE(run.Built) << run.Rows.join('\n').toStdString();
    ASSERT_EQ(run.Rows.size(), 6);
    for (const QString& row : run.Rows)
        EXPECT_TRUE(row.endsWith(QLatin1String("||"))) << row.toStdString();
    EXPECT_EQ(run.Rows.first(), QStringLiteral("Kompiliere \"%1\"...||").arg(source));
}

// In a folder "Termin 10:30: Notizen" every message of the compiler once pointed at line 30,
// and in "Projekt: Ampel" at no line at all.
TEST(Builder, CompilerMessagesPointAtTheirLineWhateverTheFolderIsCalled)
{
    TempDir dir;
    for (const char* folder : {"Termin 10:30: Notizen", "Projekt: Ampel", "a:1: b"}) {
        SCOPED_TRACE(folder);
        QDir().mkpath(dir.Path(QString::fromUtf8(folder)));
        const QString source = dir.Write(QString::fromUtf8(folder) + QStringLiteral("/x.c"),
                                         "int main(void)\r\n{\r\n\r\n    return y;\r\n}\r\n");
        const TBuildRun run(source);
        const QString prefix = source + QStringLiteral(":4:");
        QStringList located;
        for (const QString& row : run.Rows)
            if (row.startsWith(prefix))
                located << row;
            else
                EXPECT_TRUE(row.endsWith(QLatin1String("||"))) << row.toStdString();
        ASSERT_FALSE(located.isEmpty()) << run.Rows.join('\n').toStdString();
        for (const QString& row : located)
            EXPECT_TRUE(row.endsWith('|' + source + QStringLiteral("|4"))) << row.toStdString();
    }
}

TEST(Builder, ShowsTheCompilersEchoOfAWindows1252Source)
{
    TempDir dir;
    const QString source = dir.Write(QStringLiteral("ansi.c"),
                                     "int x = \"Gr\xFC\xDF\";\r\nint main(void) { return 0; }\r\n");
    const TBuildRun run(source);
    EXPECT_TRUE(run.Rows.join('\n').contains(QStringLiteral("\"Grüß\"")))
        << run.Rows.join('\n').toStdString();
}

// The converter reports success for a FIFO in the image's place, and opening it to learn the
// code size then waited for a writer for ever.
TEST(Builder, AnImageThatIsNoFileEndsTheBuildWithoutASize)
{
    TempDir dir;
    const QString source = dir.Write(QStringLiteral("x.c"), Program);
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.Path(QStringLiteral("x.bin"))).constData(), 0600), 0);
    const TBuildRun run(source);
    EXPECT_EQ(run.Rows.value(run.Rows.size() - 2), QStringLiteral("Fertig.||"))
        << run.Rows.join('\n').toStdString();
}

// On a chip with 128 bytes of RAM a global array quietly leaves the stack no room; one larger
// than the RAM the linker refuses, and no memory row follows.
TEST(Builder, ReportsTheMemoryUseOfTheChipAfterTheCompletionRow)
{
    TempDir dir;
    const struct
    {
        const char* Globals;
        QString Shares, Warning;
    } cases[] = {
        {"char a[40] = {1}; char b[20];", "RAM 60 von 128 Bytes (47 %).", ""},
        {"char b[120];", "RAM 120 von 128 Bytes (94 %).",
         "Für den Stack bleiben nur 8 Bytes RAM frei, mindestens 16 sind nötig."},
        {"char n[4] __attribute__((section(\".noinit\")));", "RAM 4 von 128 Bytes (3 %).", ""},
        {"char b[129];", "", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Globals);
        const QString source =
            dir.Write(QStringLiteral("m.c"), QByteArray(c.Globals) + "\r\nint main(void) {}\r\n");
        const TBuildRun run(source, false, "attiny26", {2048, 128, 128});
        EXPECT_EQ(run.RamWarning, c.Warning);
        if (c.Shares.isEmpty()) {
            EXPECT_FALSE(run.Built || run.Rows.join('\n').contains(QStringLiteral("Speicher")));
            continue;
        }
        ASSERT_TRUE(run.Built) << run.Rows.join('\n').toStdString();
        EXPECT_TRUE(run.Rows.value(run.Rows.size() - 2).startsWith(QStringLiteral("Fertig, ")));
        // The image holds the code and the variables' initial values, as the flash does.
        const qint64 flash = QFileInfo(dir.Path(QStringLiteral("m.bin"))).size();
        EXPECT_TRUE(run.Rows.last().startsWith(
            QStringLiteral("Speicher: Flash %1 von 2048 Bytes (").arg(flash)));
        EXPECT_TRUE(run.Rows.last().endsWith(
            " %), " + c.Shares + (c.Warning.isEmpty() ? "||" : " Warnung: " + c.Warning + "||")))
            << run.Rows.last().toStdString();
    }
}
