#include "app/SamplePlayerApp.h"

#include "app/SamplePlayerDlg.h"
#include "platform/Paths.h"

#include <QFont>

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
    // The map pages run in Qt WebEngine, which needs this before the application starts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CSamplePlayerApp app(argc, argv);
    app.InitInstance();
    return 0;
}
