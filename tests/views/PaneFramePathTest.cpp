// Decoded pictures through the real panes: a two-camera recording played on the path
// without a GL context costs one conversion a shown picture and no copy, what the screen
// shows is the picture the pane holds, the decoder's planes come out in the right colours
// and in the right place at every zoom, a high-density window gets them made at its own
// pixels, and where a GL context exists the card draws them (a software rasteriser's context
// only when asked for).
#include "PanePlacement.h"
#include "TestScratch.h"
#include "media/DShowPlayer.h"
#include "media/FrameScaler.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/VideoGlSurface.h"
#include "views/ListDlg.h"
#include "views/RearViewDlg.h"
#include "views/ZoomDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

int argc = 1;
char arg0[] = "views_pane_path_test";
char* argv[] = {arg0, nullptr};
QApplication* app = nullptr;

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A picture in I420 planes made by hand: yuv(x, y) gives the three samples of a pixel
// (chroma taken at the top-left pixel of each two by two block).
template <typename Yuv>
std::shared_ptr<VideoFrame> PlanesFrame(int w, int h, Yuv yuv)
{
    struct Store {
        std::vector<std::uint8_t> y, u, v;
    };
    auto store = std::make_shared<Store>();
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    store->y.resize(std::size_t(w) * h);
    store->u.resize(std::size_t(cw) * ch);
    store->v.resize(std::size_t(cw) * ch);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto s = yuv(x, y);
            store->y[std::size_t(y) * w + x] = s[0];
            if (x % 2 == 0 && y % 2 == 0) {
                store->u[std::size_t(y / 2) * cw + x / 2] = s[1];
                store->v[std::size_t(y / 2) * cw + x / 2] = s[2];
            }
        }
    auto frame = std::make_shared<VideoFrame>();
    frame->width = w;
    frame->height = h;
    VideoPlanes& p = frame->planes;
    p.layout = PlaneLayout::I420;
    p.data[0] = store->y.data();
    p.data[1] = store->u.data();
    p.data[2] = store->v.data();
    p.stride[0] = w;
    p.stride[1] = p.stride[2] = cw;
    p.keep = store;
    FrameScaler::ConvertOnFirstRead(*frame);
    return frame;
}

using Yuv = std::array<std::uint8_t, 3>;

double MeanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

int NumberShown(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    return recgen::ReadFrameNumber(rgb.constBits(), rgb.width(), rgb.height(), int(rgb.bytesPerLine()));
}

int NumberHeld(const CVideoPane* pane)
{
    const auto f = pane->CurrentFrame();
    if (!f) return -1;
    return recgen::ReadFrameNumber(f->pixels.data(), f->width, f->height, f->stride);
}

class PanePath : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!app) app = new QApplication(argc, argv);
    }

    void SetUp() override
    {
        main = std::make_unique<QWidget>();
        main->resize(1020, 720);
        zoom = new CZoomDlg(main.get());
        rear = new CRearViewDlg(main.get());
        PlaceFramesAsTheMainDialog(zoom, rear);
        for (CVideoPane* pane : panes()) {
            pane->rowCount = [] { return 1; };
            pane->playerState = [this] { return int(player.GetState()); };
            pane->updateVideoPosition = [this] { player.UpdateVideoPosition(1); };
        }
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void TearDown() override { player.Close(); }

    CVideoPane* front() const { return zoom->GetVideoView(); }
    CVideoPane* back() const { return rear->GetVideoView(); }
    std::vector<CVideoPane*> panes() const { return {front(), back()}; }

    std::string Recording(const char* name, int ms)
    {
        const QString dir = QString::fromStdString(TestScratchDir());
        const std::string path = (dir + QLatin1Char('/') + QLatin1String(name)).toStdString();
        recgen::RecordingSpec spec;
        spec.durationMs = ms;
        spec.fps = 25;
        spec.videoTracks = 2;
        spec.rearWidth = 160;
        spec.rearHeight = 120;
        std::string error;
        EXPECT_TRUE(recgen::WriteRecording(path, spec, nullptr, &error)) << error;
        return path;
    }

    // What the screen shows of a pane: the window system's own picture of the main window.
    QImage Shown(const CVideoPane* pane) const
    {
        const QImage screen = main->screen()->grabWindow(main->winId()).toImage();
        const QRect r(pane->mapTo(main.get(), QPoint(0, 0)), pane->size());
        return screen.copy(r & QRect(QPoint(0, 0), screen.size()));
    }

    std::unique_ptr<QWidget> main;
    CZoomDlg* zoom = nullptr;
    CRearViewDlg* rear = nullptr;
    CDShowPlayer player;
};

TEST_F(PanePath, TwoCamerasPlayWithOneConversionAShownPictureAndNoCopy)
{
    if (CVideoPane::GpuAvailable()) GTEST_SKIP() << "a GL context can be made here: the card draws the pictures";
    player.Init(2, front(), back());
    ASSERT_EQ(player.OpenFile(QString::fromStdString(Recording("two.mp4", 3000))), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return front()->CurrentFrame() && back()->CurrentFrame(); }, 10000));
    QTest::qWait(50);

    PaintCounter counter;
    for (CVideoPane* pane : panes()) pane->installEventFilter(&counter);
    VideoFrameWork& work = FrameWork();
    const std::int64_t decoded = work.decoded, conversions = work.conversions, copies = work.copies;
    ASSERT_EQ(player.Play(), 1);
    QTest::qWait(1500);
    const std::int64_t decodedNow = work.decoded - decoded;
    const std::int64_t convertedNow = work.conversions - conversions;
    const std::int64_t copiedNow = work.copies - copies;
    const int paints = counter.paints;
    ASSERT_EQ(player.Pause(), 1);
    for (CVideoPane* pane : panes()) pane->removeEventFilter(&counter);

    EXPECT_GT(decodedNow, 40);  // about 75 pictures of the two cameras in 1.5 s
    EXPECT_GT(paints, 20);
    EXPECT_LE(paints, decodedNow + 2);  // a pane paints when a picture comes, not more
    // One pass of colour conversion and scaling for each picture painted, into the window;
    // nothing copied, nothing converted in the graph, no full-size picture made.
    EXPECT_EQ(copiedNow, 0);
    EXPECT_EQ(convertedNow, paints);
    for (CVideoPane* pane : panes()) EXPECT_FALSE(pane->CurrentFrame()->pixels.Made());

    // What the screen shows is the picture each pane holds.
    QTest::qWait(100);
    for (CVideoPane* pane : panes()) {
        const int held = NumberHeld(pane);
        EXPECT_GT(held, 10);
        EXPECT_EQ(NumberShown(Shown(pane)), held) << pane->width();
    }
}

TEST_F(PanePath, DecodedPlanesShowInTheirColours)
{
    // BT.601 studio-range red, green, blue and white quarters.
    const Yuv colours[4] = {{81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {235, 128, 128}};
    const QColor expected[4] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 255)};
    front()->PresentFrame(PlanesFrame(320, 240, [&](int x, int y) { return colours[(y >= 120) * 2 + (x >= 160)]; }));
    QTest::qWait(20);
    const QImage shot = zoom->grab().toImage();
    const QPoint at[4] = {{160, 90}, {480, 90}, {160, 270}, {480, 270}};
    for (int i = 0; i < 4; ++i) {
        const QColor c = shot.pixelColor(at[i]);
        EXPECT_NEAR(c.red(), expected[i].red(), 6) << i;
        EXPECT_NEAR(c.green(), expected[i].green(), 6) << i;
        EXPECT_NEAR(c.blue(), expected[i].blue(), 6) << i;
    }
}

TEST_F(PanePath, AZoomedPictureSitsWhereTheZoomPutsIt)
{
    // A chequer of 8-pixel cells: a picture off by a pixel or two at any zoom shows it.
    const auto frame = PlanesFrame(320, 240, [](int x, int y) {
        const bool on = ((x / 8) + (y / 8)) % 2 != 0;
        return Yuv{std::uint8_t(on ? 235 : 16), 128, 128};
    });
    const QImage full = QImage(frame->pixels.data(), 320, 240, frame->stride, QImage::Format_RGB32).copy();
    front()->PresentFrame(frame);
    front()->playerState = [] { return kPlayerPaused; };  // the wheel zooms only a playing recording
    struct Step {
        int level;
        QPoint anchor;
        QPoint drag;  // dragged by this much afterwards
    };
    const Step steps[] = {{1, {320, 180}, {0, 0}},   {2, {0, 0}, {0, 0}},       {3, {639, 359}, {0, 0}},
                          {8, {123, 77}, {0, 0}},    {15, {500, 40}, {0, 0}},   {15, {320, 180}, {-37, 51}},
                          {6, {10, 350}, {113, -9}}};
    for (const Step& s : steps) {
        front()->SetZoomLevel(1);
        front()->setGeometry(0, 0, 640, 360);
        for (int l = 1; l < s.level; ++l) front()->OnMouseWheel(0, 120, zoom->mapToGlobal(s.anchor));
        ASSERT_EQ(front()->ZoomLevel(), s.level);
        if (s.drag != QPoint()) {
            front()->OnLButtonDown(MK_LBUTTON, QPoint(300, 200));
            front()->OnMouseMove(MK_LBUTTON, QPoint(300, 200) + s.drag);
            front()->OnLButtonUp(0, QPoint(300, 200) + s.drag);
        }
        QTest::qWait(10);
        const QImage shot = zoom->grab().toImage();
        // The picture scaled over the pane's rectangle, as much of it as the frame shows.
        QImage reference(zoom->size(), QImage::Format_RGB32);
        reference.fill(Qt::black);
        {
            QPainter p(&reference);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(front()->geometry(), full);
        }
        EXPECT_LT(MeanDifference(shot, reference), 4.0)
            << "level " << s.level << " at " << s.anchor.x() << "," << s.anchor.y();
    }
}

TEST_F(PanePath, AHighDensityWindowGetsThePictureInItsOwnPixels)
{
    if (CVideoPane::GpuAvailable()) GTEST_SKIP() << "a GL context can be made here: the card draws the pictures";
    // A window of two pixels a point: one pass straight into its pixels, none copied, and the
    // picture as sharp as it is when scaled to those pixels (not enlarged from points).
    const auto frame = PlanesFrame(320, 240, [](int x, int y) {
        const bool on = ((x / 8) + (y / 8)) % 2 != 0;
        return Yuv{std::uint8_t(on ? 235 : 16), 128, 128};
    });
    const QImage full = QImage(frame->pixels.data(), 320, 240, frame->stride, QImage::Format_RGB32).copy();
    front()->PresentFrame(frame);
    QTest::qWait(20);
    QImage window(1280, 720, QImage::Format_RGB32);
    window.setDevicePixelRatio(2);
    VideoFrameWork& work = FrameWork();
    const std::int64_t conversions = work.conversions, copies = work.copies;
    front()->render(&window);
    EXPECT_EQ(work.conversions - conversions, 1);
    EXPECT_EQ(work.copies - copies, 0);
    QImage reference(window.size(), QImage::Format_RGB32);
    {
        QPainter p(&reference);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(reference.rect(), full);
    }
    window.setDevicePixelRatio(1);
    EXPECT_LT(MeanDifference(window, reference), 4.0);
}

TEST(PaneGl, SoftwareRasterisersAreToldFromCardsByTheirRendererNames)
{
    const struct {
        const char* renderer;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Software Rasterizer", true},
        {nullptr, true},
        // Cards whose drivers also name LLVM, Mesa or Gallium.
        {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
        {"virgl (Mesa Gallium)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VideoGlSurface::SoftwareRasteriser(c.renderer), c.software) << (c.renderer ? c.renderer : "null");
}

TEST_F(PanePath, TheCardDrawsTheRecordingWhereAGlContextExists)
{
    if (!CVideoPane::GpuAvailable())
        GTEST_SKIP() << "no GL context for the panes on this platform; run under a display (Xvfb with Mesa, "
                        "QT_QPA_PLATFORM=xcb, VIEWER_SOFTWARE_GL=1) for the GL path";
    player.Init(2, front(), back());
    ASSERT_EQ(player.OpenFile(QString::fromStdString(Recording("gl.mp4", 2000))), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return front()->CurrentFrame() && back()->CurrentFrame(); }, 10000));
    for (CVideoPane* pane : panes()) EXPECT_TRUE(pane->DrawsOnGpu());
    VideoFrameWork& work = FrameWork();
    const std::int64_t conversions = work.conversions, copies = work.copies, uploads = work.uploads;
    ASSERT_EQ(player.Play(), 1);
    QTest::qWait(800);
    ASSERT_EQ(player.Pause(), 1);
    EXPECT_GT(work.uploads - uploads, 10);
    EXPECT_EQ(work.conversions - conversions, 0);
    EXPECT_EQ(work.copies - copies, 0);
    QTest::qWait(100);
    for (CVideoPane* pane : panes()) EXPECT_EQ(NumberShown(pane->grab().toImage()), NumberHeld(pane));
}

}  // namespace
