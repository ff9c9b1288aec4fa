// "Reopen": the files last opened or saved, kept in the registry under the
// program's key, the most recent first.
#include "fmain.h"

#include "application.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "registry.h"
#include "sysutils.h"
#include "ui_fmain.h"
#include "zidarodadefs.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace zj {

namespace {

constexpr int RecentCount = 8;
const char* const RecentKey = "Recent Files";
// Longer than any path a system takes: such a value is damaged.
constexpr std::size_t MaxPathLength = 32767;

std::string ValueName(int index)
{
    return "File" + std::to_string(index + 1);
}

// The list is a convenience: a store that cannot take it costs the list,
// never the command that opened or saved the file.
void WriteRecentFiles(const std::vector<std::string>& files)
{
    try {
        TRegistry reg(HKEY_CURRENT_USER);
        OpenAppKey(reg);
        reg.OpenKey(RecentKey, true);
        for (int i = 0; i < RecentCount; ++i)
            reg.WriteString(ValueName(i), i < static_cast<int>(files.size()) ? files[static_cast<std::size_t>(i)] : "");
    } catch (const std::exception&) {
    }
}

} // namespace

std::vector<std::string> TfrmMain::RecentFiles() const
{
    std::vector<std::string> files;
    try {
        TRegistry reg(HKEY_CURRENT_USER);
        OpenAppKey(reg);
        if (!reg.OpenKey(RecentKey, false))
            return files;
        for (int i = 0; i < RecentCount; ++i) {
            std::string name;
            try {
                name = reg.ReadString(ValueName(i), MaxPathLength);
            } catch (const ERegistryException&) {
                continue; // a value of another type, or too long to be read
            }
            if (!name.empty() && QDir::isAbsolutePath(FileNameToQt(name)) &&
                std::find(files.begin(), files.end(), name) == files.end())
                files.push_back(std::move(name));
        }
    } catch (const std::exception&) {
    }
    return files;
}

void TfrmMain::RememberFile(const std::string& fileName)
{
    const std::vector<std::string> files = RecentFiles();
    std::vector<std::string> updated{fileName};
    for (const std::string& file : files)
        if (static_cast<int>(updated.size()) < RecentCount && !SameFile(file, fileName))
            updated.push_back(file);
    if (updated != files)
        WriteRecentFiles(updated);
}

void TfrmMain::ReopenFile(const std::string& fileName)
{
    const QFileInfo file(FileNameToQt(fileName));
    // Only a file: a folder is not one, and a FIFO would wait for a writer.
    if (!file.isFile()) {
        std::vector<std::string> files = RecentFiles();
        files.erase(std::remove(files.begin(), files.end(), fileName), files.end());
        WriteRecentFiles(files);
        ShowStatus((file.exists() ? QStringLiteral("'%1' is not a file.") : QStringLiteral("'%1' no longer exists."))
                       .arg(FileNameToQt(fileName)));
        DefaultBeep();
        return;
    }
    OpenFile(fileName);
}

void TfrmMain::mnuFileAboutToShow()
{
    ui->mnuFileReopen->clear();
    const std::vector<std::string> files = RecentFiles();
    int number = 0;
    for (const std::string& file : files) {
        QString caption = FileNameToQt(file);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = ui->mnuFileReopen->addAction(QStringLiteral("&%1 %2").arg(++number).arg(caption));
        connect(item, &QAction::triggered, this, Guarded([this, file] { ReopenFile(file); }));
    }
    ui->mnuFileReopen->menuAction()->setEnabled(!files.empty());
}

} // namespace zj
