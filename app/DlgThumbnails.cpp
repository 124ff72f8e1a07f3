// Still frames of recordings drawn over the main window without playing them: one large
// preview, a page of ten thumbnails of the current folder, and a strip of frames through one
// recording. A file the frame grabber cannot read leaves its tile showing the background.
#include "app/SamplePlayerDlg.h"

#include "media/FrameGrabber.h"
#include "platform/DriveTable.h"
#include "platform/FileAccess.h"
#include "platform/Resources.h"
#include "views/PreviewLayer.h"

#include <algorithm>

QString g_strClickedFile;
int g_bFrameStripPending = 0;

namespace {

constexpr int kThumbnailBackground = 319;
constexpr QPoint kPageOrigin(23, 100);
constexpr QSize kBackgroundCopy(628, 350);
constexpr int kTileW = 126;
constexpr int kTileH = 174;
constexpr int kPageTiles = 10;
constexpr int kPageRowEnd = 653;  // the x after the fifth tile of a row
constexpr double kThumbnailSeconds = 15.0;
constexpr double kPreviewSeconds = 10.0;
// The frame strip: frames at 1, 4, 7, ... 61 s, six to a row in four rows of the background.
constexpr int kStripFrames = 21;
constexpr int kStripColumns = 6;
constexpr QSize kStripTile(104, 87);

QImage PictureImage(const GrabbedPicture& p)
{
    return QImage(p.bgrx.data(), p.width, p.height, p.width * 4, QImage::Format_RGB32).copy();
}

bool OpenRecording(FrameGrabber& grabber, const QString& path)
{
    return !path.isEmpty() && grabber.Open(FileNameToBytes(path).toStdString());
}

}  // namespace

bool CSamplePlayerDlg::DrawFramePicture(FrameGrabber& grabber, int stream, double seconds, QRect target, QSize copy)
{
    GrabbedPicture picture;
    if (!grabber.GrabFrame(stream, seconds, target.width(), target.height(), &picture)) return false;
    m_pPreview->Draw(target.topLeft(), PictureImage(picture), copy.isValid() ? copy : target.size());
    return true;
}

void CSamplePlayerDlg::DrawThumbnailBackground()
{
    m_pPreview->Draw(kPageOrigin, LoadBitmapResource(kThumbnailBackground), kBackgroundCopy);
}

int CSamplePlayerDlg::OnNMRDblclkFileList(int row)
{
    FrameGrabber grabber;
    if (OpenRecording(grabber, ListRowText(row, 3)))
        DrawFramePicture(grabber, 0, kPreviewSeconds, QRect(24, 99, 640, 360), QSize(627, 350));
    update();
    return 0;
}

int CSamplePlayerDlg::OnNMClickFileList(int row)
{
    g_strClickedFile = ListRowText(row, 3);
    g_bFrameStripPending = 1;
    m_nTileX = kPageOrigin.x();
    m_nTileY = kPageOrigin.y();
    return 0;
}

void CSamplePlayerDlg::ShowFolderThumbnails()
{
    DrawThumbnailBackground();
    g_bThumbnailPaging = 1;
    if (g_strCurrentFolder.isEmpty()) return;
    if (m_player.GetState() == kStateRunning) {
        OnBnClickedStop();
        g_bThumbnailPaging = 1;  // the stop clears it, and the page just drawn must still page
    }

    m_nTileX = kPageOrigin.x();
    m_nTileY = kPageOrigin.y();
    // The folder's own entries (subfolders are not entered), in name order.
    QString folder = DriveTable::NativePath(g_strCurrentFolder);
    if (folder.isEmpty()) folder = g_strCurrentFolder;
    // By the system's bytes, so that a name not valid in its encoding shows its picture too.
    std::vector<FolderEntry> entries = ListFolder(folder);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int r = a.name.compare(b.name, Qt::CaseInsensitive);
        return r != 0 ? r < 0 : a.name < b.name;
    });
    const int first = g_nThumbnailOffset;
    for (int k = 0; k < static_cast<int>(entries.size()); ++k) {
        if (k < first || k >= first + kPageTiles) continue;
        // A subfolder takes its place on the page and shows the background.
        FrameGrabber grabber;
        const FolderEntry& e = entries[static_cast<std::size_t>(k)];
        if (e.file && OpenRecording(grabber, folder + QLatin1Char('/') + e.name)) {
            if (grabber.GetOutputStreams() < 3) {
                DrawFramePicture(grabber, 0, kThumbnailSeconds, QRect(m_nTileX, m_nTileY, kTileW, kTileH));
            } else {  // two videos and sound: front above, rear below
                DrawFramePicture(grabber, 0, kThumbnailSeconds, QRect(m_nTileX, m_nTileY, kTileW, kTileH / 2));
                DrawFramePicture(grabber, 1, kThumbnailSeconds,
                                 QRect(m_nTileX, m_nTileY + kTileH / 2, kTileW, kTileH / 2));
            }
        }
        if (k <= first + 4) m_nTileX += kTileW;
        if (m_nTileX == kPageRowEnd) {
            m_nTileX = kPageOrigin.x();
            m_nTileY += kTileH;
        }
        if (k > first + 4) m_nTileX += kTileW;
    }
    g_bThumbnailMode = 1;
    update();
}

void CSamplePlayerDlg::ShowFileFrameStrip()
{
    if (g_bFrameStripPending != 1 || g_strCurrentFolder.isEmpty()) return;
    DrawThumbnailBackground();
    if (m_player.GetState() == kStateRunning) {
        OnBnClickedStop();
        update();
    }
    FrameGrabber grabber;
    if (OpenRecording(grabber, g_strClickedFile)) {
        const QPoint origin(m_nTileX, m_nTileY);
        for (int i = 0; i < kStripFrames; ++i) {
            const QPoint at = origin + QPoint(i % kStripColumns * kStripTile.width(), i / kStripColumns * kStripTile.height());
            DrawFramePicture(grabber, 0, 1 + 3 * i, QRect(at, kStripTile));
        }
    }
    update();
    g_bFrameStripPending = 0;
}
