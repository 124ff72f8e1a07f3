// The main window and the list docked at its right edge on small screens: two offscreen
// screens side by side, 1280 x 800 and 1366 x 768, and the pair kept on the one that holds it.
#include "CardTestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

using namespace cardtest;

namespace {

const QRect kScreens[] = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1366, 768)};

class ScreenPlacement : public MainWindowTest {
protected:
    // The window system's view of one screen: the windows drawn where they are on it.
    QImage ScreenShot(const QRect& screen) const
    {
        QImage shot(screen.size(), QImage::Format_RGB32);
        shot.fill(Qt::darkGray);
        QPainter p(&shot);
        for (QWidget* w : {static_cast<QWidget*>(dlg.get()), static_cast<QWidget*>(dlg->m_pListDlg)})
            if (w->isVisible()) p.drawImage(w->frameGeometry().topLeft() - screen.topLeft(), w->grab().toImage());
        return shot;
    }
};

TEST_F(ScreenPlacement, TheOffscreenScreensAreTheSmallOnes)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0]->geometry(), kScreens[0]);
    EXPECT_EQ(screens[1]->geometry(), kScreens[1]);
}

TEST_F(ScreenPlacement, ThePairMovesOntoTheScreenThatHoldsIt)
{
    struct Case {
        const char* name;
        int screen;
        QPoint start;  // the main window's top left before the list is shown
    };
    const Case cases[] = {
        {"1280x800_centred", 0, QPoint(130, 40)},   // where the window starts on this screen
        {"1280x800_low", 0, QPoint(200, 300)},
        {"1366x768_centred", 1, QPoint(1280 + 173, 24)},
        {"1366x768_right_edge", 1, QPoint(1280 + 1300, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start();
        const QRect screen = kScreens[c.screen];
        dlg->move(c.start);
        const QSize skin = dlg->size();
        ASSERT_EQ(skin, QSize(1020, 720));
        Click(IDC_BTN_LIST_TOGGLE);
        ASSERT_TRUE(dlg->m_pListDlg->isVisible());
        const QRect main = dlg->frameGeometry();
        const QRect list = dlg->m_pListDlg->frameGeometry();
        EXPECT_EQ(dlg->size(), skin);                    // never resized
        EXPECT_EQ(list, QRect(main.right() + 1, main.top(), 256, 720));  // still docked
        EXPECT_TRUE(screen.contains(main)) << main.x() << "," << main.y();
        EXPECT_TRUE(screen.contains(list)) << list.x() << "," << list.y();
        // Moved only as far as it had to.
        if (c.start.x() + 1276 <= screen.right() + 1) {
            EXPECT_EQ(main.x(), c.start.x());
        } else {
            EXPECT_EQ(list.right(), screen.right());
        }
        dlg.reset();
    }
}

TEST_F(ScreenPlacement, APairThatFitsStaysWhereItIs)
{
    Start();
    dlg->move(1280 + 60, 30);
    Click(IDC_BTN_LIST_TOGGLE);
    EXPECT_EQ(dlg->pos(), QPoint(1280 + 60, 30));
    EXPECT_EQ(dlg->m_pListDlg->geometry(), QRect(1280 + 60 + 1020, 30, 256, 720));
    // Hidden again, nothing moves.
    dlg->move(1280 + 200, 30);
    Click(IDC_BTN_LIST_TOGGLE);
    EXPECT_FALSE(dlg->m_pListDlg->isVisible());
    EXPECT_EQ(dlg->pos(), QPoint(1280 + 200, 30));
}

TEST_F(ScreenPlacement, ScreenshotOfTheListOnA1280x800Screen)
{
    Start();
    for (const char* time : {"120030", "120215", "120100"}) {
        const QString name = QString("20170811_%1_E.mp4").arg(time);
        CListDlg::AppendRow(Master(), "2017-08-11", name.mid(9, 2) + ":" + name.mid(11, 2) + ":" + name.mid(13, 2),
                            "Event", "/card/Event/" + name);
    }
    dlg->m_pListDlg->RefreshList();
    Click(IDC_BTN_LIST_TOGGLE);
    QCoreApplication::processEvents();
    const QImage shot = ScreenShot(kScreens[0]);
    const QString dir = QStringLiteral(VIEWER_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    const QString path = dir + "/list_on_1280x800.png";
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    // The list's close button and its "All" button are on the screen, drawn as the list draws them.
    const QImage list = dlg->m_pListDlg->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at = dlg->m_pListDlg->frameGeometry().topLeft() - kScreens[0].topLeft();
    for (int id : {CListDlg::IDC_BTN_CLOSE, CListDlg::IDC_BTN_ALL}) {
        const QPoint c = dlg->m_pListDlg->GetDlgItem(id)->geometry().center();
        ASSERT_TRUE(shot.rect().contains(at + c)) << id;
        EXPECT_EQ(shot.pixel(at + c), list.pixel(c)) << id;
    }
}

}  // namespace

// Two offscreen screens of the sizes the window has to fit, described to the platform plugin
// before the application starts.
int main(int argc, char** argv)
{
    const QString config = Scratch() + "/screens.json";
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 2;
    f.write(R"({"screens": [
        {"name": "small-1280", "x": 0, "y": 0, "width": 1280, "height": 800, "logicalDpi": 96},
        {"name": "small-1366", "x": 1280, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
