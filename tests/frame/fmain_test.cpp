#include "cedit.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "fmain.h"
#include "formresources.h"
#include "guitest.h"
#include "richedit.h"

#include <QApplication>
#include <QMenu>
#include <QStatusTipEvent>
#include <QTest>

#include <memory>

using namespace zj;

namespace {

class Frame : public GuiTest {};

// The frame's form as laid out, before any command state has run.
struct Layout : QMainWindow, Ui::TfrmMain {
    Layout()
    {
        InitFormResources();
        setupUi(this);
    }
};

} // namespace

TEST_F(Frame, LayoutOfMenusAtOpening)
{
    EXPECT_EQ(frame->windowTitle(), "Zorvane's Java Editor");
    QAction* menus[] = {frame->mnuFile->menuAction(), frame->mnuFileNew->menuAction(),
                        frame->mnuWindow->menuAction(), frame->mnuHelp->menuAction()};
    const char* menuHints[] = {"File related commands", "Create a new file",
                               "Window related commands such as Tile and Cascade", "Help topics"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(menus[i]->statusTip(), menuHints[i]);
    EXPECT_EQ(frame->mnuSearch->title(), "Search");

    auto layout = std::make_unique<Layout>();
    Layout* frame = layout.get();
    struct Item {
        QAction* action;
        const char* caption;
        const char* shortcut;
        const char* hint;
        bool enabled;
    };
    const Item items[] = {
        {frame->mnuFileOpen, "&Open", "", "Open an existing file", true},
        {frame->mnuFileClose, "&Close", "", "Close current file", false},
        {frame->mnuFileSave, "&Save", "Ctrl+S", "Save current file", false},
        {frame->mnuFileSaveAs, "Save &As...", "", "Save current file as...", false},
        {frame->mnuFileSaveAll, "Save All", "", "", false},
        {frame->mnuFilePrint, "&Print...", "", "", true},
        {frame->mnuFileExit, "E&xit", "", "Exit the application", true},
        {frame->mnuEditUndo, "&Undo", "Ctrl+Z", "", false},
        {frame->mnuEditCut, "Cu&t", "Ctrl+X", "Cut to clipboard", false},
        {frame->mnuEditCopy, "&Copy", "Ctrl+C", "Copy to clipboard", false},
        {frame->mnuEditPaste, "&Paste", "Ctrl+V", "Paste from clipboard", false},
        {frame->mnuEditDelete, "&Delete", "Ctrl+Del", "", false},
        {frame->mnuEditSettings, "&Settings...", "", "", true},
        {frame->mnuSearchFind, "Find...", "Ctrl+F", "", false},
        {frame->mnuSearchFindNext, "Find Next", "F3", "", false},
        {frame->mnuSearchReplace, "Replace...", "Ctrl+R", "", false},
        {frame->mnuWindowCascade, "&Cascade", "", "Arrange windows to overlap", true},
        {frame->mnuWindowTile, "&Tile", "", "Arrange windows without overlap", true},
        {frame->mnuWindowArrange, "&Arrange Icons", "", "Arrange window icons at bottom of main window", true},
        {frame->mnuWindowMinimize, "&Minimize All", "", "Minimize all windows", true},
        {frame->mnuHelpAbout, "&About", "", "", true},
        {frame->mnuFile->menuAction(), "&File", "", "", true},
        {frame->mnuWindow->menuAction(), "&Window", "", "", true},
    };
    for (const Item& item : items) {
        SCOPED_TRACE(item.caption);
        EXPECT_EQ(item.action->text(), item.caption);
        EXPECT_EQ(item.action->shortcut().toString(), item.shortcut);
        EXPECT_EQ(item.action->statusTip(), item.hint);
        EXPECT_EQ(item.action->isEnabled(), item.enabled);
    }
    const QList<QAction*> file = frame->mnuFile->actions();
    ASSERT_EQ(file.size(), 10);
    EXPECT_TRUE(file[6]->isSeparator());
    EXPECT_TRUE(file[8]->isSeparator());
    QAction* tagged[] = {frame->mnuFileNewJava, frame->mnuFileNewHtml, frame->mnuFileNewText,
                         frame->mnuFileNewOther, frame->mnpFileNewJava, frame->mnpFileNewHtml,
                         frame->mnpFileNewText, frame->mnpFileNewOther};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(tagged[i]->property("tag").toInt(), i % 4);
    EXPECT_EQ(frame->mnpFileNewOther->text(), "Other Document");
    EXPECT_EQ(frame->mnpFileNewHtml->text(), "New Html Document");
}

TEST_F(Frame, LayoutOfTheToolbar)
{
    auto layout = std::make_unique<Layout>();
    Layout* frame = layout.get();
    EXPECT_EQ(frame->SpeedPanel->height(), 30);
    struct Button {
        QToolButton* button;
        int left;
        const char* tip;
        bool enabled;
        int picture;
    };
    const Button buttons[] = {
        {frame->cmdNew, 6, "New", true, 20},          {frame->cmdOpen, 31, "Open", true, 20},
        {frame->cmdSave, 55, "Save", false, 20},      {frame->cmdSaveAll, 79, "Save", false, 20},
        {frame->cmdPrint, 103, "Print", true, 20},    {frame->cmdUndo, 135, "Undo", true, 20},
        {frame->cmdCut, 160, "Cut", false, 20},       {frame->cmdCopy, 184, "Copy", false, 20},
        {frame->cmdPaste, 208, "Paste", false, 20},   {frame->cmdFind, 239, "Find", true, 20},
        {frame->cmdFindNext, 264, "FindNext", true, 20}, {frame->cmdReplace, 289, "Replace", true, 20},
        {frame->cmdJava, 321, "Compile Java Code", true, 16},
        {frame->cmdBrowser, 346, "Load in Web Browser", true, 16},
        {frame->cmdExit, 488, "Exit", true, 20},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.tip);
        EXPECT_EQ(b.button->geometry(), QRect(b.left, 2, 25, 25));
        EXPECT_EQ(b.button->toolTip(), b.tip);
        EXPECT_TRUE(b.button->statusTip().isEmpty());
        EXPECT_EQ(b.button->isEnabled(), b.enabled);
        EXPECT_EQ(b.button->iconSize(), QSize(b.picture, b.picture));
        EXPECT_FALSE(b.button->icon().isNull());
        EXPECT_FALSE(b.button->icon().pixmap(b.picture, QIcon::Disabled).isNull());
    }
    EXPECT_EQ(frame->cmbDocType->geometry().topLeft(), QPoint(376, 4));
    EXPECT_EQ(frame->cmbDocType->width(), 105);
    EXPECT_FALSE(frame->cmbDocType->isEditable());
    EXPECT_EQ(frame->cmbDocType->count(), 1) << "the form declares one empty item";

    // Filled when the frame is created.
    QComboBox* selector = GuiTest::frame->cmbDocType;
    ASSERT_EQ(selector->count(), 4);
    EXPECT_EQ(selector->itemText(0), "Java");
    EXPECT_EQ(selector->itemText(1), "Html");
    EXPECT_EQ(selector->itemText(2), "Text");
    EXPECT_EQ(selector->itemText(3), "Other");
    EXPECT_EQ(selector->currentIndex(), -1);
    EXPECT_TRUE(GuiTest::frame->StatusBar->currentMessage().isEmpty());
}

TEST_F(Frame, NewDocumentsShareOneNumbering)
{
    frame->mnuFileNewJava->trigger();
    frame->mnpFileNewHtml->trigger();
    for (TcwEdit* editor : frame->EditorWindows())
        editor->close();
    Settle();
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    frame->mnuFileNewText->trigger();
    EXPECT_EQ(frame->ActiveEditor()->Caption(), "Untitled_3.txt");
    frame->mnpFileNewOther->trigger();
    EXPECT_EQ(frame->ActiveEditor()->Caption(), "Untitled_4.");
    EXPECT_EQ(frame->ActiveEditor()->DocType(), dtOther);
    EXPECT_EQ(frame->ActiveEditor()->font(), frame->Font);
    EXPECT_EQ(frame->UntitledCount, 4);
    frame->mnuFileNewClick(frame->cmdNew); // not a menu item: nothing
    EXPECT_EQ(frame->UntitledCount, 4);
}

TEST_F(Frame, SelectorChangesTheActiveDocumentsKind)
{
    TcwEdit* editor = NewEditor(dtJava);
    frame->cmbDocType->setCurrentIndex(dtText);
    EXPECT_EQ(editor->DocType(), dtJava) << "setting the index from code runs no handler";
    QTest::keyClick(frame->cmbDocType, Qt::Key_Down);
    frame->cmbDocType->setCurrentIndex(dtHtml);
    frame->cmbDocTypeChange();
    EXPECT_EQ(editor->DocType(), dtHtml);
    EXPECT_EQ(editor->Caption(), "Untitled_1.html");
}

TEST_F(Frame, SaveDialogOffersTheDocumentsKindFirst)
{
    saveNames.push_back(std::nullopt);
    saveNames.push_back(std::nullopt);
    EXPECT_FALSE(frame->ExecuteSaveDialog(dtOther));
    EXPECT_EQ(saveFilters.back(),
              "All files (*.*)|*.*|Java files (*.java)|*.java|Html files (*.htm, *.html)|*.htm;*.html|"
              "Text files (*.txt)|*.txt");
    frame->ExecuteSaveDialog(dtJava);
    EXPECT_EQ(saveFilters.back(), frame->dlgOpen->Filter);
    EXPECT_EQ(TFileDialog::NameFilters(saveFilters.back()).value(1),
              "Html files (*.htm, *.html) (*.htm *.html)");
}

TEST_F(Frame, SaveAsCompletesANameWithoutExtension)
{
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "class A {}");
    saveNames.push_back(Path("Hello"));
    EXPECT_TRUE(editor->SaveAs());
    EXPECT_EQ(Get(Path("Hello.java")), "class A {}");
    EXPECT_EQ(editor->Caption(), "Hello.java");
    EXPECT_EQ(frame->dlgSave->FileName.toStdString(), Path("Hello.java")) << "the dialog shows it next time";

    TcwEdit* other = NewEditor(dtOther);
    saveNames.push_back(Path("notes"));
    EXPECT_TRUE(other->SaveAs());
    EXPECT_EQ(other->FileName(), Path("notes."));
}

TEST_F(Frame, NewButtonOpensThePopupAtItsCorner)
{
    frame->move(120, 80);
    Settle();
    frame->cmdNewClick();
    Settle();
    ASSERT_TRUE(frame->mnpFileNew->isVisible());
    EXPECT_EQ(frame->mnpFileNew->pos(), frame->cmdNew->mapToGlobal(QPoint(0, 0)));
    frame->mnpFileNew->close();
}

TEST_F(Frame, ClosingAsksMostRecentFirstAndStopsAtTheFirstRefusal)
{
    TcwEdit* first = NewEditor(dtJava);
    Type(first, "1");
    TcwEdit* second = NewEditor(dtJava);
    Type(second, "2");
    TcwEdit* third = NewEditor(dtJava);
    Type(third, "3");

    answers = {mrNo, mrYes};
    saveNames.push_back(std::nullopt); // the second refuses by cancelling its Save As
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(Questions(), (std::vector<QString>{"Save 'Untitled_3.java'?", "Save 'Untitled_2.java'?"}));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->EditorWindows().size(), 3) << "the windows that agreed stay open";

    asked.clear();
    answers = {mrNo, mrNo, mrNo};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(asked.size(), 3u);
}

TEST_F(Frame, HintsShowTheirLongPartInTheStatusBar)
{
    QStatusTipEvent tip(frame->mnuFileOpen->statusTip());
    QApplication::sendEvent(frame->cmdOpen, &tip);
    EXPECT_EQ(frame->StatusBar->currentMessage(), "Open an existing file");
    frame->StatusBar->showMessage("Done");
    QApplication::sendEvent(frame->cmdOpen, &tip);
    EXPECT_EQ(frame->StatusBar->currentMessage(), "Done") << "an unchanged hint does not overwrite";
}

TEST_F(Frame, EditorFontIsCourierAtEightPoints)
{
    EXPECT_EQ(frame->Font.family(), "Courier");
    EXPECT_EQ(FontSize(frame->Font), 8);
    for (int ppi : {96, 120})
        for (int size = 1; size <= 99; ++size) {
            QFont font;
            SetFontSize(font, size, ppi);
            EXPECT_EQ(FontSize(font, ppi), size) << size << " at " << ppi;
        }
}
