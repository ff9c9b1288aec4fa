#include "cedit.h"
#include "filedialogs.h"
#include "exceptions.h"
#include "fmain.h"
#include "guitest.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QClipboard>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>

#include <cmath>

#include <sys/stat.h>

using namespace zj;

namespace {

class Commands : public GuiTest {
protected:
    // Close, Save, Print, Undo, Cut, Paste, Find, Java, Browser, Tile.
    std::string Now() const
    {
        std::string state;
        for (bool on : {Item("mnuFileClose")->isEnabled(), Button("cmdSave")->isEnabled(),
                        Button("cmdPrint")->isEnabled(), Button("cmdUndo")->isEnabled(), Button("cmdCut")->isEnabled(),
                        Button("cmdPaste")->isEnabled(), Button("cmdFind")->isEnabled(), Button("cmdJava")->isEnabled(),
                        Button("cmdBrowser")->isEnabled(), Item("mnuWindowTile")->isEnabled()})
            state += on ? '1' : '0';
        return state;
    }
    std::string Compiler()
    {
        Put(Path("javac"), "#!/bin/sh\n");
        return Path("javac");
    }
};

} // namespace

TEST_F(Commands, StateWithoutAWindow)
{
    QApplication::clipboard()->setText("text");
    frame->UpdateMenuItems();
    EXPECT_EQ(Now(), "0000000000");
    for (QAction* item : {Item("mnuFileSaveAs"), Item("mnuFileSaveAll"), Item("mnuFilePrint"), Item("mnuEditCopy"),
                          Item("mnuEditPaste"), Item("mnuEditDelete"), Item("mnuSearchReplace")})
        EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
    for (QAction* item : {Item("mnuFileNewJava"), Item("mnuFileOpen"), Item("mnuFileExit"), Item("mnuEditSettings"),
                          Item("mnuHelpAbout"), Item("mnpFileNewOther")})
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
    EXPECT_TRUE(Button("cmdNew")->isEnabled() && Button("cmdOpen")->isEnabled() && Button("cmdExit")->isEnabled());
    EXPECT_FALSE(Selector()->isEnabled());
    EXPECT_EQ(Selector()->currentIndex(), -1);
    EXPECT_TRUE(Status().isEmpty());
    // Commands that need a window do nothing without one.
    frame->CloseDoc();
    frame->SaveDoc();
    frame->SaveDocAs();
    frame->SaveAllDocs();
    frame->EditUndo();
    frame->EditCut();
    frame->EditCopy();
    frame->EditPaste();
    frame->mnuEditDeleteClick();
    frame->mnuWindowTileClick();
    frame->mnuWindowArrangeClick();
    frame->mnuWindowMinimizeClick();
    EXPECT_TRUE(asked.empty());
}

TEST_F(Commands, TypingIntoAnEmptyJavaDocument)
{
    JavaCompilerPath = Compiler();
    QApplication::clipboard()->clear();
    TcwEdit* editor = NewEditor(dtJava);
    EXPECT_EQ(Now(), "1101000001");
    EXPECT_TRUE(Selector()->isEnabled());
    EXPECT_EQ(Selector()->currentIndex(), dtJava);

    Type(editor, "x");
    EXPECT_EQ(Now(), "1111001101");
    QTest::keyClick(editor->memText->viewport(), Qt::Key_Backspace);
    Settle();
    EXPECT_EQ(Now(), "1101000001");

    // One line break is text.
    QTest::keyClick(editor->memText->viewport(), Qt::Key_Return);
    Settle();
    EXPECT_EQ(std::string(editor->memText->Bytes()), "\r\n");
    EXPECT_TRUE(Button("cmdPrint")->isEnabled());

    editor->memText->selectAll();
    Settle();
    EXPECT_TRUE(Button("cmdCut")->isEnabled() && Item("mnuEditCopy")->isEnabled()
                && Item("mnuEditDelete")->isEnabled());
}

TEST_F(Commands, CompileNeedsAnExistingCompilerFileAndAJavaDocument)
{
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "class A {}");
    std::filesystem::create_directory(dir / "jdk");
    for (const std::string& path : {std::string(), Path("jdk"), Path("missing"), Compiler() + " -g"}) {
        JavaCompilerPath = path;
        frame->UpdateMenuItems();
        EXPECT_FALSE(Button("cmdJava")->isEnabled()) << path;
    }
    JavaCompilerPath = Compiler();
    frame->UpdateMenuItems();
    EXPECT_TRUE(Button("cmdJava")->isEnabled());

    TcwEdit* page = NewEditor(dtHtml);
    Type(page, "<p>");
    EXPECT_FALSE(Button("cmdJava")->isEnabled());
    // The selector's change shows only at the next event.
    Selector()->setCurrentIndex(dtJava);
    frame->cmbDocTypeChange();
    EXPECT_EQ(page->DocType(), dtJava);
    EXPECT_FALSE(Button("cmdJava")->isEnabled());
    Type(page, " ");
    EXPECT_TRUE(Button("cmdJava")->isEnabled());
}

TEST_F(Commands, BrowserNeedsTextAndABrowser)
{
    TcwEdit* editor = NewEditor(dtText);
    BrowserExe = "/usr/bin/browser";
    frame->UpdateMenuItems();
    EXPECT_FALSE(Button("cmdBrowser")->isEnabled());
    Type(editor, "plain text");
    EXPECT_TRUE(Button("cmdBrowser")->isEnabled());
    BrowserExe.clear();
    frame->UpdateMenuItems();
    EXPECT_FALSE(Button("cmdBrowser")->isEnabled());
}

TEST_F(Commands, PasteFollowsTheClipboardOnlyAtTheNextEvent)
{
    QApplication::clipboard()->clear();
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "abc");
    EXPECT_FALSE(Item("mnuEditPaste")->isEnabled());
    QApplication::clipboard()->setText("from elsewhere");
    Settle();
    EXPECT_FALSE(Item("mnuEditPaste")->isEnabled());
    QTest::keyClick(editor->memText->viewport(), Qt::Key_Left);
    Settle();
    EXPECT_TRUE(Item("mnuEditPaste")->isEnabled());
    EXPECT_TRUE(Button("cmdPaste")->isEnabled());
    frame->EditPaste();
    EXPECT_EQ(std::string(editor->memText->Bytes()), "abfrom elsewherec");
}

TEST_F(Commands, ShortcutsRunTheFramesCommands)
{
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "one two");
    editor->memText->SetSel(0, 4);
    Settle();
    QTest::keyClick(editor->memText->viewport(), Qt::Key_Delete, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(std::string(editor->memText->Bytes()), "two");
    QTest::keyClick(editor->memText->viewport(), Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(std::string(editor->memText->Bytes()), "one two");
}

// While an Edit command is enabled its key runs it, once; while it is
// disabled the key reaches the text, which does its own operation: the
// clipboard as it is now, the control's undo, the next word for Ctrl+Del.
TEST_F(Commands, EditKeysRunTheEnabledCommandOrReachTheText)
{
    struct Case {
        const char* item;
        Qt::Key key;
        bool enabled;
        int selStart, selLength;
        const char* text;
        const char* clipboard;
    };
    // The text "one two!" in two undo steps; the clipboard holds "new ".
    const Case cases[] = {
        {"mnuEditUndo", Qt::Key_Z, true, 8, 0, "one two", "new "},
        {"mnuEditUndo", Qt::Key_Z, false, 8, 0, "one two", "new "},
        {"mnuEditCut", Qt::Key_X, true, 0, 4, "two!", "one "},
        {"mnuEditCut", Qt::Key_X, false, 0, 4, "two!", "one "},
        {"mnuEditCopy", Qt::Key_C, true, 0, 3, "one two!", "one"},
        {"mnuEditCopy", Qt::Key_C, false, 0, 3, "one two!", "one"},
        {"mnuEditPaste", Qt::Key_V, true, 0, 0, "new one two!", "new "},
        {"mnuEditPaste", Qt::Key_V, false, 0, 0, "new one two!", "new "},
        {"mnuEditDelete", Qt::Key_Delete, true, 0, 4, "two!", "new "},
        {"mnuEditDelete", Qt::Key_Delete, false, 0, 0, "two!", "new "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + (c.enabled ? " enabled" : " disabled"));
        TcwEdit* editor = NewEditor(dtText);
        Type(editor, "one two");
        editor->memText->ReplaceSel("!");
        QApplication::clipboard()->setText("new ");
        editor->memText->SetSel(c.selStart, c.selLength);
        Settle();
        Item(c.item)->setEnabled(c.enabled);
        int ran = 0;
        QObject::connect(Item(c.item), &QAction::triggered, editor, [&ran] { ++ran; });
        QTest::keyClick(editor->memText->viewport(), c.key, Qt::ControlModifier);
        EXPECT_EQ(Text(editor), c.text);
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), c.clipboard);
        EXPECT_EQ(ran, c.enabled ? 1 : 0);
        editor->memText->SetModified(false);
        editor->close();
    }
}

// An Alt+letter that no menu takes types nothing.
TEST_F(Commands, AltLettersTypeNothing)
{
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "long");
    editor->memText->SetSel(2, 0);
    for (Qt::Key key : {Qt::Key_S, Qt::Key_X, Qt::Key_Q})
        QTest::keyClick(editor->memText->viewport(), key, Qt::AltModifier);
    EXPECT_EQ(Text(editor), "long");
}

TEST_F(Commands, OpenDoc)
{
    Put(Path("a.java"), "class A {}\n");
    openNames = {std::nullopt, Path("a.java"), Path("a.java"), Path("none.txt")};
    frame->OpenDoc();
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    frame->OpenDoc();
    frame->OpenDoc();
    Settle();
    ASSERT_EQ(frame->EditorWindows().size(), 2) << "the same file twice gives two windows";
    TcwEdit* opened = frame->ActiveEditor();
    EXPECT_EQ(opened->Caption(), "a.java");
    EXPECT_EQ(opened->DocType(), dtJava);
    EXPECT_TRUE(HasEditorFont(opened));
    EXPECT_EQ(Selector()->currentIndex(), dtJava);
    EXPECT_TRUE(Button("cmdPrint")->isEnabled());
    frame->OpenDoc();
    TcwEdit* missing = frame->ActiveEditor();
    EXPECT_EQ(missing->Caption(), "New");
    EXPECT_EQ(missing->DocType(), dtOther);
    EXPECT_TRUE(missing->Untitled());
    EXPECT_EQ(frame->UntitledCount, 0);
}

TEST_F(Commands, AFailedOpenLeavesNoWindow)
{
    ASSERT_EQ(::mkfifo(Path("fifo.java").c_str(), 0600), 0);
    for (const std::string& name : {Path("fifo.java"), std::string("/dev/zero"), std::string("/proc/self/mem")}) {
        openNames = {name};
        EXPECT_THROW(frame->OpenDoc(), EFOpenError) << name;
        EXPECT_TRUE(frame->EditorWindows().isEmpty()) << name;
    }
}

TEST_F(Commands, ALineOverAMegabyteIsShownOnlyWhenTheUserAgrees)
{
    const std::string megabyte(1 << 20, 'x');
    Put(Path("long.txt"), "short\r\n" + megabyte + "y\n");
    Put(Path("edge.txt"), megabyte + "\r\n" + megabyte);
    answers = {mrCancel};
    EXPECT_EQ(frame->OpenFile(Path("long.txt")), nullptr);
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    ASSERT_EQ(asked.size(), 1u);
    const int seconds = std::max(1, static_cast<int>(std::ceil(TRichEdit::LayoutSeconds((1 << 20) + 1, true))));
    EXPECT_EQ(asked[0].Text, QString::fromStdString("'" + Path("long.txt") + "' has a line of 1.0 MB; showing it may "
                                                    "take about " + std::to_string(seconds)
                                                    + " seconds. Open it anyway?"));
    EXPECT_EQ(asked[0].Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}));
    answers = {mrOk};
    TcwEdit* opened = frame->OpenFile(Path("long.txt"));
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Caption(), "long.txt");
    EXPECT_EQ(opened->memText->Length(), (1 << 20) + 9) << "its bytes as they are";
    EXPECT_NE(frame->OpenFile(Path("edge.txt")), nullptr) << "no question up to a megabyte";
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(Commands, FindEditorComparesNamesAsTheFileSystemDoes)
{
    std::filesystem::create_directory(dir / "sub");
    TcwEdit* opened = OpenSaved("A.java", "class A {}");
    NewEditor(dtJava);
    std::filesystem::create_symlink(Path("A.java"), Path("link.java"));
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir / "sub");
    EXPECT_EQ(frame->FindEditor(Path("A.java")), opened);
    EXPECT_EQ(frame->FindEditor(Path("sub/../A.java")), opened);
    EXPECT_EQ(frame->FindEditor("../A.java"), opened) << "relative to the current folder";
    EXPECT_EQ(frame->FindEditor(Path("link.java")), opened) << "another name of the same file";
    EXPECT_EQ(frame->FindEditor(Path("a.java")), nullptr) << "names differ in case here";
    EXPECT_EQ(frame->FindEditor(Path("B.java")), nullptr);
    EXPECT_EQ(frame->FindEditor(""), nullptr) << "untitled windows hold no file";
    std::filesystem::current_path(before);
}

TEST_F(Commands, SaveAllGoesOnAfterACancelledDialog)
{
    Put(Path("kept.txt"), "kept");
    openNames = {Path("kept.txt")};
    frame->OpenDoc();
    std::filesystem::remove(Path("kept.txt"));
    TcwEdit* first = NewEditor(dtText);
    Type(first, "first");
    TcwEdit* second = NewEditor(dtText);
    Type(second, "second");
    // From the least recently active to the most recent.
    saveNames = {std::nullopt, Path("second.txt")};
    frame->SaveAllDocs();
    EXPECT_EQ(Get(Path("kept.txt")), "kept") << "an unchanged document is written again";
    EXPECT_EQ(saveFilters.size(), 2u);
    EXPECT_EQ(Get(Path("second.txt")), "second");
    EXPECT_TRUE(first->Untitled());
}

TEST_F(Commands, ExitStopsAtARefusingWindow)
{
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "x");
    answers.push_back(mrYes);
    saveNames.push_back(std::nullopt);
    frame->ExitApp();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->EditorWindows().size(), 1);
    // No at the overwrite question offers the name again; cancelling keeps
    // the document.
    Put(Path("taken.java"), "taken");
    answers = {mrYes, mrNo};
    std::vector<QString> offered;
    TSaveDialog::ExecuteHook = [&](TSaveDialog& dialog) {
        offered.push_back(dialog.FileName);
        dialog.FileName = QString::fromStdString(Path("taken.java"));
        return offered.size() == 1;
    };
    frame->ExitApp();
    EXPECT_TRUE(frame->isVisible());
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[1], QString::fromStdString(Path("taken.java")));
    EXPECT_EQ(Text(editor), "x");
    EXPECT_EQ(Get(Path("taken.java")), "taken");
    answers.push_back(mrNo);
    frame->ExitApp();
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(Commands, WindowCommandsArrangeTheChildren)
{
    frame->resize(800, 600);
    TcwEdit* a = NewEditor(dtText);
    TcwEdit* b = NewEditor(dtText);
    TcwEdit* c = NewEditor(dtText);
    frame->mnuWindowTileClick();
    const int width = Child<QMdiArea>(frame, "ClientArea")->viewport()->width();
    EXPECT_EQ(a->geometry().top(), 0);
    EXPECT_EQ(a->width(), width);
    EXPECT_EQ(b->geometry().top(), a->geometry().bottom() + 1);
    EXPECT_EQ(c->geometry().top(), b->geometry().bottom() + 1);

    frame->mnuWindowCascadeClick();
    EXPECT_LT(a->geometry().top(), b->geometry().top());

    frame->mnuWindowMinimizeClick();
    for (TcwEdit* editor : {a, b, c})
        EXPECT_TRUE(editor->isMinimized());
    frame->mnuWindowArrangeClick();
    const int bottom = Child<QMdiArea>(frame, "ClientArea")->viewport()->rect().bottom() + 1;
    EXPECT_EQ(a->geometry().bottom() + 1, bottom);
    EXPECT_EQ(b->geometry().left(), a->geometry().right() + 1);

    // The window list activates the chosen window.
    emit Child<QMenu>(frame, "mnuWindow")->aboutToShow();
    QList<QAction*> items = Child<QMenu>(frame, "mnuWindow")->actions();
    ASSERT_EQ(items.size(), 4 + 1 + 3);
    EXPECT_EQ(items[5]->text(), "&1 Untitled_1.txt");
    items[5]->trigger();
    EXPECT_EQ(frame->ActiveEditor(), a);
}
