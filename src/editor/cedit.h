#pragma once

#include "diskfile.h"
#include "finddialogs.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QMdiSubWindow>

#include <string>

class QAction;
class QFrame;
class QMenu;

namespace zj {

class IEditorHost;
class TRecoveryCopier;
class TRichEdit;
struct TRecoveryCopy;
class TTextPrinter;

// One window per document: it owns the text, its file, its kind and its
// modified state, and asks before unsaved changes are lost.
class TcwEdit : public QMdiSubWindow {
    Q_OBJECT
public:
    // An empty window captioned "New", of kind Other, untitled; the frame
    // that creates it makes it one of its children.
    explicit TcwEdit(IEditorHost& host);
    // A new empty document captioned "Untitled_<number>.<default extension>".
    static TcwEdit* CreateUntitled(IEditorHost& host, TDocType docType, int number);
    // A modified document holding a recovery copy's text, under the copy's
    // file name or, untitled, its caption. The file is not touched.
    static TcwEdit* CreateRecovered(IEditorHost& host, const TRecoveryCopy& copy);

    // Who the document is: its file, whether it has one of its own yet, its
    // kind and its caption. They change together, through SetIdentity only.
    struct TIdentity {
        std::string FileName;
        bool Untitled = true;
        TDocType DocType = dtOther;
        QString Caption;
    };

    const std::string& FileName() const { return identity_.FileName; }
    bool Untitled() const { return identity_.Untitled; }
    TDocType DocType() const { return identity_.DocType; }
    QString Caption() const { return identity_.Caption; }
    const TIdentity& Identity() const { return identity_; }

    int SavedCaret = 0;

    QMenu* mnpText;
    QAction* mnpTextCut;
    QAction* mnpTextCopy;
    QAction* mnpTextPaste;
    QAction* mnpTextDelete;
    QFrame* Panel1;
    TRichEdit* memText;

    // Another program may have changed the file: an unmodified document is
    // reloaded, a modified one asks first; a file gone marks the document
    // modified, so that its text is not lost on close.
    void CheckFileOnDisk();
    const TDiskFile& Disk() const { return disk_; }
    // The recovery copy of the document; null when copies are not kept.
    TRecoveryCopier* Recovery() const { return recovery_; }

    void SetUntitledName(int number, const std::string& ext);
    // accept, when given, decides on the file's shape before its text is
    // taken; false when it refused, and the window stays as it was.
    bool LoadFile(const std::string& fileName, const TAcceptText& accept = {});
    bool Save();
    bool SaveAs();
    bool QuerySave();
    bool IsSaved() const;
    void SetDocType(TDocType docType);
    void Undo();
    void Redo();
    void RememberCaret();
    // The editor font reaches the text only; the window keeps the system's
    // font for its title.
    void SetEditorFont(const QFont& font);
    // Prints the text, headed by the file name (the caption while untitled).
    void Print(TTextPrinter& printer);

    // Selects the next occurrence of text after the caret or a selected
    // occurrence, wrapping round once to the start of the text; false, with
    // "Can't find" in the status bar and a beep, when there is none.
    bool FindNext(const QString& text, bool wholeWord, bool matchCase);
    // The Replace and Replace All buttons of the replace dialog, with its
    // held texts and options.
    void Replace(const QString& findText, const QString& replaceText, TFindOptions options);
    // Replaces the selection with text and leaves the caret after it.
    void ReplaceSelection(const QString& replaceText);

    void FormCreate();
    void FormCloseQuery(bool& canClose);
    // The close query with its errors shown; an error counts as a refusal.
    bool CanClose();
    void doCut();
    void doCopy();
    void doPaste();
    void doDelete();
    void mnpTextPopup();
    void memTextClick();
    void memTextMouseDown();

signals:
    // The document was written to fileName.
    void FileWritten(const std::string& fileName);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetIdentity(TIdentity identity);
    void WriteText(const std::string& fileName);
    // A move of the search, whose selection change is handled at once.
    void Select(int start, int length);
    // Whether the selection is an occurrence of text: equal with the ASCII
    // letters folded when foldAscii, or equal by the search's case rule.
    bool SelectionIs(const std::string& text, bool foldAscii, bool matchCase);
    void ReplaceAll(const std::string& findBytes, const std::string& replaceBytes, bool selected,
                    bool wholeWord, bool matchCase);
    // Completion from the texts of every document in the same frame.
    void CompleteWord();

    IEditorHost& host_;
    TIdentity identity_;
    // The text holds the bytes of its file as last read or written; a
    // conversion on the way to the file may have made those differ.
    bool textAsRead_ = false;
    TDiskFile disk_;
    TRecoveryCopier* recovery_ = nullptr;
};

} // namespace zj
