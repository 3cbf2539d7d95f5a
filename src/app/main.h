#pragma once

#include <cstdint>
#include <exception>
#include <optional>

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "build/builder.h"
#include "platform/textfile.h"

class FindDialog;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTextCursor;
class QTreeWidget;
class Prompts;
class SourceEdit;
struct SearchOptions;
class TAboutFM;
class TFlashFM;
class TFuseBitsFM;
class TRegMru;

// The three dialogs the main window shows; they live as long as the main window.
struct TDialogs
{
    TFlashFM* FlashFM = nullptr;
    TAboutFM* AboutFM = nullptr;
    TFuseBitsFM* FuseBitsFM = nullptr;
};

// The main window: one source document in the editor, the listing pane beside it, the message
// list below, the menus, and the target device.
class TMainFM final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainFM)

public:
    // arguments: the command line without the program; appDir: the directory of the program,
    // with its trailing separator, where bin/ holds the tool chain (empty: the executable's).
    TMainFM(Prompts& prompts, QStringList arguments, QString appDir = {});
    ~TMainFM() override;

    void SetDialogs(const TDialogs& dialogs) { FDialogs = dialogs; }

    // Document operations. Those returning bool return false when the user cancelled.
    bool QuerySave();
    bool NewDocument();
    void OpenDocument();
    bool LoadDocument(const QString& path);
    bool SaveDocument();
    bool SaveDocumentAs();
    // False when the user declined to change the file's encoding.
    bool WriteDocument();
    bool ParseTargetDirective();
    void ClearListing();
    void LoadListing(const QString& path);
    void ShowFlashDialog(const QString& imagePath);
    void Build(bool flash);
    bool Building() const { return FBuilding; }
    static void GotoLine(QPlainTextEdit* editor, int line);

    // Shows an error that ended an operation, as the application does for every handler.
    void ShowException(const std::exception& error);

    const QString& FileName() const { return FFileName; }
    bool Modified() const { return FModified; }
    std::int8_t Target() const { return FTarget; }
    bool CreateListing() const { return FCreateListing; }
    const QString& AppDir() const { return FAppDir; }
    const QString& GccPath() const { return FGccPath; }
    const QString& ObjcopyPath() const { return FObjcopyPath; }
    QPlainTextEdit* Editor() const { return EditorRE; }
    QPlainTextEdit* Listing() const { return ListingRE; }
    QTreeWidget* Messages() const { return MsgLV; }
    QString StatusPanel(int index) const;
    QWidget* ActiveControl() const { return FActiveControl; }
    TRegMru* RecentFiles() const { return MainMRU; }
    FindDialog* FindDialogFD() const { return MainFD; }
    FindDialog* ReplaceDialogRD() const { return MainRD; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateFileMenu();
    void CreateEditMenu();
    void CreateProjectMenu();
    void CreateTargetMenu(QMenu* project);
    void CreateOtherMenus();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& shortcut = {});
    void OnClick(QAction* item, void (TMainFM::*handler)());
    template <typename Handler> void Guarded(Handler handler);

    void SetFileName(const QString& path);
    void SetModified(bool flag);
    bool Ask(const QString& question);
    bool ChangedOnDisk() const;
    void FormActivate();
    void ReloadDocument();
    void ReportBackupCopies(const QString& path);
    void SetListingText(const QString& text);
    QString EditorText() const;

    void FormShow();
    void NewMIClick() { NewDocument(); }
    void OpenMIClick() { OpenDocument(); }
    void SaveMIClick() { SaveDocument(); }
    void SaveAsMIClick() { SaveDocumentAs(); }
    void ExitMIClick() { close(); }
    void EditorREChange() { SetModified(true); }
    void TargetDeviceOptionMIClick(QAction* item);
    void TargetMIClick();
    void ProjectMIClick();
    void CreateListingMIClick() { FCreateListing = !FCreateListing; }
    void ViewMIClick();
    void ShowListingMIClick();
    void EditorRESelectionChange(QPlainTextEdit* sender);
    void UpdateCaretPanel(QPlainTextEdit* sender);
    void FocusChanged(QWidget* now);
    void UpdateActions();
    QPlainTextEdit* ActiveTextControl() const;
    void EditAction(void (QPlainTextEdit::*operation)());
    void EditDelete();
    void AboutMIClick();
    void FlashBinMIClick();
    void CompileMIClick() { Build(false); }
    void CompileAndFlashMIClick() { Build(true); }
    bool RunBuild();
    bool FlashDespiteRamWarning();
    QList<QPointer<QAction>> LockCommands();
    void AddRow(const TMessageRow& row);
    void MsgLVDblClick();
    void MarkMessages(int first, int last);
    void NextMessageMIClick() { GoToMessage(true); }
    void PreviousMessageMIClick() { GoToMessage(false); }
    void GoToMessage(bool forward);
    SourceEdit* Source() const;
    void FuseBitsMIClick();

    void CreateRecentFiles();
    void MainMRUItemClick(const QString& fileName);
    void CreateFindDialogs();
    void FindACExecute() { ShowFindDialog(MainFD); }
    void ReplaceACExecute() { ShowFindDialog(MainRD); }
    void ShowFindDialog(FindDialog* dialog);
    void FindNextACExecute();
    void GotoLineACExecute();
    void MainFDFindAndClose();
    void MainFDFind(FindDialog* sender);
    void MainRDReplace(FindDialog* sender, bool all);
    static SearchOptions Options(const FindDialog& dialog);
    void SearchNext(QPlainTextEdit* control, const FindDialog& dialog);
    void ShowSearchResult(QPlainTextEdit* control, const QTextCursor& result);

    Prompts& FPrompts;
    const QStringList FArguments;
    TDialogs FDialogs;

    QString FFileName;
    bool FModified = false;
    bool FCreateListing = false;
    std::int8_t FTarget = 8;
    QString FAppDir;
    QString FGccPath;
    QString FObjcopyPath;
    TBuilder FBuilder;
    bool FBuilding = false;
    bool FCloseWhenBuilt = false;
    bool FFillingListing = false;
    TextFormat FFormat;
    // The file as it was loaded or last written; none for a new document.
    std::optional<FileStamp> FStamp;
    // A change on disk the user has already been asked about.
    std::optional<FileStamp> FToldStamp;
    QStringList FToldCopies;
    QWidget* FActiveControl = nullptr;
    bool FShown = false;

    QPlainTextEdit* EditorRE = nullptr;
    QSplitter* MessagesSP = nullptr;
    QTreeWidget* MsgLV = nullptr;
    QPlainTextEdit* ListingRE = nullptr;
    QSplitter* SourceSP = nullptr;
    QLabel* MainSBPanels[3] = {};
    TRegMru* MainMRU = nullptr;
    FindDialog* MainFD = nullptr;
    FindDialog* MainRD = nullptr;

    QMenu* FileMI = nullptr;
    QMenu* EditMI = nullptr;
    QMenu* ProjectMI = nullptr;
    QMenu* TargetMI = nullptr;
    QMenu* ViewMI = nullptr;
    QActionGroup* TargetGroup = nullptr;
    QAction* ExitMI = nullptr;
    QAction* FuseBitsMI = nullptr;
    QAction* CreateListingMI = nullptr;
    QAction* ShowListingMI = nullptr;
    QAction* EditUndoAC = nullptr;
    QAction* EditCutAC = nullptr;
    QAction* EditCopyAC = nullptr;
    QAction* EditPasteAC = nullptr;
    QAction* EditDeleteAC = nullptr;
    QAction* EditSelectAllAC = nullptr;
    QAction* ReplaceAC = nullptr;
    QAction* FindAC = nullptr;
    QAction* FindNextAC = nullptr;
    QAction* GotoLineAC = nullptr;
};
