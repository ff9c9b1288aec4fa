// "Reopen" in the File menu: the files last opened or saved.
#include "cedit.h"
#include "fmain.h"
#include "guitest.h"
#include "registry.h"

#include <QMenu>

#include <sys/stat.h>

using namespace zj;

namespace {

class Recent : public GuiTest {
protected:
    // The items of "Reopen", as the File menu shows them.
    QList<QAction*> ReopenItems() const
    {
        emit Child<QMenu>(frame, "mnuFile")->aboutToShow();
        return Child<QMenu>(frame, "mnuFileReopen")->actions();
    }
    QStringList Captions() const
    {
        QStringList captions;
        for (QAction* item : ReopenItems())
            captions << item->text();
        return captions;
    }
    QString Caption(int number, const std::string& name) const
    {
        return QStringLiteral("&%1 %2").arg(number).arg(QString::fromStdString(Path(name)));
    }
    void Open(const std::string& name)
    {
        OpenSaved(name, name);
        frame->ActiveEditor()->close();
    }
};

} // namespace

TEST_F(Recent, ListsTheLastEightFilesOpenedOrSavedTheNewestFirst)
{
    EXPECT_TRUE(Captions().isEmpty());
    EXPECT_FALSE(Child<QMenu>(frame, "mnuFileReopen")->menuAction()->isEnabled());
    for (int i = 1; i <= 9; ++i)
        Open("f" + std::to_string(i) + ".txt");
    Open("f5.txt");
    TcwEdit* editor = NewEditor(dtText);
    saveNames.push_back(Path("saved.txt"));
    editor->SaveAs();
    const QStringList expected = {Caption(1, "saved.txt"), Caption(2, "f5.txt"), Caption(3, "f9.txt"),
                                  Caption(4, "f8.txt"),    Caption(5, "f7.txt"), Caption(6, "f6.txt"),
                                  Caption(7, "f4.txt"),    Caption(8, "f3.txt")};
    EXPECT_EQ(Captions(), expected);
    EXPECT_TRUE(Child<QMenu>(frame, "mnuFileReopen")->menuAction()->isEnabled());

    // Kept for the next start; choosing an item opens it as Open does.
    Restart();
    EXPECT_EQ(Captions(), expected);
    ReopenItems()[2]->trigger();
    ASSERT_NE(frame->ActiveEditor(), nullptr);
    EXPECT_EQ(frame->ActiveEditor()->FileName(), Path("f9.txt"));
    EXPECT_EQ(Captions()[0], Caption(1, "f9.txt"));
}

TEST_F(Recent, WhatIsNoLongerAFileLeavesTheListWithAMessage)
{
    for (const char* name : {"gone.txt", "folder", "fifo", "kept.txt"})
        Open(name);
    std::filesystem::remove(Path("gone.txt"));
    std::filesystem::remove(Path("folder"));
    std::filesystem::create_directory(Path("folder"));
    std::filesystem::remove(Path("fifo"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);

    const struct {
        const char* name;
        const char* message;
    } cases[] = {{"gone.txt", "' no longer exists."}, {"folder", "' is not a file."}, {"fifo", "' is not a file."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (QAction* item : ReopenItems())
            if (item->text().endsWith(QString::fromStdString("/" + std::string(c.name))))
                item->trigger();
        EXPECT_EQ(Status(), QString::fromStdString("'" + Path(c.name) + c.message));
        EXPECT_FALSE(Captions().join(' ').contains(c.name));
    }
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(Captions(), QStringList{Caption(1, "kept.txt")});
}

TEST_F(Recent, DamagedValuesAreIgnored)
{
    Open("good.txt");
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Recent Files]\r\n";
    const std::string values = "\"File1\"=dword:00000001\r\n"
                               "\"File2\"=\"relative.txt\"\r\n"
                               "\"File3\"=\"" + std::string(40000, 'x') + "\"\r\n"
                               "\"File4\"=hex:01,02\r\n"
                               "\"File5\"=\"" + Path("good.txt") + "\"\r\n"
                               "\"File6\"=\"" + Path("good.txt") + "\"\r\n";
    std::string store = Get(RegistryFileName());
    store = store.substr(0, store.find(key)) + key + values;
    Put(RegistryFileName(), store);
    EXPECT_EQ(Captions(), QStringList{Caption(1, "good.txt")});
    Open("next.txt");
    EXPECT_EQ(Captions(), (QStringList{Caption(1, "next.txt"), Caption(2, "good.txt")}));
}
