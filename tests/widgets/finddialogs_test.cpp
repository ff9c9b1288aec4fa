#include "finddialogs.h"

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
