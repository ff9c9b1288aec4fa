#include "cedit.h"
#include "dabout.h"
#include "dsettings.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "fmain.h"
#include "guitest.h"
#include "registry.h"
#include "richedit.h"
#include "spinedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace zj;

namespace {

class Dialogs : public GuiTest {
protected:
    // Acts on the settings dialog as soon as the frame shows it.
    void WithSettings(std::function<void(TdlgSettings*)> act)
    {
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<TdlgSettings*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(dialog);
        });
        frame->mnuEditSettingsClick();
    }
    static void TypeInto(TSpinEdit* field, const QString& text)
    {
        field->Editor()->selectAll();
        QTest::keyClick(field->Editor(), Qt::Key_Delete);
        QTest::keyClicks(field->Editor(), text);
    }
    static void Leave(TSpinEdit* field)
    {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(field->Editor(), &out);
    }
};

} // namespace

TEST_F(Dialogs, OkWithoutChangesStoresTheSameValuesAndReappliesTheFont)
{
    TcwEdit* editor = NewEditor(dtJava);
    editor->SetEditorFont(QFont("DejaVu Serif", 30));
    const std::string before = Get(RegistryFileName());
    WithSettings([](TdlgSettings* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Settings");
        EXPECT_EQ(Child<QTabWidget>(dialog, "PageControl")->currentWidget(), Child<QWidget>(dialog, "tsDisplay"));
        EXPECT_EQ(Child<TSpinEdit>(dialog, "spnFontSize")->Text(), "8");
        EXPECT_FALSE(Child<QCheckBox>(dialog, "chkShowCompile")->isVisibleTo(dialog));
        Child<QPushButton>(dialog, "cmdOK")->click();
    });
    EXPECT_EQ(Get(RegistryFileName()), before);
    EXPECT_TRUE(HasEditorFont(editor));
}

TEST_F(Dialogs, CancelAfterAChangeWritesNothing)
{
    const std::string before = Get(RegistryFileName());
    const QFont font = frame->Font;
    WithSettings([](TdlgSettings* dialog) {
        Child<TSpinEdit>(dialog, "spnFontSize")->SetValue(20);
        Child<QLineEdit>(dialog, "edtJavac")->clear();
        Child<QPushButton>(dialog, "cmdCancel")->click();
    });
    EXPECT_EQ(Get(RegistryFileName()), before);
    EXPECT_EQ(frame->Font, font);
}

TEST_F(Dialogs, ANameThatIsNoFileBlocksEveryWayOfClosing)
{
    std::filesystem::create_directory(dir / "jdk");
    Put(Path("javac"), "");
    JavaCompilerPath = Path("javac");
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "class A {}");
    EXPECT_TRUE(Button("cmdJava")->isEnabled());
    WithSettings([this](TdlgSettings* dialog) {
        for (const std::string& bad : {Path("missing"), Path("jdk"), Path("javac") + " -g"}) {
            Child<QLineEdit>(dialog, "edtJavac")->setText(QString::fromStdString(bad));
            Child<QPushButton>(dialog, "cmdOK")->click();
            Child<QPushButton>(dialog, "cmdCancel")->click();
            QTest::keyClick(dialog, Qt::Key_Escape);
            dialog->close();
            EXPECT_TRUE(dialog->isVisible()) << bad;
        }
        EXPECT_TRUE(asked.empty()) << "refused silently";
        Child<QLineEdit>(dialog, "edtJavac")->clear();
        Child<QPushButton>(dialog, "cmdOK")->click();
    });
    EXPECT_TRUE(JavaCompilerPath.empty());
    Type(editor, " ");
    EXPECT_FALSE(Button("cmdJava")->isEnabled());
}

TEST_F(Dialogs, SizeFieldKeepsTypedValuesUntilLeft)
{
    TdlgSettings dialog(frame, "Courier", 8, "", false);
    dialog.show();
    TSpinEdit* size = Child<TSpinEdit>(&dialog, "spnFontSize");
    TypeInto(size, "100");
    EXPECT_EQ(size->Value(), 100);
    EXPECT_EQ(Child<QLabel>(&dialog, "pnlSample")->font().pointSize(), 100);
    Leave(size);
    EXPECT_EQ(size->Text(), "72");
    EXPECT_EQ(Child<QLabel>(&dialog, "pnlSample")->font().pointSize(), 72);
    TypeInto(size, "3");
    Leave(size);
    EXPECT_EQ(size->Text(), "6");
    QTest::keyClick(size->Editor(), Qt::Key_Down);
    EXPECT_EQ(size->Text(), "6");
    QTest::keyClick(size->Editor(), Qt::Key_Up);
    EXPECT_EQ(size->Text(), "7");
    TypeInto(size, "1x");
    EXPECT_EQ(size->Text(), "1");
    EXPECT_EQ(beeps, 1) << "a letter is refused with the beep";
    for (const char* text : {"", "-", "1.5"}) {
        TypeInto(size, text);
        EXPECT_EQ(size->Value(), 6) << text;
    }
}

TEST_F(Dialogs, EmptySizeCountsAsSixOnOk)
{
    WithSettings([](TdlgSettings* dialog) {
        Child<TSpinEdit>(dialog, "spnFontSize")->Editor()->clear();
        Child<QPushButton>(dialog, "cmdOK")->click();
    });
    EXPECT_EQ(FontSize(frame->Font, frame->PixelsPerInch), 6);
    EXPECT_NE(Get(RegistryFileName()).find("\"FontSize\"=dword:00000006"), std::string::npos);
}

TEST_F(Dialogs, UnknownFontKeepsItsNameButTakesSizeAndCompiler)
{
    frame->SetEditorFontName("No Such Typeface");
    Put(Path("javac"), "");
    WithSettings([this](TdlgSettings* dialog) {
        EXPECT_EQ(Child<QComboBox>(dialog, "cmbFontName")->currentIndex(), -1);
        Child<TSpinEdit>(dialog, "spnFontSize")->SetValue(12);
        Child<QLineEdit>(dialog, "edtJavac")->setText(QString::fromStdString(Path("javac")));
        Child<QPushButton>(dialog, "cmdOK")->click();
    });
    EXPECT_EQ(frame->Font.family(), "No Such Typeface");
    EXPECT_EQ(FontSize(frame->Font, frame->PixelsPerInch), 12);
    EXPECT_EQ(JavaCompilerPath, Path("javac"));
}

TEST_F(Dialogs, FontListIsSortedAndPickingChangesOnlyTheSample)
{
    TcwEdit* editor = NewEditor(dtText);
    const QFont editorFont = editor->memText->EditorFont();
    TdlgSettings dialog(frame, "dejavu sans", 8, "", false);
    QStringList names;
    for (int i = 0; i < Child<QComboBox>(&dialog, "cmbFontName")->count(); ++i)
        names << Child<QComboBox>(&dialog, "cmbFontName")->itemText(i);
    ASSERT_FALSE(names.isEmpty());
    for (int i = 1; i < names.size(); ++i)
        EXPECT_LE(names[i - 1].compare(names[i], Qt::CaseInsensitive), 0);
    EXPECT_EQ(Child<QComboBox>(&dialog, "cmbFontName")->currentText(), "DejaVu Sans") << "matched ignoring case";
    Child<QComboBox>(&dialog, "cmbFontName")->setCurrentIndex(names.indexOf("DejaVu Serif"));
    dialog.cmbFontNameChange();
    EXPECT_EQ(Child<QLabel>(&dialog, "pnlSample")->font().family(), "DejaVu Serif");
    EXPECT_EQ(editor->memText->EditorFont(), editorFont);
}

TEST_F(Dialogs, BrowsingStartsFromTheCompilersNameAndCancelKeepsTheField)
{
    TdlgSettings dialog(frame, "Courier", 8, "/old/javac", false);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "edtJavac")->text(), "/old/javac");
    std::vector<QString> names;
    int index = 0;
    TOpenDialog::ExecuteHook = [&](TOpenDialog& open) {
        names.push_back(open.FileName);
        index = open.FilterIndex;
        if (names.size() == 1) {
            open.FileName = "/jdk/bin/javac";
            open.FilterIndex = 2;
            return true;
        }
        return false;
    };
    dialog.cmdBrowseJavacClick();
    EXPECT_EQ(Child<QLineEdit>(&dialog, "edtJavac")->text(), "/jdk/bin/javac");
    dialog.cmdBrowseJavacClick();
    EXPECT_EQ(Child<QLineEdit>(&dialog, "edtJavac")->text(), "/jdk/bin/javac");
    ASSERT_EQ(names.size(), 2u);
    // The compiler's name here has no extension.
    EXPECT_EQ(names[1], "javac");
    EXPECT_EQ(index, 2) << "starts on the filter last confirmed";
    EXPECT_EQ(dialog.dlgOpen->Filter, "java compiler|javac|All files|*.*");
}

TEST_F(Dialogs, AboutBoxShowsTheTitleUnderItsOwnCaption)
{
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [] {
            auto* about = qobject_cast<TdlgAbout*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            EXPECT_EQ(about->windowTitle(), "About Zorvane's Java Editor");
            EXPECT_EQ(Child<QLabel>(about, "lblTitle")->text(), "Zorvane Java Editor");
            EXPECT_EQ(Child<QLabel>(about, "lblVersion")->text(), "Version 1.00");
            EXPECT_FALSE(Child<QLabel>(about, "imgIcon")->pixmap().isNull());
            EXPECT_FALSE(Child<QLabel>(about, "lblSupport")->text().isEmpty());
            Child<QPushButton>(about, "cmdOK")->click();
        });
        Item("mnuHelpAbout")->trigger();
    }
}

// Tab goes from the font list to the size field, one stop, then to the
// buttons and round to the pages; the size typed there is what OK takes.
TEST_F(Dialogs, TabFromTheFontListReachesTheSizeFieldAtOnce)
{
    WithSettings([](TdlgSettings* dialog) {
        // A window over the frame counts as active before it has the focus.
        ASSERT_TRUE(QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; }));
        auto* fonts = Child<QComboBox>(dialog, "cmbFontName");
        auto* pages = Child<QTabWidget>(dialog, "PageControl");
        QTest::keyClick(dialog, Qt::Key_F, Qt::AltModifier);
        const QList<QWidget*> chain = {fonts,
                                       Child<TSpinEdit>(dialog, "spnFontSize")->Editor(),
                                       Child<QPushButton>(dialog, "cmdOK"),
                                       Child<QPushButton>(dialog, "cmdCancel"),
                                       Child<QPushButton>(dialog, "cmdHelp"),
                                       pages->tabBar(),
                                       fonts};
        for (int stop = 0; stop < chain.size(); ++stop) {
            if (stop > 0)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), chain[stop]) << "stop " << stop;
        }
        QTest::keyClick(fonts, Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), pages->tabBar()) << "back from the list to the pages";

        QTest::keyClick(dialog, Qt::Key_F, Qt::AltModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "20");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "Return did not close the dialog";
            dialog->reject();
        }
    });
    EXPECT_EQ(FontSize(frame->Font, frame->PixelsPerInch), 20);
}

// Both open in the middle of the screen that holds the frame, wherever the
// frame stands on it.
TEST_F(Dialogs, SettingsAndAboutOpenCentredOnTheScreen)
{
    frame->setGeometry(10, 40, 500, 300);
    Settle();
    const QPoint centre = frame->screen()->availableGeometry().center();
    std::vector<QRect> shown;
    const auto record = [&shown] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        shown.push_back(dialog->frameGeometry());
        dialog->close();
    };
    QTimer::singleShot(0, record);
    Item("mnuEditSettings")->trigger();
    QTimer::singleShot(0, record);
    Item("mnuHelpAbout")->trigger();
    ASSERT_EQ(shown.size(), 2u);
    for (const QRect& window : shown) {
        EXPECT_LE(std::abs(window.center().x() - centre.x()), 1) << window.x() << "," << window.y();
        EXPECT_LE(std::abs(window.center().y() - centre.y()), 1) << window.x() << "," << window.y();
    }
}
