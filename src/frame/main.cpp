#include "application.h"
#include "classesroot_gio.h"
#include "derrors.h"
#include "fileio.h"
#include "fmain.h"
#include "formresources.h"
#include "process.h"

#include <QIcon>

#include <memory>

int main(int argc, char** argv)
{
#ifndef _WIN32
    // Before anything opens a file: a closed standard descriptor would be
    // taken by the next file (the display connection) and receive the echo
    // of the compiler's output.
    zj::OpenClosedStdStreams();
#endif
    zj::TApplication application(argc, argv);
    zj::SetApplicationTitle(QStringLiteral("Zorvane Java Editor"));
    zj::InitFormResources();
    application.setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
#ifndef _WIN32
    // Off Windows the .html association is the desktop's.
    zj::SetClassesRootSource(zj::DesktopClassesRoot());
#endif
    // A save that a crash or a kill cut short gets its old content back.
    zj::RecoverInterruptedSaves();
    // The command line is not read: a file named there is not opened.
    auto frame = std::make_unique<zj::TfrmMain>();
    auto errors = std::make_unique<zj::TdlgErrors>();
    zj::dlgErrors = errors.get();
    zj::CentreOnScreen(errors.get());
    frame->show();
    int result = application.exec();
    zj::dlgErrors = nullptr;
    return result;
}
