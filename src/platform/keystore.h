#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringConverter>
#include <QStringList>

class FileLock;

// The predefined hives, each kept in a file of its own.
enum class TRootKey
{
    HKeyClassesRoot,
    HKeyCurrentUser,
    HKeyLocalMachine,
    HKeyUsers,
    HKeyPerformanceData,
    HKeyCurrentConfig,
    HKeyDynData,
};

// A small per-user registry: keys holding named string values, one REGEDIT4-style text file per
// hive. A key is opened, its values are read or changed, and closing it writes the hive file
// atomically (with LazyWrite, only when the store is released). Every line that is not a value
// written here keeps its bytes, line end included; lines that do not parse are kept, not read.
// Each line is read as UTF-8 when it is valid UTF-8 and as Windows-1252 otherwise, so that one
// program's bytes never change how another's lines read, and lines written here are UTF-8; a
// hive that begins with a UTF-16 byte-order mark is read and written as UTF-16 throughout. A new
// hive and its folder are readable by their user only, also one made through a symbolic link.
// Names of keys and values compare without regard to letter case.
class KeyStore final
{
public:
    explicit KeyStore(TRootKey rootKey = TRootKey::HKeyCurrentUser);
    ~KeyStore();
    KeyStore(const KeyStore&) = delete;
    KeyStore& operator=(const KeyStore&) = delete;

    // Empty when the system gives no per-user configuration directory.
    static QString HiveFileName(TRootKey rootKey);
    // A lock beside the hive file, for a read, change and write that must not interleave with
    // another program's; waits at most waitMs. Null when there is no place for it.
    static std::unique_ptr<FileLock> LockHive(TRootKey rootKey, int waitMs);

    TRootKey RootKey() const { return FRootKey; }
    // Closes the open key and writes what is still pending to the old hive first.
    void SetRootKey(TRootKey rootKey);
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool lazyWrite) { FLazyWrite = lazyWrite; }

    // path: backslash-separated below the hive; one leading backslash is ignored. False when
    // the key is missing (and create is false) or the hive file cannot be read or written.
    bool OpenKey(const QString& path, bool create);
    // False when writing the hive file failed; it then still holds what it held before.
    bool CloseKey();

    // The open key's value names in the order the values were created.
    QStringList ValueNames() const;
    // Empty when the value is missing or holds something other than a string.
    std::optional<QString> ReadString(const QString& name) const;
    bool WriteString(const QString& name, const QString& value);
    bool DeleteValue(const QString& name);

private:
    struct Line
    {
        enum class Kind
        {
            Other,
            Key,
            Value,
            Removed, // a deleted value, left out when the file is written
        };
        QByteArray Bytes;  // as in the file, line end included; a continued value spans lines
        bool Ended = true; // false for a last line without a line end
        Kind Type = Kind::Other;
        QString Name; // key path or value name
        std::optional<QString> String;
    };

    static Line ParseLine(QStringView text);
    bool Load();
    bool Parse(const QByteArray& bytes);
    bool Flush();
    Line MadeLine(const QString& text, Line::Kind type, const QString& name = {},
                  const std::optional<QString>& string = {}) const;
    QString Decoded(QByteArrayView bytes) const;
    QByteArray Encoded(const QString& text) const;
    int FindKey(const QString& path) const;
    int CreateKey(const QString& path);
    bool EndsInBlankLine() const;
    int KeyEnd() const;
    int ValuesEnd();
    QList<int> ValueLines(const QString& name) const;

    TRootKey FRootKey;
    QString FFileName; // of the hive as it was loaded
    bool FLazyWrite = true;
    bool FDirty = false;
    std::vector<Line> FLines;
    std::optional<QStringConverter::Encoding> FUtf16; // empty: UTF-8 or Windows-1252 by line
    QString FLineEnd;                                 // of lines added: the file's first line end
    int FKeyLine = -1;
    // The open key's last value line, or the key's own line when it has none; empty when unknown.
    std::optional<int> FLastValue;
    // The open key's value lines by case-folded name; empty after lines moved.
    mutable std::optional<QHash<QString, QList<int>>> FIndex;
};
