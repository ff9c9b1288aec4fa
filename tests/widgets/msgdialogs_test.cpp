#include "application.h"
#include "msgdialogs.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace zj;

namespace {

// Drives the real box: acts on it as soon as it is shown.
TModalResult AskWith(const std::vector<TMsgDlgBtn>& buttons, std::function<void(QDialog*)> act,
                     QStringList* captions = nullptr, QString* title = nullptr)
{
    MessageHook = nullptr;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (captions)
            for (QPushButton* button : box->findChildren<QPushButton*>())
                *captions << button->text();
        if (title)
            *title = box->windowTitle();
        act(box);
    });
    return MessageDlg("Question?", buttons);
}

} // namespace

TEST(ConfirmationBox, ButtonsDefaultEscapeAndCloseBox)
{
    const std::vector<TMsgDlgBtn> yesNoCancel{TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo};
    const std::vector<TMsgDlgBtn> yesNo{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo};
    const std::vector<TMsgDlgBtn> okCancel{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel};

    QStringList captions;
    QString title;
    auto enter = [](QDialog* box) { QTest::keyClick(box, Qt::Key_Return); };
    EXPECT_EQ(AskWith(yesNoCancel, enter, &captions, &title), mrYes);
    EXPECT_EQ(captions, (QStringList{"&Yes", "&No", "Cancel"}));
    EXPECT_EQ(title, "Confirm");
    EXPECT_EQ(AskWith(okCancel, enter), mrOk);

    auto escape = [](QDialog* box) { QTest::keyClick(box, Qt::Key_Escape); };
    EXPECT_EQ(AskWith(yesNoCancel, escape), mrCancel);
    EXPECT_EQ(AskWith(yesNo, escape), mrNo);

    auto closeBox = [](QDialog* box) { box->reject(); };
    EXPECT_EQ(AskWith(yesNo, closeBox), mrCancel);
}

TEST(ErrorBox, CarriesTheProgramTitleAndAPeriod)
{
    MessageHook = nullptr;
    QString text;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                text = label->text();
        box->accept();
    });
    ShowErrorBox("Cannot open file x");
    EXPECT_EQ(title, "Zorvane Java Editor");
    EXPECT_EQ(text, "Cannot open file x.");
}

TEST(Guarded, ErrorsOfAHandlerReachTheErrorBox)
{
    std::vector<TMessageRequest> asked;
    MessageHook = [&](const TMessageRequest& request) {
        asked.push_back(request);
        return mrOk;
    };
    Guarded([] { throw std::runtime_error("Failed to Save Stream"); })();
    MessageHook = nullptr;
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].IsError);
    EXPECT_EQ(asked[0].Text, "Failed to Save Stream.");
}
