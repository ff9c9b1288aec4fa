#pragma once

#include "compilermessages.h"
#include "editorhost.h"
#include "javaprogram.h"
#include "job.h"
#include "zidarodadefs.h"

#include <QDockWidget>
#include <QFont>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QTimer;
class QToolButton;

namespace Ui {
class TfrmMain;
}

namespace zj {

class TcwEdit;
class TConsole;
class TdlgErrors;
class TJobWatch;
class TMessageList;
class TFindDialog;
class TOpenDialog;
class TPrintDialog;
class TRecoveryStore;
class TReplaceDialog;
class TSaveDialog;

// The frame: holds every editor window, carries the menus, the toolbar, the
// document-type selector and the status bar, and routes the commands to the
// active editor window.
class TfrmMain : public QMainWindow, public IEditorHost {
    Q_OBJECT
public:
    TfrmMain();
    ~TfrmMain() override;

    std::string BrowserCommand;
    std::unique_ptr<TDocTypeList> DocTypes;
    int UntitledCount = 0;
    // The editor font, which every editor window copies. Kept apart from the
    // frame's own widget font so that menus, selector and status bar keep theirs.
    QFont Font;
    // The screen's logical resolution, at which font sizes become pixel heights.
    int PixelsPerInch;

    std::unique_ptr<TOpenDialog> dlgOpen;
    std::unique_ptr<TSaveDialog> dlgSave;
    std::unique_ptr<TPrintDialog> dlgPrint;
    // Modeless, children of the frame.
    TFindDialog* dlgFind;
    TReplaceDialog* dlgReplace;

    void FormCreate();
    void FormDestroy();
    void NewDocument(TDocType docType);
    void ApplyEditorFont(QWidget* form);
    void mnuFileNewClick(QObject* sender);
    void cmdNewClick();
    void cmbDocTypeChange();
    bool ExecuteSaveDialog(TDocType docType);
    void DisplayHint(const QString& hint);

    // Loads (false) or stores (true) the editor font and the compiler command,
    // then gives every editor window the font.
    void ReadWriteSettings(bool save);
    void SaveSettings();
    // An empty name is ignored; a longer one is cut to 31 characters.
    void SetEditorFontName(const QString& name);

    void OpenDoc();
    void CloseDoc();
    void SaveDoc();
    void SaveDocAs();
    void SaveAllDocs();
    // Prints the active document on the printer chosen in dlgPrint.
    void PrintDoc();
    void ExitApp();
    void EditUndo();
    void EditRedo();
    void EditCut();
    void EditCopy();
    void EditPaste();
    void mnuEditDeleteClick();
    void mnuWindowCascadeClick();
    void mnuWindowTileClick();
    void mnuWindowArrangeClick();
    void mnuWindowMinimizeClick();
    void cmdJavaClick();
    // Runs the active Java document's program in the console, compiling it
    // first when its class is missing or older.
    void cmdRunClick();
    // Ends the compile and the program, whichever runs.
    void cmdStopClick();
    // With no compiler set, offers the javac found on the search path and
    // stores it as the settings dialog would; true when a compiler is set.
    bool EnsureCompiler();
    // F9 and F5: the compile or the Run button, once a compiler is set.
    void CompilerCommandKey(QToolButton* button);
    // An active Java document with text and no compile running.
    bool JavaCommandApplies() const;
    // Reads the .html association into BrowserCommand and BrowserExe; true
    // when an open command was found.
    bool FindBrowser();
    void cmdBrowserClick();
    void mnuEditSettingsClick();
    void mnuHelpAboutClick();
    void SearchFind();
    void SearchFindNext();
    void SearchReplace();
    void dlgFindFind(TFindDialog* sender);
    void dlgReplaceReplace();
    void mnuSearchNextErrorClick();
    void mnuSearchPreviousErrorClick();
    void mnuSearchGoToLineClick();

    // The messages Next and Previous Error step through: the last compile's
    // or the last run's, their file names made full.
    const std::vector<TCompilerMessage>& CompileMessages() const;
    // Shows where message index of those points: the window of its file
    // (opened as Open does when there is none) active, the caret on its line
    // and column. False when it points at no file that can be shown.
    bool GoToMessage(int index);

    // The pane titled "Console" below the documents, and its text.
    QDockWidget* pnlConsole;
    TConsole* memConsole;
    bool Compiling() const { return compile_ != nullptr; }
    bool ProgramRunning() const { return run_ != nullptr; }

    // Opens fileName in a new editor window, as Open does once the dialog has
    // given the name: the one way in which a file comes to a window. A file
    // with a line over a megabyte is shown only when the user agrees; null,
    // with no window, when the user did not. A file that cannot be read
    // raises the open error and leaves no window either.
    TcwEdit* OpenFile(const std::string& fileName);
    // The editor window that holds the file fileName, or null.
    TcwEdit* FindEditor(const std::string& fileName) const;
    // The active editor window, or null.
    TcwEdit* ActiveEditor() const;
    // The editor windows, the most recently activated first.
    QList<TcwEdit*> EditorWindows() const;
    // Whether another program changed the files of editors (every window
    // when null): run when the program or a window becomes active.
    void CheckFilesOnDisk(TcwEdit* editor = nullptr);
    // At start-up: offers the unsaved documents of editors that ended
    // without saving them (a crash, a kill), when there are any.
    void OfferRecovery();

    // The status bar's fields at its right edge follow the active document:
    // its caret's "Ln, Col", and "Modified" while it has unsaved changes.
    void UpdateStatusFields();
    // The same for a change of the caret or the modified state, drawn at
    // once or within a few milliseconds while changes follow quickly.
    void StatusFieldsChanged();

    // The files last opened or saved, the most recent first, as "Reopen"
    // lists them; kept in the registry.
    std::vector<std::string> RecentFiles() const;
    void RememberFile(const std::string& fileName);
    // Opens a file of the list as Open does; one that is no longer a file
    // leaves the list with a status message.
    void ReopenFile(const std::string& fileName);

    // IEditorHost
    const TDocTypeList& DocTypeList() const override { return *DocTypes; }
    bool OpenReadOnly() const override;
    std::optional<std::string> AskSaveName(TDocType docType) override;
    void UpdateMenuItems() override;
    void ShowStatus(const QString& text) override;
    TRecoveryStore* RecoveryStore() override { return recovery_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The two directions of ReadWriteSettings.
    void LoadSettings();
    void StoreSettings();
    void ConnectHandlers();
    // Keys of commands whose menu items show none.
    void CreateKeys();
    void CreateStatusFields();
    void mnuFileAboutToShow();
    // After a jump to a line, moves it out from under the output window.
    void KeepClearOfErrors(TcwEdit* editor);
    // Makes a new editor window a visible, active child of the frame.
    void AddEditor(TcwEdit* editor);
    void CreateSearchDialogs();
    // The form that holds widget: its editor window, or its top-level window.
    QWidget* FormOf(QWidget* widget) const;
    void ActiveFormChanged(QWidget* form);
    void mnuWindowAboutToShow();
    // Asks question (with the document's name for %1) when the document is not
    // saved, then saves it in any case; false when the user or the save said no.
    bool SaveBeforeUse(TcwEdit* editor, const QString& question);
    // Starts the compiler on fileName in the background.
    void StartCompile(const std::string& fileName);
    void CompileEnded(const std::string& fileName, const TJobEnd& end);
    void StartRun(const TJavaProgram& program, const std::string& launcher);
    void RunEnded(const TJobEnd& end);
    void CreateConsole();
    // Makes messages the ones Next and Previous Error step through, and marks
    // them in every window they name; marked is the one to mark of a run's,
    // -1 for all of a compile's.
    void TakeMessages(std::shared_ptr<TMessageList> messages, const std::string& compiledFile, int marked);
    // Marks in editor the messages of messages_ about its file.
    void MarkEditor(TcwEdit* editor);
    // The one way to a message's line, from any list.
    bool GoToMessage(TMessageList& messages, int index);
    void ShowCompileOutput(std::string_view output);
    void dlgErrorsLineChosen(int outputLine);
    void memConsoleLineChosen(int outputLine);

    // The menus, the toolbar, the selector and the status bar.
    std::unique_ptr<Ui::TfrmMain> ui;
    QString hintText_;
    bool hintInstalled_ = false;
    QMetaObject::Connection activeFormWatch_;
    QPointer<QWidget> activeForm_;
    QList<QAction*> windowList_;
    // Whether the last FindBrowser read a command with a file placeholder.
    bool browserTakesFile_ = false;
    std::shared_ptr<TMessageList> messages_;
    bool messagesLocated_ = false;
    // Of a run's messages the one marked; -1: all of a compile's.
    int markedMessage_ = -1;
    // The messages behind the output window's text and the console's.
    std::shared_ptr<TMessageList> errorsMessages_;
    std::shared_ptr<TMessageList> consoleMessages_;
    QPointer<TdlgErrors> errorsConnected_;
    // The compile and the program that run now, and what the compile has
    // written so far.
    std::unique_ptr<TJobWatch> compile_;
    std::string compileOutput_;
    std::unique_ptr<TJobWatch> run_;
    QString runName_;
    // The program to run once the compile that runs now has succeeded.
    struct TRunRequest {
        TJavaProgram Program;
        std::string Launcher;
    };
    std::optional<TRunRequest> runAfterCompile_;
    QLabel* lblCaret_ = nullptr;
    QLabel* lblModified_ = nullptr;
    QTimer* statusTimer_ = nullptr;
    bool checkingFiles_ = false;
    std::unique_ptr<TRecoveryStore> recovery_;
    // Told once until a copy is written again.
    bool recoveryFailureShown_ = false;
};

// The one frame of the program.
extern TfrmMain* frmMain;

} // namespace zj
