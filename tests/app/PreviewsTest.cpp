// Still frames drawn over the main window without playing: the thumbnail pages of a folder of
// one- and two-camera recordings with bad files and a subfolder among them, the frame strip of
// a clicked recording, and the single preview. Each tile is read back from the frame-number
// band the generator drew into the frame on show at the grab time.
#include "CardTestSupport.h"

#include "controls/GuiTest.h"
#include "platform/FileAccess.h"
#include "platform/Resources.h"
#include "views/PreviewLayer.h"

#include <QPainter>
#include <cstdio>
#include <unistd.h>

using namespace cardtest;

namespace {

enum class Kind { One, Two, Short, Bad, Folder };

// Recordings of the generator at 10 frames a second with a key frame every 4 s, so a grab at
// 15 s decodes 30 frames on from the key frame at 12 s.
QString Source(const QString& path, int tracks, int durationMs)
{
    return Recording(path, tracks, recgen::Container::Mp4, durationMs, 40);
}

// The frame number in a region of the window's picture, read after scaling the region back to
// the recording's own size.
int NumberAt(const QImage& shot, QRect r, QSize native = QSize(320, 240))
{
    const QImage back = shot.copy(r).scaled(native, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                            .convertToFormat(QImage::Format_RGB32);
    return recgen::ReadFrameNumber(back.constBits(), back.width(), back.height(), int(back.bytesPerLine()));
}

class Previews : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        g_strCurrentFolder.clear();
        g_nThumbnailOffset = g_nThumbnailPage = g_bThumbnailPaging = g_bThumbnailMode = 0;
        g_bFrameStripPending = 0;
        g_strClickedFile.clear();
        ::unlink(FileNameToBytes(Scratch() + "/card/Thumbs/" + OddName()).constData());  // Qt cannot remove it
        card = FreshDir("card");
        UseDrives("E=" + card);
    }

    // Entry 5 under a name that is not valid UTF-8, as the system lists it.
    static QString OddName() { return FileNameFromBytes("e05\xff.mp4"); }

    // The folder E:\Thumbs of 25 entries, in name order e00 .. e24.
    void MakeFolder()
    {
        kinds.clear();
        const QString dir = card + "/Thumbs";
        QDir().mkpath(dir);
        for (int i = 0; i < 25; ++i) {
            Kind k = i % 3 == 0 ? Kind::Two : Kind::One;
            if (i == 7) k = Kind::Short;
            if (i == 4 || i == 13 || i == 19) k = Kind::Bad;
            if (i == 6) k = Kind::Folder;
            kinds.push_back(k);
            const QString path = dir + QString("/e%1.mp4").arg(i, 2, 10, QChar('0'));
            switch (k) {
            case Kind::One: Source(path, 1, 16000); break;
            case Kind::Two: Source(path, 2, 16000); break;
            case Kind::Short: Source(path, 1, 2000); break;
            case Kind::Folder: QDir().mkpath(path); break;
            case Kind::Bad: {
                // Noise, the first half of a recording, and a text file named like a recording.
                QByteArray bytes;
                if (i == 4) {
                    for (int b = 0; b < 4000; ++b) bytes.append(char(b * 37 % 253));
                } else if (i == 13) {
                    QFile f(Source(Scratch() + "/whole.mp4", 1, 16000));
                    f.open(QIODevice::ReadOnly);
                    bytes = f.read(f.size() / 2);
                } else {
                    bytes = "not a recording\n";
                }
                WriteFile(path, bytes);
                break;
            }
            }
            if (i == 5) {
                ASSERT_EQ(::rename(FileNameToBytes(path).constData(), FileNameToBytes(dir + "/" + OddName()).constData()), 0);
            }
        }
        g_strCurrentFolder = "E:\\Thumbs";
    }

    QImage Shot() { return dlg->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    static QPoint TilePlace(int j) { return QPoint(23 + 126 * (j % 5), 100 + 174 * (j / 5)); }

    // Whether a region of the window shows the thumbnail background, pixel for pixel.
    static bool ShowsBackground(const QImage& shot, QRect r)
    {
        const QImage ground = LoadBitmapResource(319).convertToFormat(QImage::Format_RGB32);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (Rgb(shot, x, y) != Rgb(ground, x - 23, y - 100)) return false;
        return true;
    }

    // Checks the ten tile places of a page showing entries from `first` on.
    void ExpectPage(int first)
    {
        const QImage shot = Shot();
        for (int j = 0; j < 10; ++j) {
            const int k = first + j;
            const QRect tile(TilePlace(j), QSize(126, 174));
            SCOPED_TRACE("entry " + std::to_string(k));
            const Kind kind = k < int(kinds.size()) ? kinds[k] : Kind::Folder;
            switch (kind) {
            case Kind::One: EXPECT_EQ(NumberAt(shot, tile), 150); break;
            case Kind::Short: EXPECT_EQ(NumberAt(shot, tile), 19); break;  // its last frame
            case Kind::Two:
                EXPECT_EQ(NumberAt(shot, QRect(tile.topLeft(), QSize(126, 87))), 150);
                EXPECT_EQ(NumberAt(shot, QRect(tile.topLeft() + QPoint(0, 87), QSize(126, 87)), QSize(160, 120)), 150);
                break;
            case Kind::Bad:
            case Kind::Folder: EXPECT_TRUE(ShowsBackground(shot, tile.adjusted(0, 0, -2, 0))); break;
            }
        }
    }

    // A recording in the list window, playing.
    void Play(const QString& path)
    {
        CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", path);
        dlg->m_pListDlg->SetSelectionMark(0);
        dlg->OnBnClickedPlay();
        ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    }

    QString card;
    std::vector<Kind> kinds;
};

TEST_F(Previews, ThumbnailPagesOfAFolder)
{
    Start();
    MakeFolder();
    dlg->ShowFolderThumbnails();
    EXPECT_EQ(g_bThumbnailPaging, 1);
    EXPECT_EQ(g_bThumbnailMode, 1);
    ExpectPage(0);
    SaveArtefact(dlg.get(), "thumbnail_page");

    dlg->OnBnClickedThumbNext();  // the page button draws the next page through the window's own handler
    EXPECT_EQ(g_nThumbnailOffset, 10);
    ExpectPage(10);

    dlg->OnBnClickedThumbNext();
    ExpectPage(20);  // five entries, five empty places
    dlg->OnBnClickedThumbPrev();
    ExpectPage(10);
}

TEST_F(Previews, FewerEntriesThanTheOffsetOrNoneShowTheBackground)
{
    Start();
    MakeFolder();
    g_nThumbnailOffset = 30;
    dlg->ShowFolderThumbnails();
    EXPECT_EQ(g_bThumbnailMode, 1);
    EXPECT_TRUE(ShowsBackground(Shot(), QRect(23, 100, 628, 350)));

    g_bThumbnailMode = 0;
    g_nThumbnailOffset = 0;
    QDir().mkpath(card + "/Empty");
    g_strCurrentFolder = "E:\\Empty";
    dlg->ShowFolderThumbnails();
    EXPECT_EQ(g_bThumbnailMode, 1);
    EXPECT_TRUE(ShowsBackground(Shot(), QRect(23, 100, 628, 350)));
}

TEST_F(Previews, NoCurrentFolderDrawsOnlyTheBackgroundAndLeavesPlaybackAlone)
{
    Start();
    Play(Recording(Scratch() + "/play/20170811_123456_NI.mp4", 1, recgen::Container::Mp4, 4000));
    dlg->ShowFolderThumbnails();
    EXPECT_EQ(g_bThumbnailPaging, 1);
    EXPECT_EQ(g_bThumbnailMode, 0);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_TRUE(ShowsBackground(Shot(), QRect(23, 100, 628, 350)));
}

TEST_F(Previews, PlaybackStopsBeforeThePageAndThePageStillPages)
{
    Start();
    MakeFolder();
    Play(Recording(Scratch() + "/play/20170811_123456_NI.mp4", 1, recgen::Container::Mp4, 4000));
    dlg->ShowFolderThumbnails();
    EXPECT_NE(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(g_bThumbnailPaging, 1);
    ExpectPage(0);
    dlg->OnBnClickedThumbNext();
    ExpectPage(10);

    // Playing again puts the video back in front.
    dlg->OnBnClickedPlay();
    EXPECT_FALSE(dlg->m_pPreview->isVisible());
}

TEST_F(Previews, FrameStripOfTheClickedRecording)
{
    Start();
    g_strCurrentFolder = "E:\\Thumbs";
    const QString longOne = card + "/Thumbs/long.mp4";
    Source(longOne, 1, 62000);

    // No click yet: nothing is drawn.
    dlg->ShowFileFrameStrip();
    EXPECT_FALSE(dlg->m_pPreview->isVisible());
    EXPECT_EQ(g_bFrameStripPending, 0);

    Play(longOne);
    dlg->OnNMClickFileList(0);
    EXPECT_EQ(g_strClickedFile, longOne);
    EXPECT_EQ(g_bFrameStripPending, 1);
    dlg->ShowFileFrameStrip();
    EXPECT_NE(dlg->m_player.GetState(), kStateRunning);  // stopped first
    EXPECT_EQ(g_bFrameStripPending, 0);

    // 21 frames at 1, 4, ... 61 s, six to a row, all inside the background.
    const QImage shot = Shot();
    for (int i = 0; i < 21; ++i) {
        const QRect tile(QPoint(23 + 104 * (i % 6), 100 + 87 * (i / 6)), QSize(104, 87));
        EXPECT_EQ(NumberAt(shot, tile), 10 + 30 * i) << "frame " << i;
    }
    EXPECT_TRUE(ShowsBackground(shot, QRect(23 + 104 * 3, 100 + 87 * 3, 104 * 3, 87)));  // after the last
    SaveArtefact(dlg.get(), "frame_strip");

    // Drawn once per click.
    dlg->m_pPreview->Clear();
    dlg->ShowFileFrameStrip();
    EXPECT_FALSE(dlg->m_pPreview->isVisible());
}

TEST_F(Previews, FrameStripNeedsACurrentFolder)
{
    Start();
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", Source(Scratch() + "/one.mp4", 1, 16000));
    dlg->OnNMClickFileList(0);
    dlg->ShowFileFrameStrip();
    EXPECT_FALSE(dlg->m_pPreview->isVisible());
    EXPECT_EQ(g_bFrameStripPending, 1);  // kept for when there is one
}

TEST_F(Previews, SinglePreviewOfARow)
{
    Start();
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", Source(Scratch() + "/one.mp4", 1, 16000));
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:35:56", "Event", card + "/missing.mp4");
    EXPECT_EQ(dlg->OnNMRDblclkFileList(1), 0);
    EXPECT_FALSE(dlg->m_pPreview->isVisible());  // nothing to show for a file that is not there

    const PlayerState before = dlg->m_player.GetState();
    EXPECT_EQ(dlg->OnNMRDblclkFileList(0), 0);
    ASSERT_TRUE(dlg->m_pPreview->isVisible());
    // The frame at 10 s, scaled to 640 x 360 and its top left 627 x 350 shown at (24, 99).
    QImage whole(640, 360, QImage::Format_RGB32);
    whole.fill(Qt::black);
    QPainter(&whole).drawImage(0, 0, Shot().copy(24, 99, 627, 350));
    EXPECT_EQ(NumberAt(whole, whole.rect()), 100);
    EXPECT_EQ(dlg->m_player.GetState(), before);  // playback is not touched
}

}  // namespace

CARD_TEST_MAIN
