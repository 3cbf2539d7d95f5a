#include "mru/mrulist.h"

#include <algorithm>
#include <limits>
#include <optional>

#include <QScopeGuard>
#include <QStringList>

#include "platform/filelock.h"

namespace {

// Writing the list waits this long at most for another instance that is writing its own.
constexpr int StoreLockWaitMs = 2000;

// How the list is kept in the store: "Count", "MaxFiles" and one value per entry holding its
// name, with "|" and the data number when there is one.

const QString CountName = QStringLiteral("Count");
const QString MaxFilesName = QStringLiteral("MaxFiles");

// Reserved value names ignore letter case for ASCII letters only, as the list has always done.
QString AsciiUpper(QString text)
{
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return text;
}

bool IsReserved(const QString& upperName)
{
    return upperName == QLatin1String("COUNT") || upperName == QLatin1String("DEFAULT") ||
           upperName == QLatin1String("MAXFILES");
}

std::optional<int> Number(const std::optional<QString>& text)
{
    bool ok = false;
    const int value = text ? text->toInt(&ok) : 0;
    return ok ? std::optional(value) : std::nullopt;
}

// A name with a bar of its own gets its data written even when it is 0, or reading it back
// would take the part after that bar for the data and lose the rest of the name.
QString StoredText(const TMruEntry& entry)
{
    if (entry.Data == 0 && !entry.FileName.contains(QLatin1Char('|')))
        return entry.FileName;
    return entry.FileName + QLatin1Char('|') + QString::number(entry.Data);
}

TMruEntry ParseStoredText(const QString& text)
{
    const qsizetype bar = text.lastIndexOf(QLatin1Char('|'));
    if (bar < 0)
        return {text};
    return {text.left(bar), false, true, Number(text.mid(bar + 1)).value_or(0)};
}

struct StoredHeader
{
    bool HasEntries = false;
    std::optional<int> MaxFiles;
};

// One garbled value must not lose the list for good: a "Count" that is not a number reads the
// entries present, and a "MaxFiles" that is not a number is none.
StoredHeader ReadHeader(const KeyStore& store, const QStringList& names)
{
    std::optional<int> count = 0;
    StoredHeader header;
    for (const QString& name : names) {
        const QString upper = AsciiUpper(name);
        if (upper == QLatin1String("COUNT"))
            count = Number(store.ReadString(name));
        else if (upper == QLatin1String("MAXFILES"))
            header.MaxFiles = Number(store.ReadString(name));
    }
    header.HasEntries = count.value_or(1) > 0;
    return header;
}

// Every string value but the reserved ones is an entry, in the order the values were created. A
// name met again moves the entry to the top; once the list is full, new names are dropped.
// Worked on plain entries, so that no menu item changes once per value.
void AddStoredEntries(std::vector<TMruEntry>& entries, const KeyStore& store,
                      const QStringList& names, int maxItems)
{
    QSet<QString> listed;
    for (const TMruEntry& entry : entries)
        listed.insert(entry.FileName);
    for (const QString& name : names) {
        const std::optional<QString> text = store.ReadString(name);
        if (IsReserved(AsciiUpper(name)) || !text)
            continue;
        TMruEntry entry = ParseStoredText(*text);
        if (listed.contains(entry.FileName)) {
            const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                return e.FileName == entry.FileName;
            });
            std::rotate(entries.begin(), found, found + 1);
        } else if (maxItems < 0 || int(entries.size()) < maxItems) {
            listed.insert(entry.FileName);
            entries.push_back(std::move(entry));
        }
    }
}

// Deletes every value of the open key but "DEFAULT".
void ClearValues(KeyStore& store)
{
    for (const QString& name : store.ValueNames())
        if (AsciiUpper(name) != QLatin1String("DEFAULT"))
            store.DeleteValue(name);
}

// A long path shows its start and its end, so that the file name stays in sight.
constexpr qsizetype CaptionHead = 30;
constexpr qsizetype CaptionTail = 49;
constexpr qsizetype LongestCaption = 80;
static_assert(CaptionHead + 1 + CaptionTail == LongestCaption);

QString ShortName(const QString& name)
{
    if (name.size() <= LongestCaption)
        return name;
    const qsizetype head = name[CaptionHead - 1].isHighSurrogate() ? CaptionHead - 1 : CaptionHead;
    const qsizetype tail =
        name[name.size() - CaptionTail].isLowSurrogate() ? CaptionTail - 1 : CaptionTail;
    return name.left(head) + QChar(0x2026) + name.right(tail);
}

} // namespace

// '&' marks the accelerator in a caption, so one that belongs to the name is doubled. A tab
// would start the shortcut column, so control characters show as the replacement sign.
QString MruList::Caption(const QString& fileName)
{
    QString caption = ShortName(fileName).replace(QLatin1Char('&'), QLatin1String("&&"));
    for (QChar& c : caption)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar::ReplacementCharacter;
    return caption;
}

QString MruList::NumberedCaption(int index, const QString& fileName)
{
    // Digits 1 to 8 are accelerators; 9 and 10 are not.
    const QString number =
        (index < 8 ? QStringLiteral("&") : QString()) + QString::number(index + 1);
    return number + QLatin1Char(' ') + Caption(fileName);
}

MruList::~MruList()
{
    OnChange = nullptr;
    if (SerializeList && FLoaded)
        SaveToRegistry();
}

// Tells OnChange once, when the outermost of nested operations ends.
auto MruList::Change()
{
    ++FChanging;
    return qScopeGuard([this] {
        if (--FChanging == 0 && OnChange)
            OnChange();
    });
}

void MruList::SetMaxItems(int maxItems)
{
    const auto change = Change();
    FMaxItems = maxItems;
    while (maxItems >= 0 && int(FEntries.size()) > maxItems)
        RemoveItem(int(FEntries.size()) - 1);
}

void MruList::SetLazyWrite(bool lazyWrite)
{
    FLazyWrite = lazyWrite;
    if (FRegistry)
        FRegistry->SetLazyWrite(lazyWrite);
}

void MruList::SetRootKey(TRootKey rootKey)
{
    FRootKey = rootKey;
    if (FRegistry)
        FRegistry->SetRootKey(rootKey);
}

void MruList::SetActiveRegistry(bool active)
{
    if (!active) {
        FRegistry.reset();
    } else if (!FRegistry) {
        FRegistry = std::make_unique<KeyStore>(FRootKey);
        FRegistry->SetLazyWrite(FLazyWrite);
    }
}

void MruList::Loaded()
{
    FLoaded = true;
    if (SerializeList)
        LoadFromRegistry();
}

int MruList::AddItem(const QString& fileName, bool checked, bool enabled, std::int32_t data)
{
    const auto change = Change();
    if (PromoteExisting(fileName)) {
        FEntries.front().Data = data;
        FTouched.insert(fileName);
        return 0;
    }
    while (FMaxItems >= 1 && int(FEntries.size()) > FMaxItems - 1)
        RemoveItem(int(FEntries.size()) - 1);
    const int index = InsertEntry(fileName, checked, enabled, true, data);
    if (index >= 0)
        FTouched.insert(fileName);
    return index;
}

int MruList::InsertEntry(const QString& fileName, bool checked, bool enabled, bool moveToTop,
                         std::int32_t data)
{
    if (FMaxItems >= 0 && int(FEntries.size()) >= FMaxItems)
        return -1;
    const auto change = Change();
    FEntries.push_back({fileName, checked, enabled, data});
    if (!moveToTop)
        return int(FEntries.size()) - 1;
    MoveToTop(int(FEntries.size()) - 1);
    return 0;
}

// File names are compared exactly: Blink.c and blink.c are two files.
bool MruList::PromoteExisting(const QString& fileName)
{
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        if (FEntries[i].FileName == fileName) {
            MoveToTop(int(i));
            return true;
        }
    }
    return false;
}

void MruList::MoveToTop(int index)
{
    if (index < 0 || index >= int(FEntries.size()))
        return;
    const auto change = Change();
    std::rotate(FEntries.begin(), FEntries.begin() + index, FEntries.begin() + index + 1);
}

void MruList::RemoveItem(int index)
{
    if (index < 0 || index >= int(FEntries.size()))
        return;
    const auto change = Change();
    FTouched.remove(FEntries[std::size_t(index)].FileName);
    FEntries.erase(FEntries.begin() + index);
}

void MruList::Choose(int index)
{
    if (index < 0 || index >= int(FEntries.size()))
        return;
    const auto change = Change();
    MoveToTop(index);
    FTouched.insert(FEntries.front().FileName);
}

QString MruList::KeyPath() const
{
    const QLatin1Char separator('\\');
    return QLatin1String("\\Software\\") + CompanyName + separator + ApplicationName + separator +
           ApplicationVersion + separator + OwnerName + separator + Section;
}

// The held access object, or one for this operation only.
template <typename Operation> void MruList::WithRegistry(Operation operation)
{
    if (FRegistry) {
        operation(*FRegistry);
        return;
    }
    KeyStore temporary(FRootKey);
    temporary.SetLazyWrite(FLazyWrite);
    operation(temporary);
}

void MruList::LoadFromRegistry()
{
    const auto change = Change();
    WithRegistry([this](KeyStore& store) {
        if (!store.OpenKey(KeyPath(), false))
            return;
        const QStringList names = store.ValueNames();
        const StoredHeader header = ReadHeader(store, names);
        FMaxItems = header.MaxFiles.value_or(FMaxItems);
        if (header.HasEntries)
            AddStoredEntries(FEntries, store, names, FMaxItems);
        RememberStored();
        store.CloseKey();
    });
}

// Another instance may have written its list since this one read the store: its news are kept
// behind this instance's own. The lock keeps two instances that end together from both reading
// before either writes; one that keeps it too long is not waited for.
void MruList::SaveToRegistry()
{
    const auto change = Change();
    const std::unique_ptr<FileLock> lock = KeyStore::LockHive(FRootKey, StoreLockWaitMs);
    WithRegistry([this](KeyStore& store) {
        if (!store.OpenKey(KeyPath(), true))
            return;
        const QStringList names = store.ValueNames();
        std::vector<TMruEntry> stored;
        if (ReadHeader(store, names).HasEntries)
            AddStoredEntries(stored, store, names, -1);
        FEntries = Merged(stored);
        // Clearing and writing within one opening of the key reach the file together, so a
        // write that fails leaves the previous list rather than none.
        ClearValues(store);
        store.WriteString(CountName, QString::number(FEntries.size()));
        store.WriteString(MaxFilesName, QString::number(FMaxItems));
        for (std::size_t i = 0; i < FEntries.size(); ++i)
            store.WriteString(QLatin1Char('H') + QString::number(i), StoredText(FEntries[i]));
        if (store.CloseKey())
            RememberStored();
    });
}

// First the entries added or chosen here, newest first; then those the store gained since this
// instance last read or wrote it; then the rest in this instance's order.
std::vector<TMruEntry> MruList::Merged(const std::vector<TMruEntry>& stored) const
{
    std::vector<TMruEntry> merged;
    QSet<QString> taken;
    const auto take = [&](const TMruEntry& entry) {
        if (!taken.contains(entry.FileName)) {
            taken.insert(entry.FileName);
            merged.push_back(entry);
        }
    };
    for (const TMruEntry& entry : FEntries)
        if (FTouched.contains(entry.FileName))
            take(entry);
    const auto news = stored.begin() + StoredNews(stored);
    std::for_each(stored.begin(), news, take);
    std::for_each(FEntries.begin(), FEntries.end(), take);
    if (FMaxItems >= 0 && int(merged.size()) > FMaxItems)
        merged.resize(std::size_t(FMaxItems));
    return merged;
}

// How many entries at the top of the stored list are new or were moved up: every entry below
// them is one that was stored before, in its old order.
std::size_t MruList::StoredNews(const std::vector<TMruEntry>& stored) const
{
    std::size_t news = stored.size();
    qsizetype below = std::numeric_limits<qsizetype>::max();
    for (; news > 0; --news) {
        const auto old = FStoredOrder.constFind(stored[news - 1].FileName);
        if (old == FStoredOrder.cend() || *old >= below)
            break;
        below = *old;
    }
    return news;
}

void MruList::RememberStored()
{
    FTouched.clear();
    FStoredOrder.clear();
    for (qsizetype i = 0; i < qsizetype(FEntries.size()); ++i)
        FStoredOrder.insert(FEntries[std::size_t(i)].FileName, i);
}
