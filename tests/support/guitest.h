#pragma once

#include "uitest.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

namespace zj {

class TfrmMain;

// A fresh frame per test, with its compiler-output window.
class GuiTest : public UiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    TfrmMain* frame = nullptr;

    TcwEdit* NewEditor(int docType);
    // Closes the frame without questions and starts a new one, as a second
    // start of the program would.
    void Restart();
    // Writes a file and opens it through the Open command.
    TcwEdit* OpenSaved(const std::string& name, const std::string& text);
    QString Status() const;
    // Whether editor's text shows the frame's editor font.
    ::testing::AssertionResult HasEditorFont(TcwEdit* editor) const;

    // The frame's components, by name.
    QAction* Item(const char* name) const;
    QToolButton* Button(const char* name) const;
    QComboBox* Selector() const;
    QStatusBar* StatusBar() const;
};

} // namespace zj
