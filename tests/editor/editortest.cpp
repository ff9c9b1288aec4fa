#include "editortest.h"

#include "cedit.h"

namespace zj {

void EditorTest::SetUp()
{
    UiTest::SetUp();
    area_ = std::make_unique<QMdiArea>();
    area_->resize(800, 600);
    area_->show();
}

void EditorTest::TearDown()
{
    area_.reset();
    UiTest::TearDown();
}

TcwEdit* EditorTest::Add(TcwEdit* editor)
{
    area_->addSubWindow(editor);
    editor->show();
    area_->setActiveSubWindow(editor);
    Settle();
    return editor;
}

TcwEdit* EditorTest::NewEditor(int docType)
{
    return Add(TcwEdit::CreateUntitled(*this, static_cast<TDocType>(docType), ++untitledCount_));
}

TcwEdit* EditorTest::Open(const std::string& fileName)
{
    TcwEdit* editor = Add(new TcwEdit(*this));
    editor->LoadFile(fileName);
    Settle();
    return editor;
}

} // namespace zj
