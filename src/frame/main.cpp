#include "application.h"
#include "classesroot_gio.h"
#include "derrors.h"
#include "filedialogs.h"
#include "fileio.h"
#include "fmain.h"
#include "formresources.h"
#include "msgdialogs.h"
#include "process.h"

#include <QIcon>
#include <QTimer>

#include <memory>

namespace {

// Told once the event that came upon it is done, so that no box opens in the
// middle of a load or a save.
void TellOfInterruptedSave(const zj::TInterruptedSave& save)
{
    QTimer::singleShot(0, qApp, [save] {
        const QString name = zj::FileNameToQt(save.FileName);
        zj::ShowWarningBox(
            save.KeptIn.empty()
                ? QStringLiteral("The save of %1 was cut short; its old content has been put back.").arg(name)
                : QStringLiteral("The save of %1 was cut short, and its old content was not put back because "
                                 "%2. It is kept in %3.")
                      .arg(name, QString::fromStdString(save.Reason), zj::FileNameToQt(save.KeptIn)));
    });
}

} // namespace

int main(int argc, char** argv)
{
#ifndef _WIN32
    // Before anything opens a file: a closed standard descriptor would be
    // taken by the next file (the display connection) and receive the echo
    // of the compiler's output.
    zj::OpenClosedStdStreams();
    // Whatever a compile or a program leaves behind, also in a session of
    // its own, stays the editor's to end.
    zj::BecomeSubreaper();
#endif
    zj::TApplication application(argc, argv);
    zj::SetApplicationTitle(QStringLiteral("Zorvane Java Editor"));
    zj::InitFormResources();
    application.setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
#ifndef _WIN32
    // Off Windows the .html association is the desktop's.
    zj::SetClassesRootSource(zj::DesktopClassesRoot());
#endif
    // A save that a crash or a kill cut short gets its old content back, here
    // or when a file is next read or saved, and the user hears of it.
    zj::SetInterruptedSaveNotice(TellOfInterruptedSave);
    zj::RecoverInterruptedSaves();
    // The command line is not read: a file named there is not opened.
    auto frame = std::make_unique<zj::TfrmMain>();
    auto errors = std::make_unique<zj::TdlgErrors>();
    zj::dlgErrors = errors.get();
    zj::CentreOnScreen(errors.get());
    frame->show();
    frame->OfferRecovery();
    int result = application.exec();
    zj::dlgErrors = nullptr;
    return result;
}
