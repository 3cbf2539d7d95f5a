#pragma once

#include <optional>
#include <vector>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "platform/textfile.h"

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
// atomically (with LazyWrite, only when the store is released). Lines of the file that are not
// the open key's values stay exactly as they were; lines that do not parse are kept, not read.
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
        QString Text; // as in the file; a continued value spans several lines
        Kind Type = Kind::Other;
        QString Name; // key path or value name
        std::optional<QString> String;
    };

    static Line ParseLine(const QString& text);
    bool Load();
    bool Flush();
    int FindKey(const QString& path) const;
    int CreateKey(const QString& path);
    int KeyEnd() const;
    QList<int> ValueLines(const QString& name) const;

    TRootKey FRootKey;
    QString FFileName; // of the hive as it was loaded
    bool FLazyWrite = true;
    bool FDirty = false;
    std::vector<Line> FLines;
    TextEncoding FEncoding = TextEncoding::Utf8;
    int FKeyLine = -1;
    // The open key's value lines by case-folded name; empty after lines moved.
    mutable std::optional<QHash<QString, QList<int>>> FIndex;
};
