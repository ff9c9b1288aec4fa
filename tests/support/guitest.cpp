#include "guitest.h"

#include "cedit.h"
#include "derrors.h"
#include "filedialogs.h"
#include "fmain.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QTest>

#include <fstream>
#include <unistd.h>

namespace zj {

void GuiTest::SetUp()
{
    static int serial = 0;
    dir = std::filesystem::temp_directory_path()
          / ("zj_gui_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    std::filesystem::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    JavaCompilerPath.clear();
    BrowserExe.clear();
    ShowCompileWindow = false;

    MessageHook = [this](const TMessageRequest& request) {
        asked.push_back(request);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected box: " << request.Text.toStdString();
            return mrCancel;
        }
        TModalResult answer = answers.front();
        answers.pop_front();
        return answer;
    };
    BeepHook = [this] { ++beeps; };
    TSaveDialog::ExecuteHook = [this](TSaveDialog& dialog) {
        saveFilters.push_back(dialog.Filter);
        if (saveNames.empty()) {
            ADD_FAILURE() << "unexpected save dialog";
            return false;
        }
        std::optional<std::string> name = saveNames.front();
        saveNames.pop_front();
        if (!name)
            return false;
        dialog.FileName = FileNameToQt(*name);
        return true;
    };
    TOpenDialog::ExecuteHook = [this](TOpenDialog& dialog) {
        if (openNames.empty()) {
            ADD_FAILURE() << "unexpected open dialog";
            return false;
        }
        std::optional<std::string> name = openNames.front();
        openNames.pop_front();
        if (!name)
            return false;
        dialog.FileName = FileNameToQt(*name);
        return true;
    };

    frame = new TfrmMain;
    dlgErrors = new TdlgErrors;
    frame->show();
    Settle();
}

void GuiTest::TearDown()
{
    delete frame;
    frame = nullptr;
    delete dlgErrors;
    dlgErrors = nullptr;
    Settle();
    MessageHook = nullptr;
    BeepHook = nullptr;
    TSaveDialog::ExecuteHook = nullptr;
    TOpenDialog::ExecuteHook = nullptr;
    EXPECT_TRUE(answers.empty()) << "answers left unused";
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir, ec);
}

void GuiTest::Put(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string GuiTest::Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<QString> GuiTest::Questions() const
{
    std::vector<QString> texts;
    for (const TMessageRequest& request : asked)
        texts.push_back(request.Text);
    return texts;
}

void GuiTest::Restart()
{
    delete frame;
    frame = new TfrmMain;
    frame->show();
    Settle();
}

TcwEdit* GuiTest::NewEditor(int docType)
{
    frame->NewDocument(static_cast<TDocType>(docType));
    Settle();
    return frame->ActiveEditor();
}

TcwEdit* GuiTest::OpenSaved(const std::string& name, const std::string& text)
{
    Put(Path(name), text);
    openNames.push_back(Path(name));
    frame->OpenDoc();
    Settle();
    return frame->ActiveEditor();
}

QString GuiTest::Status() const
{
    return frame->StatusBar->currentMessage();
}

void GuiTest::Select(TcwEdit* editor, int start, int length)
{
    editor->memText->SetSel(start, length);
    Settle();
}

std::pair<int, int> GuiTest::Selection(TcwEdit* editor)
{
    return {editor->memText->SelStart(), editor->memText->SelLength()};
}

void GuiTest::Type(TcwEdit* editor, const QString& text)
{
    editor->memText->setFocus();
    QTest::keyClicks(editor->memText->viewport(), text);
    Settle();
}

void GuiTest::Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace zj
