#include "app/SamplePlayerApp.h"

#include "app/SamplePlayerDlg.h"
#include "app/WebEngineSandbox.h"
#include "platform/Paths.h"

#include <QFont>

#include <cstdio>
#include <unistd.h>

CSamplePlayerApp::CSamplePlayerApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(Paths::kProgramName);
    setOrganizationName(QString::fromUtf8("로컬 응용 프로그램 마법사에서 생성된 응용 프로그램"));
    setApplicationDisplayName("VELMORA21");
    setDesktopFileName(Paths::kProgramName);
}

bool CSamplePlayerApp::InitInstance()
{
    CSamplePlayerDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    dlg.exec();
    return false;
}

int main(int argc, char** argv)
{
    // The map pages run in Qt WebEngine, which needs both of these before the application starts.
    const QString sandboxOff = PrepareWebEngineSandbox(geteuid());
    if (!sandboxOff.isEmpty())
        std::fprintf(stderr, "%s: the map pages run without Qt WebEngine's sandbox: %s.\n", Paths::kProgramName,
                     sandboxOff.toLocal8Bit().constData());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CSamplePlayerApp app(argc, argv);
    app.InitInstance();
    return 0;
}
