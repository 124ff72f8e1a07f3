// The Format command: the size class of a card and its cluster option, the questions and
// answers in three languages, the refusals that touch nothing, and real formats of FAT image
// files made here (checked with fsck.fat). No device of the machine is ever formatted: the
// command's system calls are replaced so that the "card" is an image file in the scratch folder.
#include "CardFixture.h"
#include "GuiSupport.h"

#include "platform/DiskFormat.h"
#include "settings/Format.h"

#include <QCryptographicHash>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr std::int64_t kMB = 1048576;

// Figures as a FAT card of that size reports them: 512-byte sectors, 8 per cluster.
DriveTable::DiskFreeSpace SpaceOf(std::int64_t totalBytes)
{
    DriveTable::DiskFreeSpace s;
    s.bytesPerSector = 512;
    s.sectorsPerCluster = 8;
    s.totalClusters = static_cast<std::uint32_t>(totalBytes / 4096);
    s.freeClusters = s.totalClusters / 2;
    return s;
}

QByteArray Digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result();
}

// An image file of the given size, sparse, filled with a recognisable first megabyte.
QString MakeImage(const QString& name, std::int64_t bytes)
{
    const QString path = ScratchDir() + QLatin1Char('/') + name;
    QFile::remove(path);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1 << 20, 'R'));
    EXPECT_TRUE(f.resize(bytes));
    return path;
}

// What fsck.fat finds in an image: whether it is clean, FAT32, and its cluster size.
struct FatCheck {
    bool clean = false;
    bool fat32 = false;
    int clusterBytes = 0;
};

FatCheck CheckFat(const QString& image)
{
    QProcess p;
    p.start(QStringLiteral("fsck.fat"), {QStringLiteral("-n"), QStringLiteral("-v"), image});
    EXPECT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    FatCheck c;
    c.clean = p.exitCode() == 0;
    c.fat32 = out.contains(QLatin1String("32 bit entries"));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("(\\d+) bytes per cluster")).match(out);
    if (m.hasMatch()) c.clusterBytes = m.captured(1).toInt();
    return c;
}

// The command's system, played by the test: an E: card whose device is an image file.
class FakeSystem {
public:
    FakeSystem()
    {
        FormatSystem s;
        s.driveType = [this](const QString& d) {
            drives << d;
            return driveType;
        };
        s.diskFreeSpace = [this](const QString&, DriveTable::DiskFreeSpace* sp) {
            *sp = space;
            return spaceKnown;
        };
        s.probe = [this](const QString&) {
            ++probes;
            return card;
        };
        s.format = [this](const DiskFormat::CardDevice& c, int clusterBytes, QString*, QString* error) {
            formats.push_back({c.device, clusterBytes});
            return realFormat ? DiskFormat::RunMkfsFat(c.device, clusterBytes, 512, error) : exitCode;
        };
        s.openFolder = [this](const QString& folder) { opened << folder; };
        m_previous = SetFormatSystem(s);
        card.removable = true;
        card.mountRoot = QStringLiteral("/media/card");
    }
    ~FakeSystem() { SetFormatSystem(m_previous); }

    int driveType = DriveTable::DRIVE_REMOVABLE;
    DriveTable::DiskFreeSpace space = SpaceOf(3000 * kMB);
    bool spaceKnown = true;
    DiskFormat::CardDevice card;
    bool realFormat = false;
    int exitCode = 0;

    QStringList drives;
    int probes = 0;
    std::vector<std::pair<QString, int>> formats;
    QStringList opened;

private:
    FormatSystem m_previous;
};

class Format : public GuiTest {
protected:
    void SetUp() override { card = std::make_unique<CardTree>(QStringLiteral("format_card")); }
    void Run(int language, FormatCommandHooks hooks = {})
    {
        hooks.focusList = [this] { ++focused; };
        RunFormatCommand(nullptr, language, hooks);
    }
    std::unique_ptr<CardTree> card;
    int focused = 0;
};

}  // namespace

TEST(FormatSizeClass, ClassAndClusterOptionByCapacity)
{
    const struct {
        std::int64_t totalBytes;
        int sizeClass;
        const char* option;
    } cases[] = {
        {1048576, 0, ""},
        {2047 * kMB, 2, "/a:4096 "},
        {2048 * kMB, 4, "/a:8192 "},
        {3000 * kMB, 4, "/a:8192 "},
        {4096 * kMB, 8, "/a:16K "},
        {8192 * kMB, 16, "/a:32K "},
        {16384 * kMB, 32, "/a:64K "},
        {32767 * kMB, 32, "/a:64K "},
        {32768 * kMB, 0, ""},
        {40000 * kMB, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.totalBytes);
        double figures[3] = {-1, -1, -1};
        int sizeValue = 99;
        const DriveTable::DiskFreeSpace space = SpaceOf(c.totalBytes);
        EXPECT_EQ(DiskSizeClass(space, figures, &sizeValue), c.sizeClass);
        EXPECT_EQ(ClusterOption(c.sizeClass), QString::fromLatin1(c.option));
        EXPECT_EQ(sizeValue, c.sizeClass ? 2 * c.sizeClass : 99);  // class 0 leaves the value
        EXPECT_EQ(figures[0], 4096.0);
        EXPECT_EQ(figures[1], 4096.0 * space.freeClusters);
        EXPECT_EQ(figures[2], 4096.0 * space.totalClusters);
    }
    // Just above one megabyte is the smallest card with a class.
    DriveTable::DiskFreeSpace tiny{1, 512, 0, 2049};
    double figures[3];
    EXPECT_EQ(DiskSizeClass(tiny, figures, nullptr), 2);
}

TEST(FormatSizeClass, OptionsNameTheirClusterInBytes)
{
    EXPECT_EQ(ClusterBytes(QStringLiteral("/a:4096 ")), 4096);
    EXPECT_EQ(ClusterBytes(QStringLiteral("/a:8192 ")), 8192);
    EXPECT_EQ(ClusterBytes(QStringLiteral("/a:16K ")), 16384);
    EXPECT_EQ(ClusterBytes(QStringLiteral("/a:32K ")), 32768);
    EXPECT_EQ(ClusterBytes(QStringLiteral("/a:64K ")), 65536);
    EXPECT_EQ(ClusterBytes(QString()), 0);
    EXPECT_EQ(ClusterBytes(QStringLiteral("/q")), 0);
}

TEST_F(Format, FormatsImagesOfTwoSizesAsFat32WithTheClassCluster)
{
    const struct {
        std::int64_t bytes;
        int cluster;
    } sizes[] = {{300 * kMB, 4096}, {3000 * kMB, 8192}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.bytes);
        FakeSystem sys;
        sys.card.device = MakeImage(QStringLiteral("card.img"), s.bytes);
        sys.space = SpaceOf(s.bytes);
        sys.realFormat = true;
        BoxRecorder boxes;
        Run(1);
        ASSERT_EQ(sys.formats.size(), 1u);
        EXPECT_EQ(sys.formats[0].second, s.cluster);
        const FatCheck fat = CheckFat(sys.card.device);
        EXPECT_TRUE(fat.clean);
        EXPECT_TRUE(fat.fat32);
        EXPECT_EQ(fat.clusterBytes, s.cluster);
        EXPECT_EQ(QFileInfo(sys.card.device).size(), s.bytes);  // formatted in place, not grown
        ASSERT_EQ(boxes.seen.size(), 2u);
        EXPECT_EQ(boxes.seen[1].text, "Format Complete");
        EXPECT_EQ(sys.opened, QStringList{"/media/card"});
        QFile::remove(sys.card.device);
    }
}

TEST_F(Format, AsksAndAnswersInTheUsersLanguage)
{
    const struct {
        int language;
        const char* ask;
        const char* done;
        const char* failed;
        const char* title;
    } cases[] = {
        {2, "카르벤 SD 카드인 E 드라이브를 포맷하시겠습니까?", "포맷이 완료되었습니다.", "포맷에 실패하였습니다.", "카르벤"},
        {1, "Do you want to format the drive E of VELMORA-21K SD Card?", "Format Complete", "Fail to disk format",
         "VELMORA-21K"},
        // The Japanese question names no drive.
        {0, "ドライバをフォーマットしますか？", "フォーマット完了", "フォーマットに失敗しました。", "ベルモラ-21K"},
    };
    for (const auto& c : cases) {
        for (int exitCode : {0, 1}) {
            SCOPED_TRACE(c.language * 10 + exitCode);
            FakeSystem sys;
            sys.card.device = QStringLiteral("/dev/fake-card");
            sys.exitCode = exitCode;
            BoxRecorder boxes;
            Run(c.language);
            ASSERT_EQ(boxes.seen.size(), 2u);
            EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8(c.ask));
            EXPECT_EQ(boxes.seen[0].style, MB_OKCANCEL | MB_ICONWARNING);
            EXPECT_EQ(boxes.seen[1].text, QString::fromUtf8(exitCode == 0 ? c.done : c.failed));
            EXPECT_EQ(boxes.seen[1].style, MB_OK);
            for (const SeenBox& b : boxes.seen) EXPECT_EQ(b.title, QString::fromUtf8(c.title));
            ASSERT_EQ(sys.formats.size(), 1u);
            EXPECT_EQ(sys.formats[0].first, "/dev/fake-card");
            EXPECT_EQ(sys.formats[0].second, 8192);
            // The file manager opens on the card only after a format that worked.
            EXPECT_EQ(sys.opened.size(), exitCode == 0 ? 1 : 0);
            EXPECT_EQ(sys.drives, QStringList{"E:"});
        }
    }
    EXPECT_EQ(focused, 6);
}

TEST_F(Format, CancelFormatsNothing)
{
    FakeSystem sys;
    sys.card.device = MakeImage(QStringLiteral("cancel.img"), 300 * kMB);
    sys.space = SpaceOf(300 * kMB);
    sys.realFormat = true;
    const QByteArray before = Digest(sys.card.device);
    BoxRecorder boxes;
    boxes.answers = {IDCANCEL};
    Run(2);
    EXPECT_EQ(boxes.seen.size(), 1u);  // the question only
    EXPECT_TRUE(sys.formats.empty());
    EXPECT_TRUE(sys.opened.isEmpty());
    EXPECT_EQ(Digest(sys.card.device), before);
    EXPECT_EQ(focused, 1);
}

TEST_F(Format, RefusesWithoutAWordWhatIsNoCard)
{
    const struct {
        const char* what;
        int driveType;
        bool removable;
        bool systemDisk;
        bool deviceKnown;
        bool spaceKnown;
        std::int64_t bytes;
    } cases[] = {
        {"fixed drive", DriveTable::DRIVE_FIXED, true, false, true, true, 3000 * kMB},
        {"no root", DriveTable::DRIVE_NO_ROOT_DIR, true, false, true, true, 3000 * kMB},
        {"device not removable", DriveTable::DRIVE_REMOVABLE, false, false, true, true, 3000 * kMB},
        {"the system's disk", DriveTable::DRIVE_REMOVABLE, true, true, true, true, 3000 * kMB},
        {"no block device", DriveTable::DRIVE_REMOVABLE, true, false, false, true, 3000 * kMB},
        {"figures unreadable", DriveTable::DRIVE_REMOVABLE, true, false, true, false, 3000 * kMB},
        {"one megabyte", DriveTable::DRIVE_REMOVABLE, true, false, true, true, 1048576},
        {"too large", DriveTable::DRIVE_REMOVABLE, true, false, true, true, 40000 * kMB},
    };
    const QString image = MakeImage(QStringLiteral("refused.img"), 300 * kMB);
    const QByteArray before = Digest(image);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem sys;
        sys.driveType = c.driveType;
        sys.card.removable = c.removable;
        sys.card.systemDisk = c.systemDisk;
        sys.card.device = c.deviceKnown ? image : QString();
        sys.spaceKnown = c.spaceKnown;
        sys.space = SpaceOf(c.bytes);
        sys.realFormat = true;
        BoxRecorder boxes;
        boxes.answers = {IDOK};
        Run(1);
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_TRUE(sys.formats.empty());
        if (c.driveType != DriveTable::DRIVE_REMOVABLE) {
            EXPECT_EQ(sys.probes, 0);
        }
    }
    EXPECT_EQ(Digest(image), before);
    EXPECT_EQ(focused, 8);
}

TEST_F(Format, NoCardIsSaidAndAPlayingRecordingPauses)
{
    UseNoDrives();
    FakeSystem sys;
    BoxRecorder boxes;
    int toggled = 0;
    FormatCommandHooks hooks;
    hooks.playerRunning = [] { return true; };
    hooks.togglePlayPause = [&] { ++toggled; };
    Run(1, hooks);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "There is no device SD card.");
    EXPECT_EQ(toggled, 0);
    EXPECT_TRUE(sys.drives.isEmpty());

    card = std::make_unique<CardTree>(QStringLiteral("format_card"));
    sys.card.device = QStringLiteral("/dev/fake-card");
    boxes.answers = {IDCANCEL};
    int panes = 0;
    hooks.setPanes = [&] { ++panes; };
    Run(1, hooks);
    EXPECT_EQ(toggled, 1);
    EXPECT_EQ(panes, 1);
}

// The real format call touches nothing that is not a removable block device, whatever it is told.
TEST_F(Format, RealFormatRefusesAnythingButARemovableBlockDevice)
{
    const QString image = MakeImage(QStringLiteral("plain.img"), 300 * kMB);
    const QByteArray before = Digest(image);
    for (bool removable : {false, true}) {
        DiskFormat::CardDevice card;
        card.device = image;
        card.removable = removable;
        QString mounted, error;
        EXPECT_NE(DiskFormat::Format(card, 4096, &mounted, &error), 0);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(mounted.isEmpty());
    }
    EXPECT_EQ(Digest(image), before);

    // A folder named as a drive has no device, so it is never a card to format.
    const DiskFormat::CardDevice folder = DiskFormat::Probe(QStringLiteral("E:"));
    EXPECT_TRUE(folder.device.isEmpty());
    EXPECT_FALSE(DiskFormat::MayFormat(folder));
}

TEST(FormatSystemDisk, TheRootFileSystemsDiskIsTheSystemDisk)
{
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    ASSERT_TRUE(mounts.open(QIODevice::ReadOnly));
    QString rootDevice;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() > 1 && f[1] == "/" && f[0].startsWith("/dev/")) rootDevice = QString::fromLocal8Bit(f[0]);
    }
    if (rootDevice.isEmpty() || !QFileInfo::exists(rootDevice)) GTEST_SKIP() << "the root is on no block device here";
    EXPECT_TRUE(DiskFormat::IsSystemDisk(rootDevice));
    DiskFormat::CardDevice root;
    root.device = rootDevice;
    root.removable = true;  // even when it claims to be removable
    EXPECT_FALSE(DiskFormat::MayFormat(root));
}

TEST_F(Format, ConfirmationScreenshot)
{
    FakeSystem sys;
    sys.card.device = QStringLiteral("/dev/fake-card");
    QString text;
    bool shot = false;
    // The real box: taken as the user sees it, then cancelled with its own button.
    QTimer::singleShot(200, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            if (modal) modal->close();
            return;
        }
        text = box->text();
        shot = !SaveArtefact(box, QStringLiteral("format_confirmation")).isEmpty();
        box->button(QMessageBox::Cancel)->click();
    });
    Run(1);
    EXPECT_TRUE(shot);
    EXPECT_EQ(text, "Do you want to format the drive E of VELMORA-21K SD Card?");
    EXPECT_TRUE(sys.formats.empty());
}
