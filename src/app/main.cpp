#include "app/main.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include "app/finddialog.h"
#include "app/regmru.h"
#include "dialogs/about.h"
#include "dialogs/flashstatus.h"
#include "dialogs/fusebits.h"
#include "dialogs/prompts.h"
#include "editor/sourceedit.h"
#include "platform/backupcopies.h"
#include "platform/fileerror.h"
#include "programmer/devicetable.h"

namespace {

constexpr int ClientWidth = 640;
constexpr int ClientHeight = 432;
constexpr int ListingWidth = 160;
constexpr int MessagesHeight = 100;
constexpr int SplitterWidth = 3;
constexpr int MinimumPaneSize = 30;
constexpr int CaretPanelWidth = 65;

QFont SourceFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(15);
    return font;
}

QPlainTextEdit* MakeTextControl(const char* name, bool readOnly)
{
    auto* edit = new SourceEdit(readOnly ? SourceEdit::Language::Listing : SourceEdit::Language::C);
    edit->setObjectName(QLatin1String(name));
    edit->setFont(SourceFont());
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setTabChangesFocus(false);
    edit->setReadOnly(readOnly);
    if (readOnly)
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return edit;
}

QTreeWidget* MakeMessageList()
{
    auto* list = new QTreeWidget;
    list->setObjectName(QStringLiteral("MsgLV"));
    list->setColumnCount(3);
    list->setHeaderLabels(
        {QStringLiteral("Nachricht"), QStringLiteral("Datei"), QStringLiteral("Zeile")});
    list->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    list->setColumnWidth(0, 386);
    list->setColumnWidth(1, 150);
    list->setColumnWidth(2, 60);
    list->header()->setStretchLastSection(false);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

QSplitter* MakeSplitter(const char* name, Qt::Orientation orientation, QWidget* first,
                        QWidget* second)
{
    auto* splitter = new QSplitter(orientation);
    splitter->setObjectName(QLatin1String(name));
    splitter->setHandleWidth(SplitterWidth);
    splitter->setOpaqueResize(true);
    splitter->addWidget(first);
    splitter->addWidget(second);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    return splitter;
}

} // namespace

TMainFM::TMainFM(Prompts& prompts, QStringList arguments, QString appDir)
    : FPrompts(prompts)
    , FArguments(std::move(arguments))
    , FAppDir(appDir.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                               : std::move(appDir))
    , FGccPath(FAppDir + QStringLiteral("bin/avr-gcc"))
    , FObjcopyPath(FAppDir + QStringLiteral("bin/avr-objcopy"))
    , FBuilder(FGccPath, FObjcopyPath)
{
    setObjectName(QStringLiteral("MainFM"));
    CreateControls();
    CreateMenus();
    CreateRecentFiles();
    CreateFindDialogs();
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { FocusChanged(now); });
    FBuilder.OnRow = [this](const TMessageRow& row) {
        AddRow(row);
    };
    FBuilder.OnListing = [this](const QString& path) {
        LoadListing(path);
    };
    NewDocument();
    UpdateActions();
}

TMainFM::~TMainFM()
{
    // The recent-files list is written back first, before the window takes its children apart.
    delete MainMRU;
    // The base class still destroys the children, which lose the focus and emit on the way; the
    // handlers must not run on a window that is no longer a TMainFM.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(MsgLV->model(), nullptr, this, nullptr);
    for (QObject* control : {static_cast<QObject*>(EditorRE), static_cast<QObject*>(ListingRE)})
        disconnect(control, nullptr, this, nullptr);
}

void TMainFM::CreateControls()
{
    EditorRE = MakeTextControl("EditorRE", false);
    ListingRE = MakeTextControl("ListingRE", true);
    MsgLV = MakeMessageList();
    // What a screen reader calls them; it saw plain text and tree controls.
    EditorRE->setAccessibleName(QStringLiteral("Quelltext"));
    ListingRE->setAccessibleName(QStringLiteral("Listing"));
    MsgLV->setAccessibleName(QStringLiteral("Meldungen"));
    SourceSP = MakeSplitter("SourceSP", Qt::Horizontal, EditorRE, ListingRE);
    MessagesSP = MakeSplitter("MessagesSP", Qt::Vertical, SourceSP, MsgLV);
    // Dragged past its last 30 pixels only the listing collapses, and dragging back opens it:
    // the source and the message list stay.
    EditorRE->setMinimumWidth(MinimumPaneSize);
    ListingRE->setMinimumWidth(MinimumPaneSize);
    SourceSP->setMinimumHeight(MinimumPaneSize);
    MsgLV->setMinimumHeight(MinimumPaneSize);
    SourceSP->setCollapsible(0, false);
    MessagesSP->setChildrenCollapsible(false);
    SourceSP->setSizes({ClientWidth - ListingWidth - SplitterWidth, ListingWidth});
    MessagesSP->setSizes({ClientHeight - MessagesHeight, MessagesHeight});
    setCentralWidget(MessagesSP);

    // At least their design widths, and wider where a large font or a long file needs it: a
    // caret panel cut off on its left showed plainly wrong line numbers.
    constexpr int panelWidths[3] = {CaretPanelWidth, 75, 50};
    for (int i = 0; i < 3; ++i) {
        MainSBPanels[i] = new QLabel;
        MainSBPanels[i]->setMinimumWidth(panelWidths[i]);
        MainSBPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(MainSBPanels[i]);
    }
    MainSBPanels[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    MainSBPanels[0]->setAccessibleDescription(QStringLiteral("Zeile: Spalte"));
    statusBar()->setSizeGripEnabled(false);

    connect(EditorRE, &QPlainTextEdit::textChanged, this, &TMainFM::EditorREChange);
    connect(MsgLV, &QTreeWidget::itemDoubleClicked, this,
            [this] { Guarded([this] { MsgLVDblClick(); }); });
    // The marks in the editor belong to the rows: they come with them and go when the list is
    // emptied for the next build.
    connect(MsgLV->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { MarkMessages(first, last); });
    connect(MsgLV->model(), &QAbstractItemModel::modelReset, this,
            [this] { Source()->ClearMessageMarks(); });
    for (QPlainTextEdit* edit : {EditorRE, ListingRE}) {
        const auto changed = [this, edit] {
            EditorRESelectionChange(edit);
        };
        connect(edit, &QPlainTextEdit::cursorPositionChanged, this, changed);
        connect(edit, &QPlainTextEdit::selectionChanged, this, changed);
        connect(edit, &QPlainTextEdit::undoAvailable, this, &TMainFM::UpdateActions);
        connect(edit, &QPlainTextEdit::textChanged, this, &TMainFM::UpdateActions);
        edit->installEventFilter(this);
    }
}

QAction* TMainFM::AddItem(QMenu* menu, const char* name, const QString& caption,
                          const QKeySequence& shortcut)
{
    auto* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setShortcut(shortcut);
    return item;
}

// A screen reader can press a menu item while a modal dialog is open, which the mouse and the
// keys cannot; the item then does nothing, so that no second dialog opens over the first.
void TMainFM::OnClick(QAction* item, void (TMainFM::*handler)())
{
    connect(item, &QAction::triggered, this, [this, handler] {
        if (!QApplication::activeModalWidget())
            Guarded([&] { (this->*handler)(); });
    });
}

template <typename Handler> void TMainFM::Guarded(Handler handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TMainFM::ShowException(const std::exception& error)
{
    const auto* fileError = dynamic_cast<const FileError*>(&error);
    const QString text = fileError ? fileError->Message : QString::fromUtf8(error.what());
    FPrompts.Message(
        {text, QStringLiteral("Quennor"), QMessageBox::Ok, QMessageBox::Critical, this});
}

void TMainFM::CreateMenus()
{
    CreateFileMenu();
    CreateEditMenu();
    CreateProjectMenu();
    CreateOtherMenus();
}

void TMainFM::CreateFileMenu()
{
    FileMI = menuBar()->addMenu(QStringLiteral("&Datei"));
    FileMI->setObjectName(QStringLiteral("FileMI"));
    OnClick(AddItem(FileMI, "NewMI", QStringLiteral("&Neu"), Qt::CTRL | Qt::Key_N),
            &TMainFM::NewMIClick);
    OnClick(AddItem(FileMI, "OpenMI", QStringLiteral("&Öffnen..."), Qt::CTRL | Qt::Key_O),
            &TMainFM::OpenMIClick);
    FileMI->addSeparator()->setObjectName(QStringLiteral("N1"));
    OnClick(AddItem(FileMI, "SaveMI", QStringLiteral("&Speichern"), Qt::CTRL | Qt::Key_S),
            &TMainFM::SaveMIClick);
    // One access key, as the menu uses only the first: a second "&" was read out as one.
    OnClick(AddItem(FileMI, "SaveAsMI", QStringLiteral("&Speichern unter...")),
            &TMainFM::SaveAsMIClick);
    FileMI->addSeparator()->setObjectName(QStringLiteral("N7"));
    OnClick(AddItem(FileMI, "FlashBinMI", QStringLiteral("&Binärdatei flashen...")),
            &TMainFM::FlashBinMIClick);
    FileMI->addSeparator()->setObjectName(QStringLiteral("N3"));
    ExitMI = AddItem(FileMI, "ExitMI", QStringLiteral("&Beenden"), Qt::ALT | Qt::Key_X);
    OnClick(ExitMI, &TMainFM::ExitMIClick);
}

void TMainFM::CreateEditMenu()
{
    EditMI = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    EditMI->setObjectName(QStringLiteral("EditMI"));
    EditUndoAC = AddItem(EditMI, "EditUndoAC", QStringLiteral("&Rückgängig"), Qt::CTRL | Qt::Key_Z);
    EditMI->addSeparator()->setObjectName(QStringLiteral("N5"));
    EditCutAC = AddItem(EditMI, "EditCutAC", QStringLiteral("&Ausschneiden"), Qt::CTRL | Qt::Key_X);
    EditCopyAC = AddItem(EditMI, "EditCopyAC", QStringLiteral("&Kopieren"), Qt::CTRL | Qt::Key_C);
    EditPasteAC = AddItem(EditMI, "EditPasteAC", QStringLiteral("&Einfügen"), Qt::CTRL | Qt::Key_V);
    EditDeleteAC =
        AddItem(EditMI, "EditDeleteAC", QStringLiteral("&Löschen"), Qt::CTRL | Qt::Key_Delete);
    EditSelectAllAC = AddItem(EditMI, "EditSelectAllAC", QStringLiteral("A&lles auswählen"),
                              Qt::CTRL | Qt::Key_A);
    EditMI->addSeparator()->setObjectName(QStringLiteral("N4"));
    ReplaceAC = AddItem(EditMI, "ReplaceAC", QStringLiteral("E&rsetzen..."), Qt::CTRL | Qt::Key_R);
    FindAC = AddItem(EditMI, "FindAC", QStringLiteral("&Suchen..."), Qt::CTRL | Qt::Key_F);
    FindNextAC =
        AddItem(EditMI, "FindNextAC", QStringLiteral("&Weitersuchen"), Qt::CTRL | Qt::Key_L);
    GotoLineAC =
        AddItem(EditMI, "GotoLineAC", QStringLiteral("&Gehe zu Zeile..."), Qt::CTRL | Qt::Key_G);
    EditCopyAC->setToolTip(QStringLiteral("Copy"));
    EditCutAC->setToolTip(QStringLiteral("Cut"));
    EditPasteAC->setToolTip(QStringLiteral("Paste"));

    connect(EditUndoAC, &QAction::triggered, this, [this] { EditAction(&QPlainTextEdit::undo); });
    connect(EditCutAC, &QAction::triggered, this, [this] { EditAction(&QPlainTextEdit::cut); });
    connect(EditCopyAC, &QAction::triggered, this, [this] { EditAction(&QPlainTextEdit::copy); });
    connect(EditPasteAC, &QAction::triggered, this, [this] { EditAction(&QPlainTextEdit::paste); });
    connect(EditDeleteAC, &QAction::triggered, this, &TMainFM::EditDelete);
    connect(EditSelectAllAC, &QAction::triggered, this,
            [this] { EditAction(&QPlainTextEdit::selectAll); });
    OnClick(ReplaceAC, &TMainFM::ReplaceACExecute);
    OnClick(FindAC, &TMainFM::FindACExecute);
    OnClick(FindNextAC, &TMainFM::FindNextACExecute);
    OnClick(GotoLineAC, &TMainFM::GotoLineACExecute);
    connect(EditMI, &QMenu::aboutToShow, this, &TMainFM::UpdateActions);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TMainFM::UpdateActions);
}

void TMainFM::CreateProjectMenu()
{
    ProjectMI = menuBar()->addMenu(QStringLiteral("&Projekt"));
    ProjectMI->setObjectName(QStringLiteral("ProjectMI"));
    OnClick(AddItem(ProjectMI, "CompileMI", QStringLiteral("&Kompilieren"), Qt::CTRL | Qt::Key_F9),
            &TMainFM::CompileMIClick);
    OnClick(AddItem(ProjectMI, "CompileAndFlashMI", QStringLiteral("Kompilieren && &Flashen"),
                    Qt::Key_F9),
            &TMainFM::CompileAndFlashMIClick);
    OnClick(AddItem(ProjectMI, "NextMessageMI", QStringLiteral("&Nächste Meldung"), Qt::Key_F8),
            &TMainFM::NextMessageMIClick);
    OnClick(AddItem(ProjectMI, "PreviousMessageMI", QStringLiteral("&Vorige Meldung"),
                    Qt::SHIFT | Qt::Key_F8),
            &TMainFM::PreviousMessageMIClick);
    ProjectMI->addSeparator()->setObjectName(QStringLiteral("N6"));
    CreateTargetMenu(ProjectMI);
    ProjectMI->addSeparator()->setObjectName(QStringLiteral("N2"));
    CreateListingMI = AddItem(ProjectMI, "CreateListingMI", QStringLiteral("&Listing erzeugen"));
    CreateListingMI->setCheckable(true);
    OnClick(CreateListingMI, &TMainFM::CreateListingMIClick);
    connect(ProjectMI, &QMenu::aboutToShow, this, &TMainFM::ProjectMIClick);
}

void TMainFM::CreateTargetMenu(QMenu* project)
{
    TargetMI = project->addMenu(QStringLiteral("&Ziel"));
    TargetMI->setObjectName(QStringLiteral("TargetMI"));
    TargetGroup = new QActionGroup(this);
    for (int tag = 1; tag < DeviceCount; ++tag) {
        const QString name = QString::fromLatin1(DeviceTable[tag].Name);
        auto* item = TargetMI->addAction(name);
        item->setObjectName(name + QStringLiteral("MI"));
        item->setCheckable(true);
        item->setData(tag);
        item->setChecked(tag == FTarget);
        TargetGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { TargetDeviceOptionMIClick(item); });
    }
    connect(TargetMI, &QMenu::aboutToShow, this, &TMainFM::TargetMIClick);
}

void TMainFM::CreateOtherMenus()
{
    auto* extras = menuBar()->addMenu(QStringLiteral("&Extras"));
    extras->setObjectName(QStringLiteral("ExtrasMI"));
    FuseBitsMI = AddItem(extras, "FuseBitsMI", QStringLiteral("Fuse Bits..."));
    OnClick(FuseBitsMI, &TMainFM::FuseBitsMIClick);

    ViewMI = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    ViewMI->setObjectName(QStringLiteral("ViewMI"));
    ViewMI->menuAction()->setVisible(false);
    ShowListingMI = AddItem(ViewMI, "ShowListingMI", QStringLiteral("&Listing-Fenster"));
    ShowListingMI->setCheckable(true);
    ShowListingMI->setVisible(false);
    OnClick(ShowListingMI, &TMainFM::ShowListingMIClick);
    connect(ViewMI, &QMenu::aboutToShow, this, &TMainFM::ViewMIClick);

    auto* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    help->setObjectName(QStringLiteral("HelpMI"));
    OnClick(AddItem(help, "AboutMI", QStringLiteral("&Über..."), Qt::Key_F1),
            &TMainFM::AboutMIClick);
}

QString TMainFM::StatusPanel(int index) const
{
    return MainSBPanels[index]->text();
}

void TMainFM::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    if (const QScreen* display = screen())
        move(display->availableGeometry().center() - rect().center());
    Guarded([this] { FormShow(); });
}

void TMainFM::FormShow()
{
    BackupCopies::Prune();
    // The tools run in the program's directory, so a relative name would build another file.
    if (!FArguments.isEmpty())
        LoadDocument(QFileInfo(FArguments.first()).absoluteFilePath());
    if (EditorRE->isVisible() && EditorRE->isEnabled())
        EditorRE->setFocus();
    UpdateCaretPanel(EditorRE);
}

// Checked once the activation has been handled, so that a question does not interrupt it.
void TMainFM::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, [this] { Guarded([this] { FormActivate(); }); });
}

void TMainFM::closeEvent(QCloseEvent* event)
{
    // The build's files must stay whole, so a close while the tools run waits for its end.
    if (FBuilding) {
        FCloseWhenBuilt = true;
        event->ignore();
        return;
    }
    FCloseWhenBuilt = false;
    bool canClose = false;
    Guarded([&] { canClose = NewDocument(); });
    event->setAccepted(canClose);
}

bool TMainFM::eventFilter(QObject* watched, QEvent* event)
{
    // The text controls claim Ctrl+Del for deleting a word; here it is the menu's delete.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (QKeySequence(key->keyCombination()) == EditDeleteAC->shortcut())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFM::TargetDeviceOptionMIClick(QAction* item)
{
    FTarget = std::int8_t(item->data().toInt() & 0xFF);
}

void TMainFM::TargetMIClick()
{
    for (QAction* item : TargetGroup->actions())
        if (FTarget >= 1 && item->data().toInt() == FTarget)
            item->setChecked(true);
}

void TMainFM::ProjectMIClick()
{
    CreateListingMI->setChecked(FCreateListing);
}

void TMainFM::ClearListing()
{
    SetListingText(QString());
}

void TMainFM::LoadListing(const QString& path)
{
    SetListingText(ReadTextFile(path).Text);
}

// The program filling the pane is no selection the user made: the caret panel keeps what it
// shows, even though the control reports a caret move.
void TMainFM::SetListingText(const QString& text)
{
    const QScopedValueRollback filling(FFillingListing, true);
    ListingRE->setPlainText(text);
}

void TMainFM::ViewMIClick()
{
    ShowListingMI->setChecked(SourceSP->sizes().value(1) > 0);
}

void TMainFM::ShowListingMIClick()
{
    const int total = SourceSP->width() - SourceSP->handleWidth();
    if (SourceSP->sizes().value(1) > 0) {
        SourceSP->setSizes({total, 0});
        return;
    }
    const int width = (this->width() - SourceSP->handleWidth()) / 2;
    SourceSP->setSizes({total - width, width});
}

void TMainFM::EditorRESelectionChange(QPlainTextEdit* sender)
{
    if (sender != ListingRE || !FFillingListing)
        UpdateCaretPanel(sender);
    UpdateActions();
}

void TMainFM::UpdateCaretPanel(QPlainTextEdit* sender)
{
    if (sender != EditorRE && sender != ListingRE)
        return;
    const int position = sender->textCursor().selectionStart();
    const QTextBlock line = sender->document()->findBlock(position);
    MainSBPanels[0]->setText(
        QStringLiteral("%1:  %2 ").arg(line.blockNumber() + 1).arg(position - line.position() + 1));
}

// The menu bar takes the focus while its menus are worked with the keyboard; it never becomes
// the active control, or the Edit menu would grey out as it opens. Left with the focus (Alt, then
// another window), it hands it back when the window is active again, so that typing works.
void TMainFM::FocusChanged(QWidget* now)
{
    if (now == menuBar() && !menuBar()->activeAction() && FActiveControl) {
        FActiveControl->setFocus();
        return;
    }
    if (now == EditorRE || now == ListingRE || now == MsgLV) {
        FActiveControl = now;
        UpdateActions();
    }
}

QPlainTextEdit* TMainFM::ActiveTextControl() const
{
    if (FActiveControl == EditorRE || FActiveControl == ListingRE)
        return static_cast<QPlainTextEdit*>(FActiveControl);
    return nullptr;
}

void TMainFM::UpdateActions()
{
    QPlainTextEdit* edit = ActiveTextControl();
    const bool writable = edit && !edit->isReadOnly();
    const bool selection = edit && edit->textCursor().hasSelection();
    EditUndoAC->setEnabled(writable && edit->document()->isUndoAvailable());
    EditCutAC->setEnabled(writable && selection);
    EditCopyAC->setEnabled(selection);
    EditPasteAC->setEnabled(writable && edit->canPaste());
    EditDeleteAC->setEnabled(writable && selection);
    EditSelectAllAC->setEnabled(edit && !edit->document()->isEmpty());
    FindAC->setEnabled(edit != nullptr);
    FindNextAC->setEnabled(edit && !MainFD->SearchText().isEmpty());
    ReplaceAC->setEnabled(writable);
}

void TMainFM::EditAction(void (QPlainTextEdit::*operation)())
{
    if (QPlainTextEdit* edit = ActiveTextControl())
        (edit->*operation)();
}

void TMainFM::EditDelete()
{
    if (QPlainTextEdit* edit = ActiveTextControl(); edit && !edit->isReadOnly())
        edit->textCursor().removeSelectedText();
}

void TMainFM::FlashBinMIClick()
{
    const QString path = FPrompts.OpenFileName(
        {{{QStringLiteral("Binärdateien (*.bin *.hex)"), QStringLiteral("*.bin *.hex")},
          {QStringLiteral("Alle Dateien"), QStringLiteral("*.*")}},
         {},
         {},
         this});
    if (!path.isEmpty())
        ShowFlashDialog(path);
}

void TMainFM::ShowFlashDialog(const QString& imagePath)
{
    if (!FDialogs.FlashFM || FDialogs.FlashFM->isVisible())
        return;
    FDialogs.FlashFM->SetImage(imagePath, FTarget);
    FDialogs.FlashFM->exec();
}

void TMainFM::FuseBitsMIClick()
{
    if (FDialogs.FuseBitsFM)
        FDialogs.FuseBitsFM->exec();
}

void TMainFM::AboutMIClick()
{
    if (FDialogs.AboutFM)
        FDialogs.AboutFM->exec();
}

void TMainFM::CreateRecentFiles()
{
    MainMRU = new TRegMru(*this);
    MainMRU->setObjectName(QStringLiteral("MainMRU"));
    MainMRU->MenuItem = FileMI;
    MainMRU->OnItemClick = [this](TRegMru&, QAction*, const QString& fileName, bool&) {
        MainMRUItemClick(fileName);
    };
    MainMRU->OnClickError = [this](const std::exception& error) {
        ShowException(error);
    };
    SetUpMainFileList(MainMRU->List());
    MainMRU->List().Loaded();
}

// Errors go on to the list, which then leaves the entry where it was.
void TMainFM::MainMRUItemClick(const QString& fileName)
{
    if (!QuerySave())
        return;
    ClearListing();
    LoadDocument(fileName);
}

void TMainFM::CreateFindDialogs()
{
    MainFD = new FindDialog(FindDialog::Kind::Find, this);
    MainRD = new FindDialog(FindDialog::Kind::Replace, this);
    connect(MainFD, &FindDialog::FindNext, this,
            [this] { Guarded([this] { MainFDFindAndClose(); }); });
    connect(MainFD, &FindDialog::SearchTextChanged, this, &TMainFM::UpdateActions);
    connect(MainRD, &FindDialog::FindNext, this,
            [this] { Guarded([this] { MainFDFind(MainRD); }); });
    connect(MainRD, &FindDialog::Replace, this,
            [this](bool all) { Guarded([this, all] { MainRDReplace(MainRD, all); }); });
}
