// bench_main_timer: plays a generated two-camera recording in the main window and measures
// one 200 ms update (OnTimer with everything it paints: the dashboard painters, the
// assistance panel, the G-sensor window's cursor, and the repaint of what they changed),
// median and worst, beside the CPU time the process spends on one frame of the video itself.
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 bench_main_timer
// The goal: an update's median below 0.1 and its worst below 0.5 of one frame. An update is
// counted in the GUI thread's CPU time, a frame as the median of several spans of play.
// A fixed loop timed like the updates shows what the machine itself adds: on a shared virtual
// machine a thread's CPU time stretches at times without any context switch.
// Instruction counts of the measured updates alone (repeatable on a loaded machine);
// BENCH_NOPARTS=1 ends the program after the measured updates, without the parts alone:
//   BENCH_NOPARTS=1 valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*MeasuredUpdate*' bench_main_timer
#include "app/ControlIds.h"
#include "app/SamplePlayerDlg.h"
#include "media/TrackData.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/DashboardPainters.h"
#include "views/GSensorDlg.h"
#include "views/ListDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegion>
#include <QPainter>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {
double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
struct UpdateTimes {
    double cpu[4];  // GUI thread CPU before the update, after it and after each window's paint
    long involuntary, voluntary, faults;  // the thread's context switches and page faults during it
    long steal;                           // the machine's steal ticks around it
};

// The time the hypervisor took the machine's processors away, in 10 ms ticks (all of them).
long StealTicks()
{
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long fields[8] = {};
    stat >> cpu;
    for (long& f : fields) stat >> f;
    return fields[7];
}

// The same instructions every time, about as long as an update: what varies is the machine.
[[gnu::noinline]] double FixedLoopCpuSeconds()
{
    const double start = ThreadCpuSeconds();
    volatile std::uint64_t sink = 0;
    std::uint64_t x = 1;
    for (int i = 0; i < 400000; ++i) x = x * 6364136223846793005u + 1442695040888963407u;
    sink = x;
    (void)sink;
    return ThreadCpuSeconds() - start;
}

// One update as the timer runs it, with the repaint of what it asked to be repainted (as the
// next paint of each window does it). Not inlined: a profiler can count this alone.
[[gnu::noinline]] UpdateTimes MeasuredUpdate(CSamplePlayerDlg& dlg)
{
    UpdateTimes t{};
    rusage before{}, after{};
    getrusage(RUSAGE_THREAD, &before);
    t.cpu[0] = ThreadCpuSeconds();
    dlg.OnTimer(100);
    t.cpu[1] = ThreadCpuSeconds();
    QCoreApplication::sendPostedEvents(&dlg, QEvent::UpdateRequest);
    t.cpu[2] = ThreadCpuSeconds();
    QCoreApplication::sendPostedEvents(dlg.m_pGSensorDlg, QEvent::UpdateRequest);
    t.cpu[3] = ThreadCpuSeconds();
    getrusage(RUSAGE_THREAD, &after);
    t.involuntary = after.ru_nivcsw - before.ru_nivcsw;
    t.voluntary = after.ru_nvcsw - before.ru_nvcsw;
    t.faults = after.ru_minflt - before.ru_minflt + after.ru_majflt - before.ru_majflt;
    return t;
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

    // The video alone: CPU time per frame with the update idle (its timer stopped; the updates
    // below are run one period apart by hand), the median of five spans of 600 ms of play.
    dlg.KillPlaybackTimer();
    std::vector<double> frameCosts;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = CpuSeconds();
        QTest::qWait(600);
        frameCosts.push_back((CpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9 * spec.fps));
    }
    std::sort(frameCosts.begin(), frameCosts.end());
    const double perFrame = frameCosts[frameCosts.size() / 2];

    // One update as the timer runs it, one timer period after the one before: wall time, and the
    // GUI thread's own CPU time (what the other threads and processes do not add to), stage by
    // stage, with the thread's context switches and page faults.
    // Paints asked for before the update belong to the video's frames: they are done first.
    // BENCH_TICKS sets how many updates are measured (the recording has about 15 seconds left,
    // 70 updates at most).
    const char* ticksEnv = std::getenv("BENCH_TICKS");
    const int tickCount = std::clamp(ticksEnv ? std::atoi(ticksEnv) : 40, 1, 70);
    const char* stageNames[] = {"timer (OnTimer)", "main window paint", "G-sensor paint"};
    constexpr int kStages = 3;
    std::vector<double> ticks, cpuTicks, stages[kStages], loops;
    UpdateTimes worstUpdate{};
    for (int i = 0; i < tickCount; ++i) {
        QTest::qWait(kPlaybackTimerMs);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QElapsedTimer t;
        t.start();
        const long steal = StealTicks();
        UpdateTimes c = MeasuredUpdate(dlg);
        ticks.push_back(double(t.nsecsElapsed()) / 1e9);
        c.steal = StealTicks() - steal;
        const double cpu = c.cpu[kStages] - c.cpu[0];
        if (cpuTicks.empty() || cpu > *std::max_element(cpuTicks.begin(), cpuTicks.end())) worstUpdate = c;
        cpuTicks.push_back(cpu);
        for (int s = 0; s < kStages; ++s) stages[s].push_back(c.cpu[s + 1] - c.cpu[s]);
        loops.push_back(FixedLoopCpuSeconds());
    }
    const auto sorted = [](std::vector<double>& v) -> const std::vector<double>& {
        std::sort(v.begin(), v.end());
        return v;
    };
    const auto medianOf = [](const std::vector<double>& v) { return v[v.size() / 2]; };
    const double median = medianOf(sorted(ticks)), worst = ticks.back();
    const double cpuMedian = medianOf(sorted(cpuTicks)), cpuWorst = cpuTicks.back();
    std::printf("one update (wall): median %.3f ms, worst %.3f ms\n", median * 1e3, worst * 1e3);
    std::printf("one update (GUI thread CPU): median %.3f ms, worst %.3f ms (%ld involuntary and %ld voluntary "
                "context switches, %ld page faults in it, %ld steal ticks of the machine around it)\n",
                cpuMedian * 1e3, cpuWorst * 1e3, worstUpdate.involuntary, worstUpdate.voluntary, worstUpdate.faults,
                worstUpdate.steal);
    for (int s = 0; s < kStages; ++s) {
        const std::vector<double>& v = sorted(stages[s]);
        std::printf("  %-18s median %.3f, worst %.3f\n", stageNames[s], medianOf(v) * 1e3, v.back() * 1e3);
    }
    const std::vector<double>& loop = sorted(loops);
    std::printf("a fixed loop after each update (GUI thread CPU): median %.3f ms, worst %.3f ms\n", medianOf(loop) * 1e3,
                loop.back() * 1e3);
    std::printf("one video frame (process CPU, median of %zu spans): %.3f ms (spans %.3f to %.3f)\n", frameCosts.size(),
                perFrame * 1e3, frameCosts.front() * 1e3, frameCosts.back() * 1e3);
    std::printf("update / frame (wall): median %.2f, worst %.2f\n", median / perFrame, worst / perFrame);
    std::printf("update / frame (CPU): median %.2f, worst %.2f\n", cpuMedian / perFrame, cpuWorst / perFrame);

    const char* noParts = std::getenv("BENCH_NOPARTS");
    if (noParts && std::atoi(noParts) != 0) {
        dlg.OnBnClickedExit();
        return 0;
    }

    // Each part alone, median and worst of 40 in a row (ms): what it costs when nothing changed.
    auto part = [](const char* what, auto f) {
        std::vector<double> v;
        for (int i = 0; i < 40; ++i) {
            QElapsedTimer t;
            t.start();
            f();
            v.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::sort(v.begin(), v.end());
        std::printf("  %-16s median %.3f, worst %.3f\n", what, v[v.size() / 2], v.back());
    };
    QImage layer(1020, 720, QImage::Format_ARGB32_Premultiplied);
    part("graph strip", [&] { QPainter p(&layer); DrawGraphStrip(&p, dlg.m_textData); });
    part("info text", [&] { QPainter p(&layer); DrawInfoText(&p); });
    part("speedometer", [&] { QPainter p(&layer); DrawSpeedometer(&p); });
    part("panel", [&] { dlg.DrawSmartPanel(); });
    QRegion dashboard;
    for (const QRect& r : {kGraphStripRect, kGraphLabelRect, kInfoTextRect, kSpeedometerRect}) dashboard += r;
    part("dashboard shown", [&] { dlg.repaint(dashboard); });
    part("G-sensor window", [&] { dlg.m_pGSensorDlg->repaint(); });
    part("position update", [&] { dlg.UpdatePlayPosition(); });
    part("whole OnTimer", [&] { dlg.OnTimer(100); });
    part("panel repaint", [&] { dlg.GetDlgItem(IDC_STATIC_SMART)->repaint(); });
    // The G-sensor window drawn for another recording's samples: 60 seconds of them at 10 a
    // second, two sets in turn, so that each drawing draws the curves anew.
    CTextData other;
    for (int i = 0; i <= 600; ++i) {
        CGSensorData s;
        s.m_nTimeMs = static_cast<std::uint32_t>(i * 100);
        s.m_nAxis1 = (i * 37) % 200 - 100;
        s.m_nAxis2 = (i * 13) % 120 - 60;
        s.m_nAxis3 = (i * 7) % 80 - 40;
        other.m_aGSensorData.push_back(s);
    }
    CGSensorDlg fresh(&other);
    QImage window(fresh.size(), QImage::Format_RGB32);
    part("G-sensor, new samples", [&] {
        for (CGSensorData& s : other.m_aGSensorData) s.m_nAxis3 = -s.m_nAxis3;
        fresh.render(&window);
    });
    dlg.OnBnClickedExit();
    return 0;
}
