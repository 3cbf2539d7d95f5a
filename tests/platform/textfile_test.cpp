#include "platform/textfile.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include "platform/fileerror.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

namespace {

QStringList Copies(const QString& stateHome)
{
    return QDir(stateHome + QStringLiteral("/quennor")).entryList(QDir::Files);
}

struct stat Status(const QString& path)
{
    struct stat info = {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

std::string CreateError(const QString& path, const QString& text)
{
    try {
        WriteTextFile(path, text, TextEncoding::Utf8);
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message, QStringLiteral("Cannot create file ") + path);
        return error.Message.toStdString();
    }
    return {};
}

QByteArray RoundTrip(const QByteArray& bytes, TextFormat* read = nullptr)
{
    const TextFileContents contents = DecodeText(bytes);
    if (read)
        *read = contents.Format;
    return EncodeText(contents.Text, contents.Format).value_or("not encodable");
}

} // namespace

// An unfinished UTF-8 sequence at the very end ("Ma\xDF") once made a file count as UTF-8 and
// lose the bytes of that sequence on the next save.
TEST(TextFile, EncodingIsFoundAndSavingGivesTheBytesBack)
{
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            everyByte += char(b);
    everyByte += "\r\n";
    const struct
    {
        QByteArray Bytes;
        TextEncoding Encoding;
        QString Text; // null: not compared
    } cases[] = {
        {"// Z\xC3\xA4hler f\xC3\xBCr \xE2\x82\xAC\r\nint x;\r\n", TextEncoding::Utf8,
         QStringLiteral("// Zähler für €\nint x;\n")},
        {"// Z\xE4hler f\xFCr \x80 und \xDF\r\n", TextEncoding::Windows1252,
         QStringLiteral("// Zähler für € und ß\n")},
        {"\xEF\xBB\xBF//#TARGET ATtiny26\r\n", TextEncoding::Utf8WithBom,
         QStringLiteral("//#TARGET ATtiny26\n")},
        {"\xEF\xBB\xBF\xEF\xBB\xBFx", TextEncoding::Utf8WithBom,
         QChar(0xFEFF) + QStringLiteral("x")},
        {"// Ma\xDF", TextEncoding::Windows1252, QStringLiteral("// Maß")},
        {"\x81\x8D\x8F\x90\x9D", TextEncoding::Windows1252,
         QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D")},
        {everyByte, TextEncoding::Windows1252, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes.left(40).toHex().toStdString());
        TextFormat format;
        EXPECT_EQ(RoundTrip(c.Bytes, &format), c.Bytes);
        EXPECT_EQ(format.Encoding, c.Encoding);
        if (!c.Text.isNull()) {
            EXPECT_EQ(DecodeText(c.Bytes).Text, c.Text);
        }
    }
}

// A file made with LF once came back with CR LF on every line from a save without edits.
TEST(TextFile, LineEndsAreReadInEveryFormAndOnlyLfThroughoutStaysLf)
{
    EXPECT_EQ(DecodeText("a\nb\r\nc\rd").Text, QStringLiteral("a\nb\nc\nd"));
    const struct
    {
        QByteArray Bytes;
        QByteArray Saved;
        LineEnd Ends;
    } cases[] = {
        {"a\nb\n", "a\nb\n", LineEnd::Lf},
        {"a\r\nb\r\n", "a\r\nb\r\n", LineEnd::CrLf},
        {"a\nb\r\nc\rd\n", "a\r\nb\r\nc\r\nd\r\n", LineEnd::CrLf},
        {"a\rb\r", "a\r\nb\r\n", LineEnd::CrLf},
        {"\r\n\r\n", "\r\n\r\n", LineEnd::CrLf},
        {"a", "a", LineEnd::CrLf}, // no line end to go by: lines typed later get CR LF
        {"", "", LineEnd::CrLf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes.toStdString());
        TextFormat format;
        EXPECT_EQ(RoundTrip(c.Bytes, &format), c.Saved);
        EXPECT_EQ(format.LineEnds, c.Ends);
    }
}

// Qt's replace of CR LF by LF took 0.8 s for 16 MB and grew with the square of the size.
TEST(TextFile, LineEndsAreNormalisedInLinearTime)
{
    const auto decodeTime = [](const QByteArray& line) {
        const QByteArray bytes = line.repeated(16'000'000 / line.size());
        QElapsedTimer timer;
        timer.start();
        const TextFileContents contents = DecodeText(bytes);
        EXPECT_FALSE(contents.Text.contains(QLatin1Char('\r')));
        return timer.elapsed();
    };
    const qint64 lf = decodeTime("    PORTB ^= 0x01; /* Z\xC3\xA4hler */\n");
    const qint64 crlf = decodeTime("    PORTB ^= 0x01; /* Z\xC3\xA4hler */\r\n");
    EXPECT_LT(crlf, 4 * lf + 150) << "LF " << lf << " ms, CR LF " << crlf << " ms";
}

// A degree sign for a display once became two bytes when a character outside the code page was
// typed anywhere in the file.
TEST(TextFile, CharacterOutsideWindows1252IsNotEncodedThere)
{
    EXPECT_EQ(EncodeText(QStringLiteral("\"°C\" Grüße"), TextEncoding::Windows1252),
              QByteArray("\"\xB0"
                         "C\" Gr\xFC\xDF"
                         "e"));
    EXPECT_EQ(EncodeText(QStringLiteral("\"°C\" // →"), TextEncoding::Windows1252), std::nullopt);
    // A C1 character that Windows-1252 gives to a printable sign has no byte of its own.
    EXPECT_EQ(EncodeText(QString(QChar(0x80)), TextEncoding::Windows1252), std::nullopt);
    EXPECT_EQ(EncodeText(QStringLiteral("°→"), TextEncoding::Utf8),
              QByteArray("\xC2\xB0\xE2\x86\x92"));
}

// A write that runs out of space (here: the file size limit) must leave the old file whole.
TEST(TextFile, FailedWriteLeavesTheOldFileIntact)
{
    TempDir dir;
    const QByteArray old = "int old;\r\n";
    const QString path = dir.Write("a.c", old);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    {
        FileSizeLimit full(1000);
        EXPECT_THROW(WriteTextFile(path, QString(5000, QLatin1Char('x')), TextEncoding::Utf8),
                     FileError);
    }

    EXPECT_EQ(TempDir::Read(path), old);
    EXPECT_EQ(QDir(dir.Path("")).entryList(QDir::Files), QStringList{"a.c"});

    WriteTextFile(path, QStringLiteral("int new;\n"), TextEncoding::Utf8);
    EXPECT_EQ(TempDir::Read(path), QByteArray("int new;\r\n"));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::ReadGroup)
        << "saving keeps the file's permissions";
}

TEST(TextFile, EveryShortFileSurvivesLoadAndSave)
{
    int lost = 0;
    const auto check = [&lost](const QByteArray& bytes) {
        if (bytes.contains('\r') || bytes.contains('\n'))
            return;
        if (RoundTrip(bytes) != bytes && ++lost <= 5)
            ADD_FAILURE() << "changed: " << bytes.toHex().constData();
    };
    for (int first = 0; first < 256; ++first) {
        check(QByteArray(1, char(first)));
        for (int second = 0; second < 256; ++second)
            check(QByteArray{char(first), char(second)});
    }
    EXPECT_EQ(lost, 0);
}

TEST(TextFile, LinesAreDecodedOneByOne)
{
    EXPECT_EQ(DecodeLine("int x = \"Gr\xC3\xBC\xC3\x9F\";"), QStringLiteral("int x = \"Grüß\";"));
    EXPECT_EQ(DecodeLine("int x = \"Gr\xFC\xDF\";"), QStringLiteral("int x = \"Grüß\";"));
    EXPECT_EQ(DecodeLine("Ma\xC3"), QStringLiteral("MaÃ"));
    EXPECT_EQ(DecodeLine(""), QString());
}

TEST(TextFile, OnlyRegularFilesAreOpened)
{
    TempDir dir;
    const QString fifo = dir.Path("pipe.c");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QElapsedTimer timer;
    timer.start();
    for (const QString& path :
         {fifo, QStringLiteral("/dev/zero"), dir.Path(""), dir.Path("missing.c")}) {
        SCOPED_TRACE(path.toStdString());
        try {
            ReadTextFile(path);
            ADD_FAILURE() << "not a regular file, yet opened";
        } catch (const FileError& error) {
            EXPECT_EQ(error.Message, QStringLiteral("Cannot open file ") + path);
        }
    }
    EXPECT_LT(timer.elapsed(), 5000) << "refused at once, without waiting for a writer";

    const QString target = dir.Write("target.c", "int x;\r\n");
    ASSERT_TRUE(QFile::link(target, dir.Path("link.c")));
    EXPECT_EQ(ReadTextFile(dir.Path("link.c")).Text, QStringLiteral("int x;\n"));
}

TEST(TextFile, SavingNeverReplacesWhatIsNotARegularFile)
{
    // Never a device outside the test's folder: run as root, a broken save would replace it.
    TempDir dir;
    const QString fifo = dir.Path("pipe.c");
    const QString device = dir.Path("null.c");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ASSERT_TRUE(QDir().mkdir(dir.Path("folder.c")));
    QStringList targets{fifo, dir.Path("folder.c")};
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets << device;
    for (const QString& path : targets + QStringList{dir.Path("no/such/dir/a.c")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_NE(CreateError(path, QStringLiteral("int x;")), std::string());
    }
    EXPECT_TRUE(S_ISFIFO(Status(fifo).st_mode));
    if (targets.contains(device)) {
        EXPECT_TRUE(S_ISCHR(Status(device).st_mode));
    }
    EXPECT_EQ(QDir(dir.Path("")).entryList(QDir::Files | QDir::System).size(), targets.size() - 1)
        << "no temporary file left behind";

    // A symbolic link stays a link; the file it names gets the text.
    const QString target = dir.Write("target.c", "old");
    const QString link = dir.Path("link.c");
    ASSERT_TRUE(QFile::link(target, link));
    WriteTextFile(link, QStringLiteral("new"), TextEncoding::Utf8);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(TempDir::Read(target), QByteArray("new"));
}

// The atomic replace would give the saved name a new file and leave the old text under the
// other name. The copy's name must fit even beside the longest file name.
TEST(TextFile, HardLinkedFileIsWrittenInPlaceWithACopyOfTheOldText)
{
    TempDir dir;
    StateHome state(dir.Path("state"));
    const QString path = dir.Write(QString(250, QLatin1Char('a')) + ".c", "int old;\r\n");
    const QString other = dir.Path("b.c");
    ASSERT_TRUE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) ==
                0);
    const ino_t inode = Status(path).st_ino;

    {
        FileSizeLimit full(100);
        EXPECT_NE(CreateError(path, QString(500, QLatin1Char('x'))), std::string());
    }
    EXPECT_EQ(TempDir::Read(path), QByteArray("int old;\r\n")) << "the old bytes are put back";
    EXPECT_EQ(Copies(dir.Path("state")), QStringList());

    WriteTextFile(path, QStringLiteral("int new;\n"), TextEncoding::Utf8);
    EXPECT_EQ(TempDir::Read(other), QByteArray("int new;\r\n"));
    EXPECT_EQ(Status(path).st_ino, inode);
    EXPECT_EQ(Status(path).st_nlink, 2u);
    EXPECT_EQ(Copies(dir.Path("state")), QStringList()) << "the copy goes after success";

    WriteTextFile(path, QStringLiteral("x"), TextEncoding::Utf8);
    EXPECT_EQ(TempDir::Read(other), QByteArray("x")) << "a shorter text leaves no old tail";

    {
        StateHome blocked(dir.Write("blocker", "a file where the state folder should be"));
        EXPECT_NE(CreateError(path, QStringLiteral("int new;")), std::string())
            << "no write in place without the copy";
    }
    EXPECT_EQ(TempDir::Read(path), QByteArray("x"));
}

// Root saving someone else's file must not make it root's.
TEST(TextFile, AtomicSaveKeepsOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    TempDir dir;
    const QString path = dir.Write("a.c", "old");
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    const ino_t inode = Status(path).st_ino;
    WriteTextFile(path, QStringLiteral("new"), TextEncoding::Utf8);
    const struct stat saved = Status(path);
    EXPECT_NE(saved.st_ino, inode) << "replaced atomically";
    EXPECT_EQ(saved.st_uid, 65534u);
    EXPECT_EQ(saved.st_gid, 65534u);
}

// Each file is saved by nobody (a member of users), who may write it. The atomic replace
// gives the name a file of the saver's making; it is taken only where that file can carry the
// old one's owner, group and mode, so that nobody else loses access to their own file.
TEST(TextFile, SavingAsAnotherUserKeepsFolderOwnerGroupAndMode)
{
    enum class Way
    {
        Atomic,
        InPlace,
        Refused,
    };
    const gid_t users = Unprivileged::GroupId("users");
    const struct
    {
        const char* Name;
        uid_t Owner;
        gid_t Group;
        mode_t Mode;
        Way Expected;
    } cases[] = {
        {"closed/open.c", 0, 0, 0666, Way::InPlace},       // folder not writable for the saver
        {"shared/team.c", 1, users, 0660, Way::InPlace},   // another's file, group shared
        {"shared/root.c", 0, 0, 0666, Way::InPlace},       // a group the saver is not in
        {"shared/locked.c", 0, users, 0444, Way::Refused}, // read-only for everyone
        {"shared/mine.c", 65534, users, 04750, Way::Atomic},
        {"sticky/team.c", 1, users, 0660, Way::InPlace}, // another's file in a sticky folder
    };
    if (!Unprivileged::InChild()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "setting up files of other users needs root";
        TempDir dir;
        const auto folder = [&](const char* name, gid_t group, mode_t mode) {
            const QByteArray path = QFile::encodeName(dir.Path(QLatin1String(name)));
            EXPECT_EQ(::mkdir(path.constData(), 0700), 0);
            EXPECT_EQ(::chown(path.constData(), 1, group), 0);
            EXPECT_EQ(::chmod(path.constData(), mode), 0);
        };
        ::chmod(QFile::encodeName(dir.Path("")).constData(), 0755);
        folder("closed", 0, 0755);
        folder("shared", users, 02775);
        folder("sticky", 0, 01777);
        folder("state", 0, 0777);
        for (const auto& c : cases) {
            const QByteArray path = QFile::encodeName(dir.Write(QLatin1String(c.Name), "old\r\n"));
            EXPECT_EQ(::chown(path.constData(), c.Owner, c.Group), 0);
            EXPECT_EQ(::chmod(path.constData(), c.Mode), 0);
        }
        Unprivileged::RunAsNobody(dir.Path(""), QStringLiteral("users"));
        return;
    }
    const QString root = Unprivileged::Fixture();
    StateHome state(root + QStringLiteral("/state"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = root + QLatin1Char('/') + QLatin1String(c.Name);
        const ino_t inode = Status(path).st_ino;
        const std::string error = CreateError(path, QStringLiteral("new"));
        const struct stat saved = Status(path);
        EXPECT_EQ(saved.st_uid, c.Owner);
        EXPECT_EQ(saved.st_gid, c.Group);
        EXPECT_EQ(saved.st_mode & 07777, c.Mode);
        if (c.Expected == Way::Refused) {
            EXPECT_NE(error, std::string());
            EXPECT_EQ(TempDir::Read(path), QByteArray("old\r\n"));
            continue;
        }
        EXPECT_EQ(error, std::string());
        EXPECT_EQ(TempDir::Read(path), QByteArray("new"));
        EXPECT_EQ(saved.st_ino == inode, c.Expected == Way::InPlace);
    }
    EXPECT_EQ(Copies(root + QStringLiteral("/state")), QStringList());
}

// The owner saves a file that others may read through its access list; before, the new file
// had neither the list nor the note, and the list's mask had become the group's bits.
TEST(TextFile, AtomicSaveKeepsAccessListAndExtendedAttributes)
{
    TempDir dir;
    const QString path = dir.Write("a.c", "old");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    if (QProcess::execute("setfacl", {"-m", "u:daemon:rw", path}) != 0 ||
        QProcess::execute("setfattr", {"-n", "user.note", "-v", "LCD", path}) != 0)
        GTEST_SKIP() << "needs setfacl and setfattr (packages acl, attr) and a file system with "
                        "access lists and user attributes";
    const auto attributes = [&] {
        QProcess get;
        get.start("sh", {"-c", "getfacl --omit-header \"$0\" && getfattr -d \"$0\"", path});
        return get.waitForFinished() ? get.readAllStandardOutput().toStdString() : std::string();
    };
    const std::string before = attributes();
    ASSERT_NE(before.find("user:daemon:rw-\ngroup::r--\n"), std::string::npos) << before;
    const ino_t inode = Status(path).st_ino;

    WriteTextFile(path, QStringLiteral("new"), TextEncoding::Utf8);

    EXPECT_EQ(TempDir::Read(path), QByteArray("new"));
    EXPECT_NE(Status(path).st_ino, inode) << "still replaced atomically";
    EXPECT_EQ(attributes(), before);
}

// A folder that lets the saver make files but replace none (here: append-only) refused the
// rename, and the save failed.
TEST(TextFile, RefusedRenameFallsBackToWritingInPlace)
{
    TempDir dir;
    StateHome state(dir.Path("state"));
    const QString folder = dir.Path("append-only");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = dir.Write("append-only/a.c", "old");
    const ino_t inode = Status(path).st_ino;
    const auto chattr = [&](const char* change) {
        return QProcess::execute(QStringLiteral("chattr"), {QLatin1String(change), folder}) == 0;
    };
    if (!chattr("+a"))
        GTEST_SKIP() << "needs root, chattr and a file system with the append-only flag";
    const std::string error = CreateError(path, QStringLiteral("new"));
    EXPECT_TRUE(chattr("-a"));
    EXPECT_EQ(error, std::string());
    EXPECT_EQ(TempDir::Read(path), QByteArray("new"));
    EXPECT_EQ(Status(path).st_ino, inode);
}
