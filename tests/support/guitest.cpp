#include "guitest.h"

#include "cedit.h"
#include "derrors.h"
#include "fmain.h"
#include "richedit.h"

#include <QFontDatabase>

#include <cmath>

namespace zj {

void GuiTest::SetUp()
{
    UiTest::SetUp();
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
    UiTest::TearDown();
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
    return StatusBar()->currentMessage();
}

::testing::AssertionResult GuiTest::HasEditorFont(TcwEdit* editor) const
{
    // The text sizes its styles in points; the frame keeps pixels. A typeface
    // that is not installed shows as the desktop's fixed-pitch one.
    const QFont& font = editor->memText->EditorFont();
    const double pixels = font.pointSizeF() * editor->memText->logicalDpiY() / 72.0;
    const QString family = QFontDatabase::families().contains(frame->Font.family(), Qt::CaseInsensitive)
                               ? frame->Font.family()
                               : QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (font.family() != family || std::lround(pixels) != frame->Font.pixelSize())
        return ::testing::AssertionFailure() << font.family().toStdString() << " " << pixels << " px, not "
                                             << family.toStdString() << " " << frame->Font.pixelSize() << " px";
    return ::testing::AssertionSuccess();
}

QAction* GuiTest::Item(const char* name) const
{
    return Child<QAction>(frame, name);
}

QToolButton* GuiTest::Button(const char* name) const
{
    return Child<QToolButton>(frame, name);
}

QComboBox* GuiTest::Selector() const
{
    return Child<QComboBox>(frame, "cmbDocType");
}

QStatusBar* GuiTest::StatusBar() const
{
    return Child<QStatusBar>(frame, "StatusBar");
}

} // namespace zj
