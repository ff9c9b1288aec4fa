#include "uitest.h"

#include "cedit.h"
#include "filedialogs.h"
#include "printdialog.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QPrinter>
#include <QTest>

#include <fstream>
#include <unistd.h>

namespace zj {

void UiTest::SetUp()
{
    static int serial = 0;
    dir = std::filesystem::temp_directory_path()
          / ("zj_gui_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    std::filesystem::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
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
    NumberHook = [this](const TNumberRequest& request) -> std::optional<int> {
        numbersAsked.push_back(request);
        if (numbers.empty()) {
            ADD_FAILURE() << "unexpected number box: " << request.Prompt.toStdString();
            return std::nullopt;
        }
        std::optional<int> answer = numbers.front();
        numbers.pop_front();
        return answer;
    };
    TSaveDialog::ExecuteHook = [this](TSaveDialog& dialog) {
        saveFilters.push_back(dialog.Filter);
        std::optional<std::string> name = NextSaveName();
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
    TPrintDialog::ExecuteHook = [this](QPrinter& printer) {
        if (printFiles.empty()) {
            ADD_FAILURE() << "unexpected print dialog";
            return false;
        }
        std::optional<std::string> name = printFiles.front();
        printFiles.pop_front();
        if (!name)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(FileNameToQt(*name));
        return true;
    };
}

void UiTest::TearDown()
{
    Settle();
    MessageHook = nullptr;
    BeepHook = nullptr;
    NumberHook = nullptr;
    TSaveDialog::ExecuteHook = nullptr;
    TOpenDialog::ExecuteHook = nullptr;
    TPrintDialog::ExecuteHook = nullptr;
    EXPECT_TRUE(answers.empty()) << "answers left unused";
    EXPECT_TRUE(numbers.empty()) << "numbers left unused";
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir, ec);
}

std::optional<std::string> UiTest::NextSaveName()
{
    if (saveNames.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return std::nullopt;
    }
    std::optional<std::string> name = saveNames.front();
    saveNames.pop_front();
    return name;
}

void UiTest::Put(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string UiTest::Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<QString> UiTest::Questions() const
{
    std::vector<QString> texts;
    for (const TMessageRequest& request : asked)
        texts.push_back(request.Text);
    return texts;
}

void UiTest::Select(TcwEdit* editor, int start, int length)
{
    editor->memText->SetSel(start, length);
    Settle();
}

std::pair<int, int> UiTest::Selection(TcwEdit* editor)
{
    return {editor->memText->SelStart(), editor->memText->SelLength()};
}

void UiTest::Type(TcwEdit* editor, const QString& text)
{
    editor->memText->setFocus();
    QTest::keyClicks(editor->memText->viewport(), text);
    Settle();
}

std::string UiTest::Text(TcwEdit* editor)
{
    return std::string(editor->memText->Bytes());
}

void UiTest::Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace zj
