#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>

#include "mru/mrulist.h"

class QAction;
class QMenu;
class TRegMru;

// Fired when an entry is chosen. Setting CanDelete removes the entry instead of moving it to
// the top. An exception thrown here reaches the caller of the click; the entry then stays put.
using TNotifyItemClick = std::function<void(TRegMru& Sender, QAction* MenuItem,
                                            const QString& FileName, bool& CanDelete)>;

// Shows the recent-files list as numbered items appended to a menu, and lets the user choose
// one. The list itself, its store and its limit are List()'s; every change to it shows here.
// The menu items keep their places in the menu while the entries move through them.
class TRegMru final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TRegMru)

public:
    // The list's OwnerName starts as the owner's object name.
    explicit TRegMru(QObject& owner);

    MruList& List() { return FList; }
    const MruList& List() const { return FList; }

    bool Separator = true;
    bool NumberItems = true;
    QPointer<QMenu> MenuItem;
    TNotifyItemClick OnItemClick;
    // Shows an exception that OnItemClick threw for a click from the menu; without it the
    // exception goes on into the event loop.
    std::function<void(const std::exception& error)> OnClickError;

    // The menu items by list position, parallel to List().Entries().
    const std::vector<QAction*>& Items() const { return FItems; }
    bool AddingEnabled() const { return FAddingEnabled; }

    // The menu item that now shows the file, or null when nothing was added, also while
    // OnItemClick runs.
    QAction* AddItem(const QString& fileName, bool checked = false, bool enabled = true,
                     std::int32_t data = 0);
    void RemoveItem(QAction* item);
    // Throws what OnItemClick throws, after adding is enabled again.
    void ItemClick(QAction* item);

private:
    int IndexOf(const QAction* item) const;
    void ShowList();
    void ShowEntry(int index);
    QAction* AppendItem();
    void ClickFromMenu(QAction* item);
    void Discard(QAction* action);

    MruList FList;
    std::vector<QAction*> FItems;
    QAction* FSeparator = nullptr;
    bool FAddingEnabled = true;
};

// The main window's recent files: their number and where and how they are stored, which every
// window, benchmark and test of the list must share to meet the same store.
void SetUpMainFileList(MruList& list);
