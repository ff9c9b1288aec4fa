#include "cedit.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "fmain.h"
#include "formresources.h"
#include "ui_fmain.h"
#include "guitest.h"
#include "richedit.h"

#include <QApplication>
#include <QMenu>
#include <QProxyStyle>
#include <QStyleOptionTitleBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QWindow>

#include <memory>
#include <unistd.h>

using namespace zj;

namespace {

class Frame : public GuiTest {};

// Keeps the caption that a window's title bar is drawn with.
class TitleRecorder : public QProxyStyle {
public:
    QString drawn;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        if (control == CC_TitleBar)
            const_cast<TitleRecorder*>(this)->drawn = static_cast<const QStyleOptionTitleBar*>(option)->text;
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
};

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
    QAction* menus[] = {Child<QMenu>(frame, "mnuFile")->menuAction(), Child<QMenu>(frame, "mnuFileNew")->menuAction(),
                        Child<QMenu>(frame, "mnuWindow")->menuAction(), Child<QMenu>(frame, "mnuHelp")->menuAction()};
    const char* menuHints[] = {"File related commands", "Create a new file",
                               "Window related commands such as Tile and Cascade", "Help topics"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(menus[i]->statusTip(), menuHints[i]);
    EXPECT_EQ(Child<QMenu>(frame, "mnuSearch")->title(), "Search");

    auto layout = std::make_unique<Layout>();
    Layout* form = layout.get();
    struct Item {
        QAction* action;
        const char* caption;
        const char* shortcut;
        const char* hint;
        bool enabled;
    };
    const Item items[] = {
        {form->mnuFileOpen, "&Open", "", "Open an existing file", true},
        {form->mnuFileClose, "&Close", "", "Close current file", false},
        {form->mnuFileSave, "&Save", "Ctrl+S", "Save current file", false},
        {form->mnuFileSaveAs, "Save &As...", "", "Save current file as...", false},
        {form->mnuFileSaveAll, "Save All", "", "", false},
        {form->mnuFilePrint, "&Print...", "", "", true},
        {form->mnuFileExit, "E&xit", "", "Exit the application", true},
        {form->mnuEditUndo, "&Undo", "Ctrl+Z", "", false},
        {form->mnuEditRedo, "&Redo", "Ctrl+Y", "", false},
        {form->mnuFileReopen->menuAction(), "Reopen", "", "", true},
        {form->mnuEditCut, "Cu&t", "Ctrl+X", "Cut to clipboard", false},
        {form->mnuEditCopy, "&Copy", "Ctrl+C", "Copy to clipboard", false},
        {form->mnuEditPaste, "&Paste", "Ctrl+V", "Paste from clipboard", false},
        {form->mnuEditDelete, "&Delete", "Ctrl+Del", "", false},
        {form->mnuEditSettings, "&Settings...", "", "", true},
        {form->mnuSearchFind, "Find...", "Ctrl+F", "", false},
        {form->mnuSearchFindNext, "Find Next", "F3", "", false},
        {form->mnuSearchReplace, "Replace...", "Ctrl+R", "", false},
        {form->mnuSearchNextError, "Next Error", "F8", "Go to the next message of the last compile", false},
        {form->mnuSearchPreviousError, "Previous Error", "Shift+F8", "Go to the previous message of the last compile",
         false},
        {form->mnuSearchGoToLine, "Go to Line...", "Ctrl+G", "Go to a line by its number", false},
        {form->mnuWindowCascade, "&Cascade", "", "Arrange windows to overlap", true},
        {form->mnuWindowTile, "&Tile", "", "Arrange windows without overlap", true},
        {form->mnuWindowArrange, "&Arrange Icons", "", "Arrange window icons at bottom of main window", true},
        {form->mnuWindowMinimize, "&Minimize All", "", "Minimize all windows", true},
        {form->mnuHelpAbout, "&About", "", "", true},
        {form->mnuFile->menuAction(), "&File", "", "", true},
        {form->mnuWindow->menuAction(), "&Window", "", "", true},
    };
    for (const Item& item : items) {
        SCOPED_TRACE(item.caption);
        EXPECT_EQ(item.action->text(), item.caption);
        EXPECT_EQ(item.action->shortcut().toString(), item.shortcut);
        EXPECT_EQ(item.action->statusTip(), item.hint);
        EXPECT_EQ(item.action->isEnabled(), item.enabled);
    }
    const QList<QAction*> file = form->mnuFile->actions();
    ASSERT_EQ(file.size(), 11);
    EXPECT_EQ(file[2], form->mnuFileReopen->menuAction());
    EXPECT_TRUE(file[7]->isSeparator());
    EXPECT_TRUE(file[9]->isSeparator());
    EXPECT_EQ(form->mnuEdit->actions()[1], form->mnuEditRedo);
    const QList<QAction*> search = form->mnuSearch->actions();
    ASSERT_EQ(search.size(), 7);
    EXPECT_TRUE(search[3]->isSeparator());
    EXPECT_EQ(search[4], form->mnuSearchNextError);
    QAction* tagged[] = {form->mnuFileNewJava, form->mnuFileNewHtml, form->mnuFileNewText,
                         form->mnuFileNewOther, form->mnpFileNewJava, form->mnpFileNewHtml,
                         form->mnpFileNewText, form->mnpFileNewOther};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(tagged[i]->property("tag").toInt(), i % 4);
    EXPECT_EQ(form->mnpFileNewOther->text(), "Other Document");
    EXPECT_EQ(form->mnpFileNewHtml->text(), "New Html Document");
}

TEST_F(Frame, LayoutOfTheToolbar)
{
    auto layout = std::make_unique<Layout>();
    Layout* form = layout.get();
    EXPECT_EQ(form->SpeedPanel->height(), 30);
    struct Button {
        QToolButton* button;
        int left;
        const char* tip;
        bool enabled;
        int picture;
    };
    const Button buttons[] = {
        {form->cmdNew, 6, "New", true, 20},          {form->cmdOpen, 31, "Open", true, 20},
        {form->cmdSave, 55, "Save", false, 20},      {form->cmdSaveAll, 79, "Save", false, 20},
        {form->cmdPrint, 103, "Print", true, 20},    {form->cmdUndo, 135, "Undo", true, 20},
        {form->cmdCut, 160, "Cut", false, 20},       {form->cmdCopy, 184, "Copy", false, 20},
        {form->cmdPaste, 208, "Paste", false, 20},   {form->cmdFind, 239, "Find", true, 20},
        {form->cmdFindNext, 264, "FindNext", true, 20}, {form->cmdReplace, 289, "Replace", true, 20},
        {form->cmdJava, 321, "Compile Java Code", true, 16},
        {form->cmdBrowser, 346, "Load in Web Browser", true, 16},
        {form->cmdExit, 488, "Exit", true, 20},
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
    EXPECT_EQ(form->cmbDocType->geometry().topLeft(), QPoint(376, 4));
    EXPECT_EQ(form->cmbDocType->width(), 105);
    EXPECT_FALSE(form->cmbDocType->isEditable());
    EXPECT_EQ(form->cmbDocType->count(), 1) << "the form declares one empty item";

    // Filled when the frame is created.
    QComboBox* selector = Selector();
    ASSERT_EQ(selector->count(), 4);
    EXPECT_EQ(selector->itemText(0), "Java");
    EXPECT_EQ(selector->itemText(1), "Html");
    EXPECT_EQ(selector->itemText(2), "Text");
    EXPECT_EQ(selector->itemText(3), "Other");
    EXPECT_EQ(selector->currentIndex(), -1);
    EXPECT_TRUE(Status().isEmpty());
}

TEST_F(Frame, NewDocumentsShareOneNumbering)
{
    Item("mnuFileNewJava")->trigger();
    Item("mnpFileNewHtml")->trigger();
    for (TcwEdit* editor : frame->EditorWindows())
        editor->close();
    Settle();
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    Item("mnuFileNewText")->trigger();
    EXPECT_EQ(frame->ActiveEditor()->Caption(), "Untitled_3.txt");
    Item("mnpFileNewOther")->trigger();
    EXPECT_EQ(frame->ActiveEditor()->Caption(), "Untitled_4.");
    EXPECT_EQ(frame->ActiveEditor()->DocType(), dtOther);
    EXPECT_TRUE(HasEditorFont(frame->ActiveEditor()));
    EXPECT_EQ(frame->UntitledCount, 4);
    frame->mnuFileNewClick(Button("cmdNew")); // not a menu item: nothing
    EXPECT_EQ(frame->UntitledCount, 4);
}

TEST_F(Frame, SelectorChangesTheActiveDocumentsKind)
{
    TcwEdit* editor = NewEditor(dtJava);
    Selector()->setCurrentIndex(dtText);
    EXPECT_EQ(editor->DocType(), dtJava) << "setting the index from code runs no handler";
    QTest::keyClick(Selector(), Qt::Key_Down);
    Selector()->setCurrentIndex(dtHtml);
    frame->cmbDocTypeChange();
    EXPECT_EQ(editor->DocType(), dtHtml);
    EXPECT_EQ(editor->Caption(), "Untitled_1.html");
    EXPECT_EQ(editor->memText->Syntax(), TSyntax::Html) << "the colours follow at once";
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
    ASSERT_TRUE(Child<QMenu>(frame, "mnpFileNew")->isVisible());
    EXPECT_EQ(Child<QMenu>(frame, "mnpFileNew")->pos(), Button("cmdNew")->mapToGlobal(QPoint(0, 0)));
    Child<QMenu>(frame, "mnpFileNew")->close();
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
    EXPECT_EQ(StatusBar()->height(), 19);
    QStatusTipEvent tip(Item("mnuFileOpen")->statusTip());
    QApplication::sendEvent(Button("cmdOpen"), &tip);
    EXPECT_EQ(Status(), "Open an existing file");
    StatusBar()->showMessage("Done");
    QApplication::sendEvent(Button("cmdOpen"), &tip);
    EXPECT_EQ(Status(), "Done") << "an unchanged hint does not overwrite";
}

// The window system reads "[*]" in a title as the place of its modified mark:
// a file of that name is still shown by its name.
TEST_F(Frame, CaptionsShowFileNamesExactly)
{
    TcwEdit* editor = OpenSaved("a[*]b.txt", "text");
    EXPECT_EQ(editor->Caption().toStdString(), "a[*]b.txt");
    auto* style = new TitleRecorder;
    style->setParent(editor);
    editor->setStyle(style);
    editor->grab();
    EXPECT_EQ(style->drawn.toStdString(), "a[*]b.txt");
    emit Child<QMenu>(frame, "mnuWindow")->aboutToShow();
    EXPECT_EQ(Child<QMenu>(frame, "mnuWindow")->actions().last()->text().toStdString(), "&1 a[*]b.txt");
    editor->showMaximized();
    Settle();
    EXPECT_EQ(frame->windowHandle()->title().toStdString(), "Zorvane's Java Editor - [a[*]b.txt]");
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

// The editor font is the text's alone: the window's title keeps the system's
// font, and a huge editor font leaves the title bar as it was.
TEST_F(Frame, EditorFontReachesTheTextNotTheTitle)
{
    TcwEdit* editor = NewEditor(dtJava);
    const QFont titleFont = editor->font();
    const int titleHeight = editor->widget()->geometry().top();
    frame->SetEditorFontName("DejaVu Serif");
    SetFontSize(frame->Font, 40, frame->PixelsPerInch);
    frame->SaveSettings();
    frame->ApplyEditorFont(frame);
    Settle();
    EXPECT_TRUE(HasEditorFont(editor));
    EXPECT_EQ(editor->font(), titleFont);
    EXPECT_EQ(editor->widget()->geometry().top(), titleHeight);
    EXPECT_NE(frame->font().family(), "DejaVu Serif") << "only editor windows take the font";
}

// An installed program's folder belongs to the system: the open dialog starts
// at home there. Checked as an ordinary user, since root may write anywhere.
TEST_F(Frame, OpenDialogStartsAtHomeWhenTheProgramsFolderIsNotTheUsers)
{
    EXPECT_EQ(frame->dlgOpen->InitialDir, QCoreApplication::applicationDirPath())
        << "the test program's own folder is the user's";

    namespace fs = std::filesystem;
    fs::create_directories(dir / "home");
    fs::create_directories(dir / "mine");
    fs::create_directories(dir / "system");
    fs::permissions(dir / "mine", fs::perms::all);
    fs::permissions(dir / "system", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || (::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0));
    struct Case {
        std::string folder;
        std::string start;
    };
    const Case cases[] = {{"mine", "mine"}, {"system", "home"}, {"missing", "home"}};
    std::vector<std::string> starts;
    for (const Case& c : cases)
        starts.push_back(UserWritableFolder(QString::fromStdString(Path(c.folder))).toStdString());
    if (root) {
        EXPECT_TRUE(::setresuid(0, 0, 0) == 0 && ::setresgid(0, 0, 0) == 0);
    }
    qputenv("HOME", home);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(starts[i], Path(cases[i].start)) << cases[i].folder;
}
