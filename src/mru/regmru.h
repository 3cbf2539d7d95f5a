#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include "platform/keystore.h"

class QAction;
class QMenu;
class TRegMru;

// Fired when an entry is chosen. Setting CanDelete removes the entry instead of moving it to
// the top. An exception thrown here reaches the caller of the click; the entry then stays put.
using TNotifyItemClick = std::function<void(TRegMru& Sender, QAction* MenuItem,
                                            const QString& FileName, bool& CanDelete)>;

// One recent file as shown in the menu and kept in the store.
struct TMruEntry
{
    QString FileName;
    bool Checked = false;
    bool Enabled = true;
    std::int32_t Data = 0;
};

// The recent-files list: numbered entries appended to a menu, most recent first. The owner sets
// the properties, then calls Loaded(), which reads the list from the per-user key store; the
// destructor writes it back, merged with what other instances stored in the meantime. Both
// happen only with SerializeList, and the writing only after Loaded(), so that an owner that
// failed to finish loading cannot erase the stored list.
class TRegMru final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TRegMru)

public:
    // OwnerName starts as the owner's object name.
    explicit TRegMru(QObject& owner);
    ~TRegMru() override;

    // Plain properties, used as they are when needed.
    QString ApplicationName;
    QString CompanyName;
    QString OwnerName;
    QString Section = QStringLiteral("MRUHistory");
    QString ApplicationVersion;
    bool SerializeList = false;
    bool Separator = true;
    bool NumberItems = true;
    QPointer<QMenu> MenuItem;
    TNotifyItemClick OnItemClick;
    // Shows an exception that OnItemClick threw for a click from the menu; without it the
    // exception goes on into the event loop.
    std::function<void(const std::exception& error)> OnClickError;

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
    // The menu items by list position, parallel to Entries().
    const std::vector<QAction*>& Items() const { return FItems; }
    bool AddingEnabled() const { return FAddingEnabled; }

    // Both return the menu item that now shows the file, or null when nothing was added. Names are
    // kept whole and compared exactly; a caption shows a name of more than 80 characters as its
    // first 30 and last 49 joined by "…". Entries are identified by their menu items, which keep
    // their places in the menu while the entries move through them.
    QAction* AddItem(const QString& fileName, bool checked = false, bool enabled = true,
                     std::int32_t data = 0);
    QAction* InsertEntry(const QString& fileName, bool checked, bool enabled, bool moveToTop,
                         std::int32_t data);
    bool PromoteExisting(const QString& fileName);
    void MoveToTop(QAction* item);
    void RemoveItem(QAction* item);
    void RenumberItems();
    // Throws what OnItemClick throws, after adding is enabled again.
    void ItemClick(QAction* item);

    QString KeyPath() const;
    void LoadFromRegistry();
    void SaveToRegistry();

private:
    int IndexOf(const QAction* item) const;
    void ShowEntry(int index);
    void ClickFromMenu(QAction* item);
    void Discard(QAction* action);
    template <typename Operation> void WithRegistry(Operation operation);
    QAction* AppendItem();
    void ShowList(std::vector<TMruEntry> entries);
    std::vector<TMruEntry> Merged(const std::vector<TMruEntry>& stored) const;
    std::size_t StoredNews(const std::vector<TMruEntry>& stored) const;
    void RememberStored();

    int FMaxItems = -1;
    bool FLazyWrite = true;
    TRootKey FRootKey = TRootKey::HKeyCurrentUser;
    std::unique_ptr<KeyStore> FRegistry;
    std::vector<TMruEntry> FEntries;
    std::vector<QAction*> FItems;
    QAction* FSeparator = nullptr;
    bool FAddingEnabled = true;
    bool FLoaded = false;
    // Names added or chosen since the store was last read or written, and that store's order.
    QSet<QString> FTouched;
    QHash<QString, qsizetype> FStoredOrder;
};
