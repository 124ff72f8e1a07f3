// bench_main_timer: plays a generated two-camera recording in the main window and measures
// one 200 ms update (OnTimer with everything it paints: the dashboard painters, the
// assistance panel, the G-sensor window's cursor, and the repaint of what they changed),
// median and worst, beside the CPU time the process spends on one frame of the video itself.
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 bench_main_timer
#include "app/ControlIds.h"
#include "app/SamplePlayerDlg.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/DashboardPainters.h"
#include "views/ListDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegion>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString path = QDir::tempPath() + "/bench_main_timer.mp4";
    recgen::RecordingSpec spec;
    spec.durationMs = 20000;
    spec.width = 1280;
    spec.height = 720;
    spec.videoTracks = 2;
    spec.rearWidth = 640;
    spec.rearHeight = 480;
    spec.fps = 30;
    spec.gRecordsPerSecond = 10;
    std::string error;
    if (!recgen::WriteRecording(path.toStdString(), spec, nullptr, &error)) {
        std::fprintf(stderr, "cannot write the recording: %s\n", error.c_str());
        return 1;
    }

    CSamplePlayerDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    CListDlg::AppendRow(dlg.m_pListDlg->GetVisibleList(), "2017-08-11", "12:00:00", "Normal", path);
    dlg.m_pListDlg->SetSelectionMark(0);
    dlg.m_nFrontPane = kPaneLarge;
    dlg.OnBnClickedPlay();
    dlg.OnBnClickedGSensor();
    QTest::qWait(1000);
    QRegion dashboard;
    for (const QRect& r : {kGraphStripRect, kGraphLabelRect, kInfoTextRect, kSpeedometerRect}) dashboard += r;

    // The video alone: CPU time per frame over a few seconds of play with the update idle.
    const int frames = 3 * spec.fps;
    const double cpu0 = CpuSeconds();
    QTest::qWait(3000);
    const double perFrame = (CpuSeconds() - cpu0) / frames;

    std::vector<double> ticks;
    for (int i = 0; i < 40; ++i) {
        QElapsedTimer t;
        t.start();
        dlg.OnTimer(100);
        dlg.repaint(dashboard);
        dlg.GetDlgItem(IDC_STATIC_SMART)->repaint();
        dlg.m_pGSensorDlg->repaint();
        ticks.push_back(double(t.nsecsElapsed()) / 1e9);
        QTest::qWait(50);
    }
    std::sort(ticks.begin(), ticks.end());
    const double median = ticks[ticks.size() / 2], worst = ticks.back();
    std::printf("one update: median %.3f ms, worst %.3f ms\n", median * 1e3, worst * 1e3);
    std::printf("one video frame (process CPU): %.3f ms\n", perFrame * 1e3);
    std::printf("update / frame: median %.2f, worst %.2f\n", median / perFrame, worst / perFrame);
    dlg.OnBnClickedExit();
    return 0;
}
