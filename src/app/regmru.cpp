#include "app/regmru.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScopeGuard>

TRegMru::TRegMru(QObject& owner)
    : QObject(&owner)
{
    FList.OwnerName = owner.objectName();
    FList.OnChange = [this] {
        ShowList();
    };
}

QAction* TRegMru::AddItem(const QString& fileName, bool checked, bool enabled, std::int32_t data)
{
    if (!FAddingEnabled)
        return nullptr;
    const int index = FList.AddItem(fileName, checked, enabled, data);
    return index < 0 ? nullptr : FItems[std::size_t(index)];
}

// The item goes, not merely the last one, so that the others keep showing what they showed.
void TRegMru::RemoveItem(QAction* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return;
    Discard(item);
    FItems.erase(FItems.begin() + index);
    FList.RemoveItem(index);
}

void TRegMru::ItemClick(QAction* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return;
    bool canDelete = false;
    if (OnItemClick) {
        FAddingEnabled = false;
        const auto enableAdding = qScopeGuard([this] { FAddingEnabled = true; });
        const QString fileName = FList.Entries()[std::size_t(index)].FileName;
        OnItemClick(*this, item, fileName, canDelete);
    }
    if (canDelete)
        RemoveItem(item);
    else
        FList.Choose(IndexOf(item));
}

int TRegMru::IndexOf(const QAction* item) const
{
    const auto found = std::find(FItems.begin(), FItems.end(), item);
    return found == FItems.end() ? -1 : int(found - FItems.begin());
}

// The menu items keep their places and take over the entries in order.
void TRegMru::ShowList()
{
    while (FItems.size() < FList.Entries().size())
        AppendItem();
    for (; FItems.size() > FList.Entries().size(); FItems.pop_back())
        Discard(FItems.back());
    if (FItems.empty() && FSeparator) {
        Discard(FSeparator);
        FSeparator = nullptr;
    }
    for (int i = 0; i < int(FItems.size()); ++i)
        ShowEntry(i);
}

void TRegMru::ShowEntry(int index)
{
    const TMruEntry& entry = FList.Entries()[std::size_t(index)];
    QAction* item = FItems[std::size_t(index)];
    item->setText(NumberItems ? MruList::NumberedCaption(index, entry.FileName)
                              : MruList::Caption(entry.FileName));
    item->setCheckable(entry.Checked);
    item->setChecked(entry.Checked);
    item->setEnabled(entry.Enabled);
}

// A menu item at the end of the menu, behind the separator the first one brings.
QAction* TRegMru::AppendItem()
{
    if (!FSeparator && Separator) {
        FSeparator = new QAction(this);
        FSeparator->setSeparator(true);
        if (MenuItem)
            MenuItem->addAction(FSeparator);
    }
    auto* item = new QAction(this);
    connect(item, &QAction::triggered, this, [this, item] { ClickFromMenu(item); });
    FItems.push_back(item);
    if (MenuItem)
        MenuItem->addAction(item);
    return item;
}

// Like the window's other menu items, an entry pressed by a screen reader while a modal dialog is
// open does nothing.
void TRegMru::ClickFromMenu(QAction* item)
{
    if (QApplication::activeModalWidget())
        return;
    try {
        ItemClick(item);
    } catch (const std::exception& error) {
        if (!OnClickError)
            throw;
        OnClickError(error);
    }
}

// Out of the menu at once, but deleted later: it may be the item whose click is running.
void TRegMru::Discard(QAction* action)
{
    if (MenuItem)
        MenuItem->removeAction(action);
    action->deleteLater();
}

void SetUpMainFileList(MruList& list)
{
    list.SetMaxItems(10);
    list.SetLazyWrite(false);
    list.ApplicationName = QStringLiteral("Quennor");
    list.CompanyName = QStringLiteral("Tarnwick");
    list.OwnerName = QStringLiteral("MainFM");
    list.ApplicationVersion = QStringLiteral("MRU");
    list.SerializeList = true;
}
