#include "filedialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace zj;

namespace {

// Acts on the real file dialog as soon as it is shown.
void WhenShown(std::function<void(QFileDialog*)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

} // namespace

TEST(FileDialogs, OpenDialogCarriesFilterAndReadOnlyBox)
{
    const auto dir = std::filesystem::temp_directory_path() / "zj_filedialogs";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "A.java") << "class A {}";
    TOpenDialog open(nullptr);
    open.Filter = "Java files (*.java)|*.java|All files (*.*)|*.*";
    open.InitialDir = QString::fromStdString(dir.string());
    QStringList filters;
    WhenShown([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        auto* box = dialog->findChild<QCheckBox*>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Open as &read-only");
        box->setChecked(true);
        dialog->selectNameFilter(filters.value(1));
        dialog->selectFile(QString::fromStdString((dir / "A.java").string()));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(filters, (QStringList{"Java files (*.java) (*.java)", "All files (*.*) (*.*)"}));
    EXPECT_EQ(open.FileName.toStdString(), (dir / "A.java").string());
    EXPECT_TRUE(open.ReadOnly);
    EXPECT_EQ(open.FilterIndex, 2);

    WhenShown([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(open.Execute());
    EXPECT_TRUE(open.ReadOnly) << "the box keeps its state between uses";
    std::filesystem::remove_all(dir);
}

TEST(FileDialogs, SaveDialogReturnsTheTypedName)
{
    const auto dir = std::filesystem::temp_directory_path();
    TSaveDialog save(nullptr);
    save.Filter = "Text files (*.txt)|*.txt";
    WhenShown([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->selectFile(QString::fromStdString((dir / "zj_new_name").string()));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName.toStdString(), (dir / "zj_new_name").string());
}
