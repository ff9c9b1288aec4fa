#include "finddialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace zj;

TEST(FindDialogs, HeldTextsFollowPressesNotTheBoxes)
{
    TReplaceDialog dialog(nullptr);
    dialog.Options = frDown | frDisableUpDown;
    dialog.Execute();
    EXPECT_FALSE(dialog.grpDirection->isEnabled());
    EXPECT_FALSE(dialog.cmdFindNext->isEnabled()) << "nothing to search for";

    QTest::keyClicks(dialog.edtFind, "abc");
    dialog.edtReplace->setText("xyz");
    dialog.chkMatchCase->setChecked(true);
    EXPECT_TRUE(dialog.FindText().isEmpty()) << "typing alone holds nothing";
    QTest::mouseClick(dialog.cmdFindNext, Qt::LeftButton);
    EXPECT_EQ(dialog.FindText(), "abc");
    EXPECT_EQ(dialog.Options, frDown | frDisableUpDown | frFindNext | frMatchCase);

    QTest::mouseClick(dialog.cmdReplaceAll, Qt::LeftButton);
    EXPECT_EQ(dialog.ReplaceText(), "xyz");
    EXPECT_EQ(dialog.Options, frDown | frDisableUpDown | frReplaceAll | frMatchCase);

    // Set while open: the box keeps what the user sees, the next opening
    // shows the set text, and closing keeps it while refreshing the options.
    dialog.SetFindText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(dialog.FindText().size(), TFindDialog::MaxTextLength);
    dialog.Execute();
    EXPECT_EQ(dialog.edtFind->text(), "abc") << "opening an open dialog only raises it";
    dialog.chkWholeWord->setChecked(true);
    QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Options, frDown | frDisableUpDown | frMatchCase | frWholeWord);
    EXPECT_EQ(dialog.FindText().size(), TFindDialog::MaxTextLength);
    dialog.Execute();
    EXPECT_EQ(dialog.edtFind->text(), dialog.FindText());
    EXPECT_EQ(dialog.edtReplace->text(), "xyz");
    EXPECT_TRUE(dialog.chkWholeWord->isChecked());

    TFindDialog find(nullptr);
    find.Options = frDown | frHideUpDown;
    find.Execute();
    EXPECT_FALSE(find.grpDirection->isVisible());
}

// Tab goes round the fields, then the boxes, then the buttons, as in the
// platform's own dialogs; typing a search, Tab and a replacement fills the
// replacement.
TEST(FindDialogs, TabGoesFromTheFieldsToTheBoxesToTheButtons)
{
    TReplaceDialog replace(nullptr);
    replace.Options = frDown | frDisableUpDown;
    TFindDialog find(nullptr);
    find.Options = frDown | frHideUpDown;
    const std::pair<TFindDialog*, QList<QWidget*>> chains[] = {
        {&replace,
         {replace.edtFind, replace.edtReplace, replace.chkWholeWord, replace.chkMatchCase, replace.cmdFindNext,
          replace.cmdReplace, replace.cmdReplaceAll, replace.cmdCancel}},
        {&find, {find.edtFind, find.chkWholeWord, find.chkMatchCase, find.cmdFindNext, find.cmdCancel}},
    };
    for (const auto& [dialog, chain] : chains) {
        dialog->Execute();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClicks(dialog->edtFind, "a");
        for (int stop = 0; stop < chain.size(); ++stop) {
            EXPECT_EQ(QApplication::focusWidget(), chain[stop])
                << dialog->windowTitle().toStdString() << ", stop " << stop;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(QApplication::focusWidget(), dialog->edtFind) << "round to the start";
        dialog->hide();
    }

    replace.Execute();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&replace));
    QTest::keyClicks(replace.edtFind, "a");
    QTest::keyClick(replace.edtFind, Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "Q");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    // A button's access key presses it visibly: the click follows a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !replace.FindText().isEmpty(); }));
    EXPECT_EQ(replace.FindText(), "a");
    EXPECT_EQ(replace.ReplaceText(), "Q");
    EXPECT_EQ(replace.Options, frDown | frDisableUpDown | frReplaceAll);
}
