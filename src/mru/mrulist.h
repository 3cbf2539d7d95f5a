#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QSet>
#include <QString>

#include "platform/keystore.h"

// One recent file as shown in the menu and kept in the store.
struct TMruEntry
{
    QString FileName;
    bool Checked = false;
    bool Enabled = true;
    std::int32_t Data = 0;
};

// The recent-files list, most recent first, and its place in the per-user key store. The owner
// sets the properties, then calls Loaded(), which reads the list from the store; the destructor
// writes it back, merged with what other instances stored in the meantime. Both happen only with
// SerializeList, and the writing only after Loaded(), so that an owner that failed to finish
// loading cannot erase the stored list. Entries are addressed by their position in the list.
class MruList final
{
public:
    MruList() = default;
    ~MruList();
    MruList(const MruList&) = delete;
    MruList& operator=(const MruList&) = delete;

    // Plain properties, used as they are when needed.
    QString ApplicationName;
    QString CompanyName;
    QString OwnerName;
    QString Section = QStringLiteral("MRUHistory");
    QString ApplicationVersion;
    bool SerializeList = false;
    // Called once after each operation that may have changed the entries, not from the
    // destructor.
    std::function<void()> OnChange;

    // Properties whose writing has effects of its own.
    int MaxItems() const { return FMaxItems; }
    void SetMaxItems(int maxItems);
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool lazyWrite);
    TRootKey RootKey() const { return FRootKey; }
    void SetRootKey(TRootKey rootKey);
    bool ActiveRegistry() const { return FRegistry != nullptr; }
    void SetActiveRegistry(bool active);

    // The owner has set every property.
    void Loaded();

    const std::vector<TMruEntry>& Entries() const { return FEntries; }

    // Both return the position that now holds the file, or -1 when nothing was added. Names are
    // kept whole and compared exactly.
    int AddItem(const QString& fileName, bool checked = false, bool enabled = true,
                std::int32_t data = 0);
    int InsertEntry(const QString& fileName, bool checked, bool enabled, bool moveToTop,
                    std::int32_t data);
    bool PromoteExisting(const QString& fileName);
    void MoveToTop(int index);
    void RemoveItem(int index);
    // The user chose the entry: it moves to the top and counts as this instance's own.
    void Choose(int index);

    // The menu caption of a file name: a name of more than 80 characters shows as its first 30
    // and last 49 joined by "…", an '&' of the name is doubled, and control characters show as
    // the replacement sign. Numbered from 1 for the entry at index; the digits 1 to 8 are
    // accelerators.
    static QString Caption(const QString& fileName);
    static QString NumberedCaption(int index, const QString& fileName);

    QString KeyPath() const;
    void LoadFromRegistry();
    void SaveToRegistry();

private:
    auto Change();
    template <typename Operation> void WithRegistry(Operation operation);
    std::vector<TMruEntry> Merged(const std::vector<TMruEntry>& stored) const;
    std::size_t StoredNews(const std::vector<TMruEntry>& stored) const;
    void RememberStored();

    int FMaxItems = -1;
    bool FLazyWrite = true;
    TRootKey FRootKey = TRootKey::HKeyCurrentUser;
    std::unique_ptr<KeyStore> FRegistry;
    std::vector<TMruEntry> FEntries;
    bool FLoaded = false;
    int FChanging = 0;
    // Names added or chosen since the store was last read or written, and that store's order.
    QSet<QString> FTouched;
    QHash<QString, qsizetype> FStoredOrder;
};
