// Unlucky and hostile cards through the real main window: every kind of thing a card can hold
// under a recording's or a settings file's name, driven through SD open, next and previous,
// row clicks, seek, snapshot and the settings editor. Nothing may hang or crash the window,
// every failure is told in a message, and the card's bytes stay as they were except what the
// user saves.
#include "CardTestSupport.h"

#include "controls/BitSlider.h"
#include "platform/DriveMonitor.h"
#include "platform/FileAccess.h"
#include "settings/NewSetupDlg.h"
#include "settings/SetupRecord.h"
#include "tools/recgen/RecordingGenerator.h"

#include <QCryptographicHash>
#include <QSet>
#include <QTimer>

#include <fcntl.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace cardtest;

// Paths in failure messages as text.
void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

// A case that hangs ends the program, and so fails.
struct Watchdog {
    explicit Watchdog(unsigned seconds) { ::alarm(seconds); }
    ~Watchdog() { ::alarm(0); }
};
constexpr unsigned kCaseSeconds = 240;

QByteArray Bytes(const QString& path) { return FileNameToBytes(path); }

QByteArray ReadAll(const QString& path)
{
    QFile f;
    const int fd = OpenRegularFile(path);
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return {};
    return f.readAll();
}

void WriteRaw(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
    ::close(fd);
}

// Every entry below a folder, by its bytes: the kind, and for a file a digest of its bytes.
// Pipes are never opened.
void CardState(const QString& folder, std::map<QByteArray, QByteArray>* state)
{
    for (const FolderEntry& e : ListFolder(folder)) {
        const QString path = folder + "/" + e.name;
        struct stat st {};
        ASSERT_EQ(::lstat(Bytes(path).constData(), &st), 0);
        QByteArray what = QByteArray::number(st.st_mode, 8) + " ";
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(Bytes(path).constData(), target, sizeof target);
            what += QByteArray(target, n > 0 ? int(n) : 0);
        } else if (S_ISREG(st.st_mode)) {
            what += QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha1).toHex();
        } else if (S_ISDIR(st.st_mode)) {
            CardState(path, state);
        }
        (*state)[Bytes(path)] = what;
    }
}

// Removes a tree by the bytes of its names (Qt's own removal cannot name every file).
void RemoveTree(const QString& path)
{
    struct stat st {};
    if (::lstat(Bytes(path).constData(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const FolderEntry& e : ListFolder(path)) RemoveTree(path + "/" + e.name);
        ::rmdir(Bytes(path).constData());
    } else {
        ::unlink(Bytes(path).constData());
    }
}

QString FreshCard(const QString& name)
{
    const QString card = Scratch() + "/" + name;
    RemoveTree(card);
    QDir().mkpath(card + "/Event");
    QDir().mkpath(card + "/SETUP");
    UseDrives("E=" + card);
    return card;
}

std::map<QByteArray, QByteArray> CardState(const QString& root)
{
    std::map<QByteArray, QByteArray> state;
    CardState(root, &state);
    return state;
}

QString NoDataRecording()
{
    const QString key = Scratch() + "/nodata_rec.mp4";
    if (!QFile::exists(key)) {
        recgen::RecordingSpec spec;
        spec.durationMs = 400;
        spec.dataTrack = false;
        std::string error;
        EXPECT_TRUE(recgen::WriteRecording(key.toStdString(), spec, nullptr, &error)) << error;
    }
    return key;
}

// Sound and data, but no picture.
QString NoVideoRecording()
{
    const QString key = Scratch() + "/novideo_rec.mp4";
    if (!QFile::exists(key)) {
        recgen::RecordingSpec spec;
        spec.durationMs = 1000;
        spec.videoTracks = 0;
        std::string error;
        EXPECT_TRUE(recgen::WriteRecording(key.toStdString(), spec, nullptr, &error)) << error;
    }
    return key;
}

QByteArray Garbage(int n)
{
    std::mt19937 rng(19);
    QByteArray b(n, '\0');
    for (char& c : b) c = static_cast<char>(rng());
    return b;
}

// What lies under the name of the middle row, and what the window makes of it.
struct BadFile {
    const char* what;
    QByteArray name;      // file name below Normal/, bytes
    void (*make)(const QByteArray& path, const QString& good);
    const char* reason;   // the English reason; nullptr when it plays
    bool rightsMatter;    // root reads it anyway
};

const BadFile kBadFiles[] = {
    {"named pipe", "20170811_120000_NI.mp4", [](const QByteArray& p, const QString&) { ASSERT_EQ(::mkfifo(p.constData(), 0644), 0); },
     "it is not a regular file (a folder, device or pipe)", false},
    {"zero length", "20170811_120000_NI.mp4", [](const QByteArray& p, const QString&) { WriteRaw(p, {}); }, "the file is empty", false},
    {"cut before its index", "20170811_120000_NI.mp4",
     [](const QByteArray& p, const QString& good) {
         const QByteArray b = ReadAll(good);
         WriteRaw(p, b.left(b.size() / 2));
     },
     "it is damaged or is not a recording", false},
    {"random bytes", "20170811_120000_NI.mp4", [](const QByteArray& p, const QString&) { WriteRaw(p, Garbage(64 * 1024)); },
     "it is damaged or is not a recording", false},
    {"unreadable", "20170811_120000_NI.mp4",
     [](const QByteArray& p, const QString& good) {
         WriteRaw(p, ReadAll(good));
         ASSERT_EQ(::chmod(p.constData(), 0), 0);
     },
     "reading it is not permitted", true},
    {"link to itself", "20170811_120000_NI.mp4", [](const QByteArray& p, const QString&) { ASSERT_EQ(::symlink(p.constData(), p.constData()), 0); },
     "it is not a regular file (a folder, device or pipe)", false},
    {"a folder", "20170811_120000_NI.mp4", [](const QByteArray& p, const QString&) { ASSERT_EQ(::mkdir(p.constData(), 0755), 0); },
     nullptr, false},  // a folder is searched, not listed
    {"no data track", "20170811_120000_NI.mp4",
     [](const QByteArray& p, const QString&) { WriteRaw(p, ReadAll(NoDataRecording())); }, "Invalid File.", false},
    {"no video track", "20170811_120000_NI.mp4",
     [](const QByteArray& p, const QString&) { WriteRaw(p, ReadAll(NoVideoRecording())); },
     "it is damaged or is not a recording", false},
    {"name not valid in UTF-8", "\xff\xfe_20170811_120000_NI.mp4",
     [](const QByteArray& p, const QString& good) { WriteRaw(p, ReadAll(good)); }, nullptr, false},
    {"Japanese name", "\xe6\x97\xa5\xe6\x9c\xac_20170811_120000_NI.mp4",
     [](const QByteArray& p, const QString& good) { WriteRaw(p, ReadAll(good)); }, nullptr, false},
};

class BadCard : public MainWindowTest, public ::testing::WithParamInterface<BadFile> {
protected:
    // The card: an English settings file, a good recording either side of the bad one.
    void MakeCard(const BadFile& bad)
    {
        card = FreshCard("badcard");
        SetupRecord setup = DefaultSetupRecord();
        setup.SetWord(SetupWord::kLanguage, 1);
        setup.checksum = SetupRecordChecksum(setup);
        const SetupBytes b = SetupRecordToBytes(setup);
        WriteFile(card + "/data_setup.cfg", QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())));
        WriteFile(card + "/SETUP/data_factory.cfg", QByteArray("ZQX") + QByteArray(75, '\0'));
        newer = Recording(card + "/Event/20170811_130000_NI.mp4", 1, recgen::Container::Mp4, 3000);
        older = Recording(card + "/Normal/20170811_110000_NI.mp4", 1, recgen::Container::Mp4, 3000);
        middle = card + "/Normal/" + FileNameFromBytes(bad.name);
        bad.make(card.toLocal8Bit() + "/Normal/" + bad.name, newer);
    }

    int RowOf(const QString& path) const
    {
        for (int r = 0; r < Visible()->topLevelItemCount(); ++r)
            if (CListDlg::GetItemText(Visible(), r, 3) == path) return r;
        return -1;
    }
    QString Playing() const { return CListDlg::GetItemText(Visible(), dlg->m_nCurrentRow, 3); }
    bool Running() const { return dlg->m_player.GetState() == kStateRunning; }

    // One box for the bad file, naming it and why, in English; or none when it plays.
    void ExpectToldOnce(const BadFile& bad, std::size_t before)
    {
        if (!bad.reason) {
            EXPECT_EQ(boxes.size(), before);
            return;
        }
        ASSERT_EQ(boxes.size(), before + 1);
        const Box& box = boxes.back();
        EXPECT_TRUE(box.text.contains(QString::fromUtf8(bad.reason))) << box.text.toStdString();
        EXPECT_TRUE(box.text.endsWith("File name : " + middle)) << box.text.toStdString();
        EXPECT_FALSE(box.title.isEmpty());
    }

    QString card, newer, older, middle;
};

TEST_P(BadCard, NoHangNoCrashAndEveryFailureTold)
{
    const BadFile& bad = GetParam();
    if (bad.rightsMatter && ::geteuid() == 0) GTEST_SKIP() << "running as root: a file without read rights still reads";
    Watchdog watchdog(kCaseSeconds);
    MakeCard(bad);
    const auto before = CardState(card);
    Start();
    ASSERT_EQ(dlg->m_nLanguage, 1);

    // SD open lists the card and plays the newest row.
    Click(IDC_BTN_SDOPEN);
    EXPECT_TRUE(boxes.empty());
    const bool listed = RowOf(middle) >= 0;
    ASSERT_EQ(listed, std::string(bad.what) != "a folder");
    ASSERT_EQ(RowOf(newer), 0);
    EXPECT_TRUE(Running());
    const int last = RowOf(older);

    // Next reaches the bad row: told once, and the next row plays.
    Click(IDC_BTN_NEXT);
    ExpectToldOnce(bad, 0);
    EXPECT_TRUE(Running());
    EXPECT_EQ(Playing(), bad.reason || !listed ? older : middle);

    // Previous from the older row tries the bad one again: told again, once.
    if (Playing() == older && listed) {
        const std::size_t n = boxes.size();
        Click(IDC_BTN_PREV);
        ExpectToldOnce(bad, n);
        EXPECT_TRUE(Running());
        EXPECT_EQ(Playing(), bad.reason ? older : middle);
    }

    // A double click on its row in the list window plays it through the timer.
    if (listed) {
        const std::size_t n = boxes.size();
        QTreeWidgetItem* item = Visible()->topLevelItem(RowOf(middle));
        // The list answers a double click only on a row that a first click pressed.
        const QPoint at = Visible()->visualItemRect(item).center();
        QTest::mouseClick(Visible()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(Visible()->viewport(), Qt::LeftButton, {}, at);
        ASSERT_EQ(g_bListPlayRequest, 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return g_bListPlayRequest == 0; }, 5000));
        ExpectToldOnce(bad, n);
        EXPECT_TRUE(Running());
        EXPECT_EQ(Playing(), bad.reason ? older : middle);
    }

    // Paused, a click on the middle of the seek band, then a snapshot saved outside the card.
    Click(IDC_BTN_PLAY);
    ASSERT_EQ(dlg->m_player.GetState(), kStatePaused);
    const std::int64_t d = dlg->m_player.GetDurationMs();
    QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, QPoint(105 + 537 / 2, 430));
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::llabs(dlg->m_player.GetPositionMs() - d / 2) < 200; }, 5000));
    const QString shots = FreshDir("badcard_shots");
    onFileDialog = [&](const FileDialogRequest&) { return QStringList{shots + "/shot.jpg"}; };
    Click(IDC_BTN_SNAPSHOT);
    EXPECT_TRUE(QFile::exists(shots + "/shot_front.jpg"));

    // To the end of the list: the window stops by itself.
    dlg->m_pListDlg->SetSelectionMark(last);
    dlg->m_nCurrentRow = last;
    Click(IDC_BTN_NEXT);
    EXPECT_LT(dlg->m_player.GetState(), 0);
    for (const Box& b : boxes) EXPECT_FALSE(b.text.isEmpty() || b.title.isEmpty());
    EXPECT_EQ(CardState(card), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadCard, ::testing::ValuesIn(kBadFiles), [](const auto& info) {
    std::string n;
    for (const char* p = info.param.what; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return n;
});

// The three settings files as a card may hold them; the window must start, open the card and
// run the editor over each.
struct BadSettings {
    const char* what;
    void (*make)(const QString& card);
    int language;           // the window's language once started
    enum { kEditor, kRestoreQuestion, kEither } road;  // what the SETUP command meets first
};

void Pipe(const QString& path) { ASSERT_EQ(::mkfifo(path.toLocal8Bit().constData(), 0644), 0); }

QByteArray Record(int language, bool intact)
{
    SetupRecord r = DefaultSetupRecord();
    r.SetWord(SetupWord::kLanguage, static_cast<std::uint16_t>(language));
    r.checksum = SetupRecordChecksum(r);
    if (!intact) r.checksum ^= 0x21;
    const SetupBytes b = SetupRecordToBytes(r);
    return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size()));
}

// A factory record of firmware 2.0.3, which writes the settings' checksum.
QByteArray Factory203()
{
    QByteArray b = QByteArray("ZQX") + QByteArray(75, '\0');
    b.replace(46, 6, "V2.0.3");
    return b;
}

const BadSettings kBadSettings[] = {
    {"all three are named pipes",
     [](const QString& c) {
         Pipe(c + "/data_setup.cfg");
         Pipe(c + "/SETUP/data_setup.cfg");
         Pipe(c + "/SETUP/data_factory.cfg");
     },
     0, BadSettings::kEditor},
    {"folders at the root and for the factory file",
     [](const QString& c) {
         QDir().mkpath(c + "/data_setup.cfg");
         QDir().mkpath(c + "/SETUP/data_factory.cfg");
         WriteFile(c + "/SETUP/data_setup.cfg", Record(1, true));
     },
     0, BadSettings::kEditor},
    {"a damaged record with an unknown language",
     [](const QString& c) {
         WriteFile(c + "/SETUP/data_factory.cfg", Factory203());
         WriteFile(c + "/data_setup.cfg", Record(7, false));
     },
     7, BadSettings::kRestoreQuestion},
    {"random bytes",
     [](const QString& c) {
         WriteFile(c + "/SETUP/data_factory.cfg", Garbage(78));
         WriteFile(c + "/data_setup.cfg", Garbage(200));
     },
     -1, BadSettings::kEither},
};

// Closes the settings editor as soon as it is shown.
struct EditorCloser {
    EditorCloser()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* editor = qobject_cast<CNewSetupDlg*>(QApplication::activeModalWidget())) {
                ++closed;
                editor->close();
            }
        });
        timer.start();
    }
    QTimer timer;
    int closed = 0;
};

class BadSettingsCard : public MainWindowTest, public ::testing::WithParamInterface<BadSettings> {};

TEST_P(BadSettingsCard, StartsOpensAndEditsWithEveryMessageTold)
{
    const BadSettings& bad = GetParam();
    Watchdog watchdog(kCaseSeconds);
    const QString card = FreshCard("badsettings");
    Recording(card + "/Event/20170811_130000_NI.mp4");
    Pipe(card + "/Event/20170811_120000_NI.mp4");
    bad.make(card);
    const auto before = CardState(card);

    Start();  // reads the language from the card
    if (bad.language >= 0) {
        EXPECT_EQ(dlg->m_nLanguage, bad.language);
    }
    Click(IDC_BTN_SDOPEN);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    Click(IDC_BTN_NEXT);  // the pipe: told, and the list ends
    ASSERT_FALSE(boxes.empty());
    if (bad.language == 7) {
        EXPECT_EQ(boxes.back().text, "This file cannot be played: it is not a regular file (a folder, device or pipe).\n"
                                     "File name : " + card + "/Event/20170811_120000_NI.mp4");
    }

    // The editor, closed without saving, and its command's questions declined: nothing changes.
    boxes.clear();
    answer = IDNO;
    {
        EditorCloser closer;
        Click(IDC_BTN_SETUP);
        if (bad.road != BadSettings::kEither) {
            EXPECT_EQ(closer.closed, bad.road == BadSettings::kEditor ? 1 : 0);
        }
    }
    if (bad.road == BadSettings::kRestoreQuestion) {
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, "Setup file has a problem. Do you want to restore?");
        EXPECT_EQ(boxes[0].title, "VELMORA-21K");
        EXPECT_EQ(boxes[1].text, "Can't open a setup file.");
    }
    for (const Box& b : boxes) EXPECT_FALSE(b.text.isEmpty() || b.title.isEmpty());
    EXPECT_EQ(CardState(card), before);

    // Saved: only the settings file at the root may change.
    answer = IDYES;
    {
        EditorCloser closer;
        Click(IDC_BTN_SETUP);
    }
    for (const Box& b : boxes) EXPECT_FALSE(b.text.isEmpty() || b.title.isEmpty());
    auto after = CardState(card);
    auto expected = before;
    const QByteArray saved = Bytes(card + "/data_setup.cfg");
    after.erase(saved);
    expected.erase(saved);
    EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadSettingsCard, ::testing::ValuesIn(kBadSettings), [](const auto& info) {
    std::string n;
    for (const char* p = info.param.what; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return n;
});

// A card pulled out while a recording plays: the open file still reads to its end, every row
// after it is gone. The window is reset as for the card's removal, without a message for each
// row, also when the drive monitor has not seen the removal yet.
struct PulledCard {
    const char* what;
    bool driveLeavesTable;  // the system unmounted it; else only its folder went
};

class CardPulled : public MainWindowTest, public ::testing::WithParamInterface<PulledCard> {};

TEST_P(CardPulled, WhilePlayingResetsTheWindowWithoutAMessagePerRow)
{
    Watchdog watchdog(kCaseSeconds);
    const QString card = FreshCard("pulled");
    const QString first = Recording(card + "/Event/20170811_130000_NI.mp4", 1, recgen::Container::Mp4, 1000);
    QDir().mkpath(card + "/Normal");
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(::link(Bytes(first).constData(), Bytes(card + QString::asprintf("/Normal/20170811_12%04d_NI.mp4", i)).constData()), 0);
    Start();
    dlg->m_nLanguage = 1;
    dlg->m_pDriveMonitor->Stop();  // the rows fail before the monitor looks again
    dlg->m_nVolume = 80;
    Click(IDC_BTN_SDOPEN);
    ASSERT_EQ(Visible()->topLevelItemCount(), 201);
    ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);

    RemoveTree(card);
    if (GetParam().driveLeavesTable) UseDrives("");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Visible()->topLevelItemCount() == 0; }, 20000));
    EXPECT_TRUE(boxes.empty()) << boxes.size() << " " << boxes.front().text.toStdString();
    EXPECT_TRUE(dlg->m_strCardPath.isEmpty());
    EXPECT_LT(dlg->m_player.GetState(), 0);
    EXPECT_FALSE(dlg->PlaybackTimerRunning());
    // As the removal leaves it, not as the next row's start would have.
    EXPECT_EQ(dlg->Item<CBitSlider>(IDC_SLIDER_VOLUME)->value(), 50);
    EXPECT_EQ(Label(IDC_LABEL_DURATION), "00:00:00");
}

INSTANTIATE_TEST_SUITE_P(Ways, CardPulled,
                         ::testing::Values(PulledCard{"FolderGone", false}, PulledCard{"DriveUnmounted", true}),
                         [](const auto& info) { return std::string(info.param.what); });

class ManyFiles : public MainWindowTest {};

// Thousands of recordings without data in one folder: skipped one after the other, each told
// once, and the window's timers keep running while the skip goes on.
TEST_F(ManyFiles, SevenThousandRecordingsWithoutDataAreSkippedWithoutACrash)
{
    constexpr int kFiles = 7000;
    Watchdog watchdog(1200);
    const QString card = FreshCard("manyfiles");
    const QByteArray source = Bytes(NoDataRecording());
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QString::asprintf("/Event/20170811_%06d_NI.mp4", i);
        ASSERT_EQ(::link(source.constData(), Bytes(card + name).constData()), 0) << i;
    }
    Start();
    dlg->m_nLanguage = 1;

    int ticks = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { ++ticks; });
    beat.start(20);
    Click(IDC_BTN_SDOPEN);
    beat.stop();

    EXPECT_GT(ticks, 2);  // the window answered while it skipped
    ASSERT_EQ(Visible()->topLevelItemCount(), kFiles);
    ASSERT_EQ(boxes.size(), std::size_t(kFiles));
    QSet<QString> told;
    for (const Box& b : boxes) {
        ASSERT_TRUE(b.text.startsWith("Invalid File.\nFile name : ")) << b.text.toStdString();
        told.insert(b.text);
    }
    EXPECT_EQ(told.size(), kFiles);  // each file once
    EXPECT_EQ(dlg->m_nCurrentRow, kFiles - 1);
    EXPECT_NE(dlg->m_player.GetState(), kStateRunning);
    EXPECT_FALSE(dlg->PlaybackTimerRunning());
}

}  // namespace

CARD_TEST_MAIN
