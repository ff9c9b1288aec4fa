#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class QWidget;

namespace zj {

// File names are bytes in the program; Qt shows them decoded.
QString FileNameToQt(const std::string& fileName);
std::string FileNameFromQt(const QString& fileName);

// The folder where an open dialog starts instead of folder: off Windows, the
// user's home when the user may not write in folder (a program installed in a
// system folder), so that a Save As from there does not fail; else folder.
QString UserWritableFolder(const QString& folder);

// Filters are written as "description|mask|description|mask", masks of one
// filter separated by ";". FilterIndex counts from 1.
class TFileDialog {
public:
    explicit TFileDialog(QWidget* owner) : owner_(owner) {}
    virtual ~TFileDialog() = default;

    QString FileName;
    QString Filter;
    int FilterIndex = 1;
    QString InitialDir;

    // Runs the dialog modally; true when the user confirmed a name.
    virtual bool Execute() = 0;

    // The Qt name filters for Filter, one per description.
    static QStringList NameFilters(const QString& filter);

protected:
    QWidget* owner_;
};

class TOpenDialog : public TFileDialog {
public:
    using TFileDialog::TFileDialog;

    // The state of the read-only box, as the user last left it.
    bool ReadOnly = false;
    bool ShowReadOnly = true;

    bool Execute() override;

    // Tests choose the file here instead of a person.
    static std::function<bool(TOpenDialog&)> ExecuteHook;
};

class TSaveDialog : public TFileDialog {
public:
    using TFileDialog::TFileDialog;

    bool Execute() override;

    static std::function<bool(TSaveDialog&)> ExecuteHook;
};

} // namespace zj
