#include "platform/textfile.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "platform/fileerror.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

namespace {

// Points $XDG_STATE_HOME, where saves in place keep their copy, at a fresh folder for the life
// of the object.
class StateHome
{
public:
    explicit StateHome(const QString& path)
        : Saved(qgetenv("XDG_STATE_HOME"))
    {
        qputenv("XDG_STATE_HOME", QFile::encodeName(path));
    }
    ~StateHome() { qputenv("XDG_STATE_HOME", Saved); }
    StateHome(const StateHome&) = delete;
    StateHome& operator=(const StateHome&) = delete;

private:
    QByteArray Saved;
};

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

QByteArray RoundTrip(const QByteArray& bytes, TextEncoding* read = nullptr)
{
    TextFileContents contents = DecodeText(bytes);
    if (read)
        *read = contents.Encoding;
    return EncodeText(contents.Text, contents.Encoding);
}

} // namespace

TEST(TextFile, Utf8AndWindows1252SurviveLoadAndSave)
{
    TextEncoding encoding{};
    const QByteArray utf8 = "// Z\xC3\xA4hler f\xC3\xBCr \xE2\x82\xAC\r\nint x;\r\n";
    EXPECT_EQ(RoundTrip(utf8, &encoding), utf8);
    EXPECT_EQ(encoding, TextEncoding::Utf8);
    EXPECT_EQ(DecodeText(utf8).Text, QStringLiteral("// Zähler für €\nint x;\n"));

    const QByteArray ansi = "// Z\xE4hler f\xFCr \x80 und \xDF\r\n";
    EXPECT_EQ(RoundTrip(ansi, &encoding), ansi);
    EXPECT_EQ(encoding, TextEncoding::Windows1252);
    EXPECT_EQ(DecodeText(ansi).Text, QStringLiteral("// Zähler für € und ß\n"));

    const QByteArray bom = "\xEF\xBB\xBF//#TARGET ATtiny26\r\n";
    EXPECT_EQ(RoundTrip(bom, &encoding), bom);
    EXPECT_EQ(encoding, TextEncoding::Utf8WithBom);
    EXPECT_TRUE(DecodeText(bom).Text.startsWith(QLatin1String("//#TARGET")));
}

TEST(TextFile, EveryByteOfAWindows1252FileSurvives)
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            bytes += char(b);
    bytes += "\r\n";
    TextEncoding encoding{};
    EXPECT_EQ(RoundTrip(bytes, &encoding), bytes);
    EXPECT_EQ(encoding, TextEncoding::Windows1252);

    const QString text = DecodeText("\x81\x8D\x8F\x90\x9D").Text;
    EXPECT_EQ(text, QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D"));
}

TEST(TextFile, LineEndsAreReadInEveryFormAndWrittenAsCrLf)
{
    const TextFileContents mixed = DecodeText("a\nb\r\nc\rd");
    EXPECT_EQ(mixed.Text, QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(RoundTrip("a\nb\r\nc\rd\n"), QByteArray("a\r\nb\r\nc\r\nd\r\n"));
    EXPECT_EQ(RoundTrip("\r\n\r\n"), QByteArray("\r\n\r\n"));
    EXPECT_EQ(RoundTrip(""), QByteArray());
}

TEST(TextFile, CharacterOutsideWindows1252IsWrittenAsUtf8)
{
    TextEncoding encoding = TextEncoding::Windows1252;
    EXPECT_EQ(EncodeText(QStringLiteral("Grüße"), encoding), QByteArray("Gr\xFC\xDF"
                                                                        "e"));
    EXPECT_EQ(encoding, TextEncoding::Windows1252);
    EXPECT_EQ(EncodeText(QStringLiteral("Grüße → Ω"), encoding),
              QByteArray("Gr\xC3\xBC\xC3\x9F"
                         "e \xE2\x86\x92 \xCE\xA9"));
    EXPECT_EQ(encoding, TextEncoding::Utf8);
    // A C1 character that Windows-1252 gives to a printable sign has no byte of its own.
    encoding = TextEncoding::Windows1252;
    EncodeText(QString(QChar(0x80)), encoding);
    EXPECT_EQ(encoding, TextEncoding::Utf8);
}

TEST(TextFile, ReadAndWriteErrorsNameThePath)
{
    TempDir dir;
    const QString missing = dir.Path("missing.c");
    try {
        ReadTextFile(missing);
        FAIL() << "reading a missing file must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message, QStringLiteral("Cannot open file ") + missing);
    }
    const QString nowhere = dir.Path("no/such/dir/a.c");
    try {
        WriteTextFile(nowhere, QStringLiteral("x"), TextEncoding::Utf8);
        FAIL() << "writing into a missing directory must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message, QStringLiteral("Cannot create file ") + nowhere);
    }
    EXPECT_THROW(ReadTextFile(dir.Path("")), FileError);
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

// An unfinished UTF-8 sequence at the very end once made a file count as UTF-8 and lose the
// bytes of that sequence on the next save.
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

    const QByteArray mass = "// Ma\xDF";
    TextEncoding encoding{};
    EXPECT_EQ(RoundTrip(mass, &encoding), mass);
    EXPECT_EQ(encoding, TextEncoding::Windows1252);
    EXPECT_EQ(DecodeText(mass).Text, QStringLiteral("// Maß"));
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF\xEF\xBB\xBFx").Text, QChar(0xFEFF) + QStringLiteral("x"));
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
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), dir.Path("")}) {
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
    for (const QString& path : targets) {
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

TEST(TextFile, NoWriteInPlaceWithoutTheCopy)
{
    TempDir dir;
    const QString blocker = dir.Write("state", "a file where the state folder should be");
    StateHome state(blocker);
    const QString path = dir.Write("a.c", "int old;\r\n");
    ASSERT_EQ(
        ::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.Path("b.c")).constData()),
        0);
    EXPECT_NE(CreateError(path, QStringLiteral("int new;")), std::string());
    EXPECT_EQ(TempDir::Read(path), QByteArray("int old;\r\n"));
}

// Folder not writable for the saver, a shared file of a group the saver belongs to, a file of a
// group the saver does not belong to, and a read-only file in a writable folder.
TEST(TextFile, SavingAsAnotherUserKeepsFolderOwnerAndGroup)
{
    if (!Unprivileged::InChild()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "setting up files of other users needs root";
        TempDir dir;
        const QString root = dir.Path("");
        const gid_t users = Unprivileged::GroupId("users");
        const auto make = [&](const QString& name, const QByteArray& bytes, gid_t group,
                              mode_t mode) {
            const QString path = dir.Write(name, bytes);
            EXPECT_EQ(::chown(QFile::encodeName(path).constData(), 0, group), 0);
            EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        };
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("closed")));
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("shared")));
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("state")));
        ::chmod(QFile::encodeName(root).constData(), 0755);
        ::chmod(QFile::encodeName(dir.Path("closed")).constData(), 0755);
        ::chown(QFile::encodeName(dir.Path("shared")).constData(), 0, users);
        ::chmod(QFile::encodeName(dir.Path("shared")).constData(), 0775);
        ::chmod(QFile::encodeName(dir.Path("state")).constData(), 0777);
        make(QStringLiteral("closed/open.c"), "old\r\n", 0, 0666);
        make(QStringLiteral("shared/team.c"), "old\r\n", users, 0664);
        make(QStringLiteral("shared/root.c"), "old\r\n", 0, 0666);
        make(QStringLiteral("shared/locked.c"), "old\r\n", users, 0444);
        Unprivileged::RunAsNobody(root, QStringLiteral("users"));
        return;
    }
    const QString root = Unprivileged::Fixture();
    StateHome state(root + QStringLiteral("/state"));
    const gid_t users = Unprivileged::GroupId("users");
    const auto save = [](const QString& path) {
        SCOPED_TRACE(path.toStdString());
        const ino_t inode = Status(path).st_ino;
        EXPECT_EQ(CreateError(path, QStringLiteral("new")), std::string());
        EXPECT_EQ(TempDir::Read(path), QByteArray("new"));
        return Status(path).st_ino == inode;
    };

    EXPECT_TRUE(save(root + QStringLiteral("/closed/open.c"))) << "written in place";
    EXPECT_EQ(Status(root + QStringLiteral("/closed/open.c")).st_uid, 0u);

    EXPECT_FALSE(save(root + QStringLiteral("/shared/team.c"))) << "replaced atomically";
    const struct stat team = Status(root + QStringLiteral("/shared/team.c"));
    EXPECT_EQ(team.st_gid, users) << "the group keeps its write access";
    EXPECT_EQ(team.st_mode & 07777, 0664u);

    EXPECT_TRUE(save(root + QStringLiteral("/shared/root.c"))) << "written in place";
    EXPECT_EQ(Status(root + QStringLiteral("/shared/root.c")).st_gid, 0u);

    const QString locked = root + QStringLiteral("/shared/locked.c");
    EXPECT_NE(CreateError(locked, QStringLiteral("new")), std::string());
    EXPECT_EQ(TempDir::Read(locked), QByteArray("old\r\n"));
    EXPECT_EQ(Copies(root + QStringLiteral("/state")), QStringList());
}
