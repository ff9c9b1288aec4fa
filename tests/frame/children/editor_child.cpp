// An editor process for the recovery tests: the real frame opens a saved file
// and a new Java document, types into each as the keyboard would, says so and
// runs on until it is killed. Arguments: the file, the text for it, the text
// for the new document, and optionally the wait before a copy in ms.
#include "application.h"
#include "cedit.h"
#include "crecovery.h"
#include "fmain.h"
#include "richedit.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

// Each character as a key of its own, also those beyond ASCII that
// QTest::keyClicks cannot name.
void Type(zj::TcwEdit* editor, const char* text)
{
    editor->memText->setFocus();
    QWidget* target = editor->memText->viewport();
    for (const QChar c : QString::fromUtf8(text)) {
        if (c == u'\r')
            QTest::keyClick(target, Qt::Key_Return);
        else if (c == u'\t')
            QTest::keyClick(target, Qt::Key_Tab);
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    zj::TApplication application(argc, argv);
    if (argc > 4)
        zj::TRecoveryCopier::IdleMs = std::atoi(argv[4]);
    zj::TfrmMain frame;
    frame.show();
    Type(frame.OpenFile(argv[1]), argv[2]);
    frame.NewDocument(zj::dtJava);
    Type(frame.ActiveEditor(), argv[3]);
    std::puts("typed");
    std::fflush(stdout);
    return application.exec();
}
