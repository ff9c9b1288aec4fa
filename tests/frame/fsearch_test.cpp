#include "cedit.h"
#include "finddialogs.h"
#include "fmain.h"
#include "guitest.h"
#include "richedit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace zj;

namespace {

class SearchCommands : public GuiTest {
protected:
    TcwEdit* Doc(const QString& text)
    {
        TcwEdit* editor = NewEditor(dtJava);
        Type(editor, text);
        return editor;
    }
    static void Press(QPushButton* button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        Settle();
    }
    using P = std::pair<int, int>;
};

} // namespace

TEST_F(SearchCommands, NothingWithoutAWindowOrASearchText)
{
    frame->dlgFind->SetFindText("a");
    frame->dlgReplace->SetFindText("a");
    frame->SearchFind();
    frame->SearchReplace();
    frame->SearchFindNext();
    frame->dlgFindFind(frame->dlgReplace);
    frame->dlgReplaceReplace();
    EXPECT_FALSE(frame->dlgFind->isVisible() || frame->dlgReplace->isVisible());

    frame->dlgFind->SetFindText("");
    frame->dlgReplace->SetFindText("");
    TcwEdit* editor = Doc("abc abc");
    Select(editor, 2, 0);
    Item("mnuSearchFindNext")->trigger();
    frame->dlgFindFind(frame->dlgReplace);
    frame->dlgReplaceReplace();
    EXPECT_EQ(Selection(editor), P(2, 0));
    EXPECT_TRUE(Status().isEmpty());
    EXPECT_EQ(beeps, 0);
}

TEST_F(SearchCommands, FindDialogActsOnTheActiveWindow)
{
    TcwEdit* first = Doc("one two one");
    TcwEdit* second = Doc("two one");
    second->SavedCaret = -1;
    Button("cmdFind")->click();
    EXPECT_EQ(second->SavedCaret, 7);
    EXPECT_TRUE(frame->dlgFind->isVisible());

    frame->dlgFind->edtFind->setText("one");
    Press(frame->dlgFind->cmdFindNext);
    EXPECT_EQ(Selection(second), P(4, 3));
    EXPECT_EQ(Selection(first), P(11, 0));
    EXPECT_EQ(frame->dlgReplace->FindText(), "one");
}

TEST_F(SearchCommands, EachDialogSearchesWithItsOwnOptions)
{
    TcwEdit* editor = Doc("ABC abc");
    frame->dlgFind->Options |= frMatchCase;
    Item("mnuSearchReplace")->trigger();
    frame->dlgReplace->edtFind->setText("abc");
    Press(frame->dlgReplace->cmdFindNext);
    EXPECT_EQ(Selection(editor), P(0, 3)) << "case-insensitive, as the Replace dialog says";
    EXPECT_EQ(frame->dlgFind->FindText(), "abc");
    Item("mnuSearchFindNext")->trigger();
    EXPECT_EQ(Selection(editor), P(4, 3)) << "F3 with the Find dialog's match case";
}

TEST_F(SearchCommands, ReplaceCopiesTheTextAndReplaceAllTakesTheReplaceDialogsOptions)
{
    TcwEdit* editor = Doc("ab Ab abc");
    frame->SearchReplace();
    frame->dlgReplace->edtFind->setText("ab");
    frame->dlgReplace->edtReplace->setText("x");
    Select(editor, 6, 3);
    Press(frame->dlgReplace->cmdReplace);
    EXPECT_EQ(std::string(editor->memText->Bytes()), "ab Ab abc");
    EXPECT_EQ(frame->dlgFind->FindText(), "ab");
    frame->SearchFindNext();
    EXPECT_EQ(Selection(editor), P(6, 2)) << "the search starts inside the selection";
    frame->SearchFindNext();
    EXPECT_EQ(Selection(editor), P(0, 2));

    frame->dlgReplace->chkMatchCase->setChecked(true);
    frame->dlgReplace->chkWholeWord->setChecked(true);
    Press(frame->dlgReplace->cmdReplaceAll);
    EXPECT_EQ(std::string(editor->memText->Bytes()), "x Ab abc");
    EXPECT_EQ(Selection(editor), P(0, 0));
    EXPECT_EQ(Status(), "Done Replacing 'ab' with 'x.'");
    EXPECT_EQ(beeps, 2);
}
