#pragma once

#include "editorhost.h"
#include "uitest.h"

#include <QMdiArea>

#include <memory>

namespace zj {

// Editor windows on their own: a plain MDI area stands in for the frame, and
// the host answers for it as the frame would.
class EditorTest : public UiTest, public IEditorHost {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new untitled document, numbered as the frame numbers them.
    TcwEdit* NewEditor(int docType);
    // A new window with fileName loaded, as Open makes it.
    TcwEdit* Open(const std::string& fileName);
    // Makes editor a visible child of the area.
    TcwEdit* Add(TcwEdit* editor);

    // What the host was told.
    QString status;
    int updates = 0;
    // The read-only box of the open dialog.
    bool openReadOnly = false;

    const TDocTypeList& DocTypeList() const override { return docTypes_; }
    bool OpenReadOnly() const override { return openReadOnly; }
    // The scripted names, taken as they stand.
    std::optional<std::string> AskSaveName(TDocType) override { return NextSaveName(); }
    void UpdateMenuItems() override { ++updates; }
    void ShowStatus(const QString& text) override { status = text; }
    TRecoveryStore* RecoveryStore() override { return nullptr; }

private:
    TDocTypeList docTypes_;
    std::unique_ptr<QMdiArea> area_;
    int untitledCount_ = 0;
};

} // namespace zj
