#pragma once
// What the card, files and command tests of the main window share: a scratch folder, card
// trees seen as drive E: through VIEWER_DRIVES, recordings from the generator, and a window
// started the way the program starts it, with message and file dialogs answered by the test.
#include "TestScratch.h"
#include "app/ControlIds.h"
#include "app/SamplePlayerDlg.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/ListDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace cardtest {

inline QString Scratch()
{
    return QString::fromStdString(TestScratchDir());
}

// A fresh, empty folder below the scratch folder.
inline QString FreshDir(const QString& name)
{
    const QString dir = Scratch() + "/" + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A generator recording at 320 x 240 (2 s unless told; gop: key frame interval in frames, 0 one
// a second), made once per test run and copied where wanted.
inline QString Recording(const QString& path, int tracks = 1, recgen::Container container = recgen::Container::Mp4,
                         int durationMs = 2000, int gop = 0)
{
    const QString key =
        QString("%1/rec_%2_%3_%4_%5.bin").arg(Scratch()).arg(tracks).arg(int(container)).arg(durationMs).arg(gop);
    if (!QFile::exists(key)) {
        recgen::RecordingSpec spec;
        spec.durationMs = durationMs;
        spec.videoTracks = tracks;
        spec.rearWidth = 160;
        spec.rearHeight = 120;
        spec.container = container;
        spec.gop = gop;
        std::string error;
        const QString tmp = key + (container == recgen::Container::Avi ? ".avi" : ".mp4");
        EXPECT_TRUE(recgen::WriteRecording(tmp.toStdString(), spec, nullptr, &error)) << error;
        QFile::rename(tmp, key);
    }
    QDir().mkpath(QFileInfo(path).path());
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(key, path)) << path.toStdString();
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return path;
}

inline void UseDrives(const QString& spec) { qputenv("VIEWER_DRIVES", spec.toLocal8Bit()); }

struct Box {
    QString text, title;
    unsigned style;
};

struct Row {
    QString date, time, kind, path;
    bool operator==(const Row& o) const { return date == o.date && time == o.time && kind == o.kind && path == o.path; }
    bool operator<(const Row& o) const { return path < o.path; }
};

inline std::vector<Row> Rows(const QTreeWidget* list)
{
    std::vector<Row> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = list->topLevelItem(i);
        rows.push_back({it->text(0), it->text(1), it->text(2), it->text(3)});
    }
    return rows;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseDrives("");  // no card unless a test makes one
        SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& title, unsigned style) {
            boxes.push_back({text, title, style});
            return answer;
        });
        SetFileDialogHandler([this](const FileDialogRequest& r) {
            requests.push_back(r);
            return onFileDialog ? onFileDialog(r) : QStringList();
        });
    }
    void TearDown() override
    {
        dlg.reset();
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
        UseDrives("");
    }

    void Start()
    {
        dlg = std::make_unique<CSamplePlayerDlg>();
        dlg->OnInitDialog();
        dlg->show();
        QCoreApplication::processEvents();
        boxes.clear();
    }

    QString Label(int id) const { return dlg->Item<QLabel>(id)->text(); }
    QTreeWidget* Visible() const { return dlg->m_pListDlg->GetVisibleList(); }
    QTreeWidget* Master() const { return dlg->m_pListDlg->GetMasterList(); }

    void Click(int id) { QTest::mouseClick(dlg->GetDlgItem(id), Qt::LeftButton); }

    // A mouse event on the window at a client point, as the window system sends it.
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = Qt::NoModifier, QPoint globalShift = QPoint())
    {
        const QPointF local(at);
        const QPointF global(dlg->mapToGlobal(at) + globalShift);
        QMouseEvent e(type, local, global, button, buttons, mods);
        QApplication::sendEvent(dlg.get(), &e);
    }

    std::unique_ptr<CSamplePlayerDlg> dlg;
    std::vector<Box> boxes;
    int answer = IDOK;
    std::vector<FileDialogRequest> requests;
    std::function<QStringList(const FileDialogRequest&)> onFileDialog;
};

}  // namespace cardtest

#define CARD_TEST_MAIN                                                                                  \
    int main(int argc, char** argv)                                                                     \
    {                                                                                                   \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); /* before Qt WebEngine starts */    \
        QApplication app(argc, argv);                                                                   \
        ::testing::InitGoogleTest(&argc, argv);                                                         \
        return RUN_ALL_TESTS();                                                                         \
    }
