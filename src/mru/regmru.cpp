#include "mru/regmru.h"

#include <algorithm>
#include <optional>

#include <QAction>
#include <QMenu>
#include <QScopeGuard>

namespace {

// How the list is kept in the store: "Count", "MaxFiles" and one value per entry holding its
// name, with "|" and the data number when there is one.

const QString CountName = QStringLiteral("Count");
const QString MaxFilesName = QStringLiteral("MaxFiles");

// Letter case is ignored for ASCII letters only, as in the names the list has always used.
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

// Deletes every value of the open key but "DEFAULT".
void ClearValues(KeyStore& store)
{
    for (const QString& name : store.ValueNames())
        if (AsciiUpper(name) != QLatin1String("DEFAULT"))
            store.DeleteValue(name);
}

// The name cut to what an entry holds, never between the two halves of a surrogate pair.
QString EntryName(const QString& fileName)
{
    qsizetype length = std::min<qsizetype>(fileName.size(), TRegMru::MaxNameLength);
    if (length < fileName.size() && fileName[length - 1].isHighSurrogate())
        --length;
    return fileName.left(length);
}

// '&' marks the accelerator in a caption, so one that belongs to the name is doubled.
QString Caption(QString name)
{
    return name.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

TRegMru::TRegMru(QObject& owner)
    : QObject(&owner)
    , OwnerName(owner.objectName())
{}

TRegMru::~TRegMru()
{
    if (SerializeList && FLoaded)
        SaveToRegistry();
}

void TRegMru::SetMaxItems(int maxItems)
{
    FMaxItems = maxItems;
    while (maxItems >= 0 && int(FEntries.size()) > maxItems)
        RemoveItem(FItems.back());
}

void TRegMru::SetLazyWrite(bool lazyWrite)
{
    FLazyWrite = lazyWrite;
    if (FRegistry)
        FRegistry->SetLazyWrite(lazyWrite);
}

void TRegMru::SetRootKey(TRootKey rootKey)
{
    FRootKey = rootKey;
    if (FRegistry)
        FRegistry->SetRootKey(rootKey);
}

void TRegMru::SetActiveRegistry(bool active)
{
    if (!active) {
        FRegistry.reset();
    } else if (!FRegistry) {
        FRegistry = std::make_unique<KeyStore>(FRootKey);
        FRegistry->SetLazyWrite(FLazyWrite);
    }
}

void TRegMru::Loaded()
{
    FLoaded = true;
    if (!SerializeList)
        return;
    LoadFromRegistry();
    RenumberItems();
}

QAction* TRegMru::AddItem(const QString& fileName, bool checked, bool enabled, std::int32_t data)
{
    if (!FAddingEnabled)
        return nullptr;
    if (PromoteExisting(fileName)) {
        const auto exact = std::find_if(FEntries.begin(), FEntries.end(), [&](const auto& entry) {
            return entry.FileName == fileName;
        });
        if (exact == FEntries.end())
            return nullptr;
        exact->Data = data;
        return FItems[exact - FEntries.begin()];
    }
    while (FMaxItems >= 1 && int(FEntries.size()) > FMaxItems - 1)
        RemoveItem(FItems.back());
    return InsertEntry(fileName, checked, enabled, true, data);
}

QAction* TRegMru::InsertEntry(const QString& fileName, bool checked, bool enabled, bool moveToTop,
                              std::int32_t data)
{
    if (FMaxItems >= 0 && int(FEntries.size()) >= FMaxItems)
        return nullptr;
    if (!FSeparator && Separator) {
        FSeparator = new QAction(this);
        FSeparator->setSeparator(true);
        if (MenuItem)
            MenuItem->addAction(FSeparator);
    }
    auto* item = new QAction(this);
    connect(item, &QAction::triggered, this, [this, item] { ClickFromMenu(item); });
    FEntries.push_back({EntryName(fileName), checked, enabled, data});
    FItems.push_back(item);
    ShowEntry(int(FItems.size()) - 1);
    if (MenuItem)
        MenuItem->addAction(item);
    if (!moveToTop)
        return item;
    MoveToTop(item);
    return FItems.front();
}

bool TRegMru::PromoteExisting(const QString& fileName)
{
    const QString upper = AsciiUpper(fileName);
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        if (AsciiUpper(FEntries[i].FileName) == upper) {
            MoveToTop(FItems[i]);
            return true;
        }
    }
    return false;
}

// The menu items keep their places; the entries move through them.
void TRegMru::MoveToTop(QAction* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return;
    std::rotate(FEntries.begin(), FEntries.begin() + index, FEntries.begin() + index + 1);
    for (int i = 0; i <= index; ++i)
        ShowEntry(i);
    RenumberItems();
}

void TRegMru::RemoveItem(QAction* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return;
    Discard(item);
    FEntries.erase(FEntries.begin() + index);
    FItems.erase(FItems.begin() + index);
    RenumberItems();
    if (FEntries.empty() && FSeparator) {
        Discard(FSeparator);
        FSeparator = nullptr;
    }
}

void TRegMru::RenumberItems()
{
    if (!NumberItems)
        return;
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        // Digits 1 to 8 are accelerators; 9 and 10 are not.
        const QString number = (i < 8 ? QStringLiteral("&") : QString()) + QString::number(i + 1);
        FItems[i]->setText(number + QLatin1Char(' ') + Caption(FEntries[i].FileName));
    }
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
        const QString fileName = FEntries[index].FileName;
        OnItemClick(*this, item, fileName, canDelete);
    }
    if (canDelete)
        RemoveItem(item);
    else
        MoveToTop(item);
}

QString TRegMru::KeyPath() const
{
    const QLatin1Char separator('\\');
    return QLatin1String("\\Software\\") + CompanyName + separator + ApplicationName + separator +
           ApplicationVersion + separator + OwnerName + separator + Section;
}

// The held access object, or one for this operation only.
template <typename Operation> void TRegMru::WithRegistry(Operation operation)
{
    if (FRegistry) {
        operation(*FRegistry);
        return;
    }
    KeyStore temporary(FRootKey);
    temporary.SetLazyWrite(FLazyWrite);
    operation(temporary);
}

void TRegMru::LoadFromRegistry()
{
    WithRegistry([this](KeyStore& store) {
        if (!store.OpenKey(KeyPath(), false))
            return;
        const QStringList names = store.ValueNames();
        if (ReadCount(store, names))
            ReadEntries(store, names);
        store.CloseKey();
    });
}

// Takes "MaxFiles" and tells whether "Count" asks for the entries. One garbled value must not
// lose the list for good: a "Count" that is not a number reads the entries present, and a
// "MaxFiles" that is not a number leaves MaxItems as it is.
bool TRegMru::ReadCount(const KeyStore& store, const QStringList& names)
{
    std::optional<int> count = 0;
    for (const QString& name : names) {
        const QString upper = AsciiUpper(name);
        if (upper == QLatin1String("COUNT"))
            count = Number(store.ReadString(name));
        else if (upper == QLatin1String("MAXFILES"))
            FMaxItems = Number(store.ReadString(name)).value_or(FMaxItems);
    }
    return count.value_or(1) > 0;
}

// Every string value but the reserved ones is an entry, in the order the values were created.
void TRegMru::ReadEntries(const KeyStore& store, const QStringList& names)
{
    for (const QString& name : names) {
        const std::optional<QString> text = store.ReadString(name);
        if (IsReserved(AsciiUpper(name)) || !text)
            continue;
        const TMruEntry entry = ParseStoredText(*text);
        if (!PromoteExisting(entry.FileName))
            InsertEntry(entry.FileName, false, true, false, entry.Data);
    }
}

void TRegMru::SaveToRegistry()
{
    WithRegistry([this](KeyStore& store) {
        if (!store.OpenKey(KeyPath(), true))
            return;
        // Clearing and writing within one opening of the key reach the file together, so a
        // write that fails leaves the previous list rather than none.
        ClearValues(store);
        store.WriteString(CountName, QString::number(FEntries.size()));
        store.WriteString(MaxFilesName, QString::number(FMaxItems));
        for (std::size_t i = 0; i < FEntries.size(); ++i)
            store.WriteString(QLatin1Char('H') + QString::number(i), StoredText(FEntries[i]));
        store.CloseKey();
    });
}

int TRegMru::IndexOf(const QAction* item) const
{
    const auto found = std::find(FItems.begin(), FItems.end(), item);
    return found == FItems.end() ? -1 : int(found - FItems.begin());
}

void TRegMru::ShowEntry(int index)
{
    const TMruEntry& entry = FEntries[index];
    QAction* item = FItems[index];
    item->setText(Caption(entry.FileName));
    item->setCheckable(entry.Checked);
    item->setChecked(entry.Checked);
    item->setEnabled(entry.Enabled);
}

void TRegMru::ClickFromMenu(QAction* item)
{
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
