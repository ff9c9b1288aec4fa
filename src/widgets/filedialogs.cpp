#include "filedialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace zj {

QString FileNameToQt(const std::string& fileName)
{
    return QFile::decodeName(QByteArray::fromStdString(fileName));
}

std::string FileNameFromQt(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

QString UserWritableFolder(const QString& folder)
{
#ifndef _WIN32
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return QDir::homePath();
#endif
    return folder;
}

std::function<bool(TOpenDialog&)> TOpenDialog::ExecuteHook;
std::function<bool(TSaveDialog&)> TSaveDialog::ExecuteHook;

QStringList TFileDialog::NameFilters(const QString& filter)
{
    // Qt reads the patterns from the last parentheses of each entry; the
    // descriptions already carry their own, so HideNameFilterDetails hides ours.
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts[i + 1];
        masks.replace(QLatin1Char(';'), QLatin1Char(' '));
        result << parts[i] + QStringLiteral(" (") + masks + QLatin1Char(')');
    }
    return result;
}

namespace {

void Prepare(QFileDialog& dialog, const TFileDialog& source)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters = TFileDialog::NameFilters(source.Filter);
    dialog.setNameFilters(filters);
    if (source.FilterIndex >= 1 && source.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[source.FilterIndex - 1]);
    if (!source.InitialDir.isEmpty())
        dialog.setDirectory(source.InitialDir);
    if (!source.FileName.isEmpty())
        dialog.selectFile(source.FileName);
}

void TakeResult(const QFileDialog& dialog, TFileDialog& target)
{
    target.FileName = QDir::toNativeSeparators(dialog.selectedFiles().value(0));
    // With the details hidden, Qt names the chosen filter by its description.
    const QString chosen = dialog.selectedNameFilter();
    const QStringList filters = TFileDialog::NameFilters(target.Filter);
    const QStringList parts = target.Filter.split(QLatin1Char('|'));
    for (int i = 0; i < filters.size(); ++i)
        if (filters[i] == chosen || parts[2 * i] == chosen)
            target.FilterIndex = i + 1;
}

} // namespace

bool TOpenDialog::Execute()
{
    if (ExecuteHook)
        return ExecuteHook(*this);
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The file need not exist; its folder must.
    dialog.setFileMode(QFileDialog::AnyFile);
    Prepare(dialog, *this);
    QCheckBox* readOnly = nullptr;
    if (ShowReadOnly) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            readOnly = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
            readOnly->setChecked(ReadOnly);
            grid->addWidget(readOnly, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        QFileInfo chosen(dialog.selectedFiles().value(0));
        if (chosen.absoluteDir().exists() && !chosen.isDir())
            break;
    }
    TakeResult(dialog, *this);
    if (readOnly)
        ReadOnly = readOnly->isChecked();
    return true;
}

bool TSaveDialog::Execute()
{
    if (ExecuteHook)
        return ExecuteHook(*this);
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The overwrite question is the editor's own.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    Prepare(dialog, *this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    TakeResult(dialog, *this);
    return true;
}

} // namespace zj
