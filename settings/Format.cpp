#include "settings/Format.h"

#include "media/RecordingNames.h"
#include "platform/MessageBox.h"
#include "settings/SetupTexts.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <utility>

namespace {

void Call(const std::function<void()>& f)
{
    if (f) f();
}

FormatSystem& Installed()
{
    static FormatSystem system;
    return system;
}

// The installed system with the real calls where a member is empty.
FormatSystem System()
{
    FormatSystem s = Installed();
    if (!s.driveType) s.driveType = [](const QString& d) { return DriveTable::GetDriveType(d); };
    if (!s.diskFreeSpace)
        s.diskFreeSpace = [](const QString& d, DriveTable::DiskFreeSpace* sp) { return DriveTable::GetDiskFreeSpace(d, sp); };
    if (!s.probe) s.probe = DiskFormat::Probe;
    if (!s.format) s.format = DiskFormat::Format;
    if (!s.openFolder) s.openFolder = DiskFormat::OpenFolder;
    return s;
}

// The card may be formatted only when the system reports its device removable and it is not
// the system's disk (the format call checks the device once more when it runs).
bool Formattable(const DiskFormat::CardDevice& card)
{
    return !card.device.isEmpty() && card.removable && !card.systemDisk;
}

// Runs the format on a worker thread while a busy window keeps the main window responsive
// (and out of the user's reach: nothing may use the card meanwhile).
int FormatWithBusyWindow(QWidget* owner, int language, const FormatSystem& system, const DiskFormat::CardDevice& card,
                         int clusterBytes, QString* mountedAt)
{
    int code = -1;
    QString error;
    QThread* worker = QThread::create([&] { code = system.format(card, clusterBytes, mountedAt, &error); });
    QProgressDialog busy(ByLanguageOrEnglish(language, "SD 카드를 포맷하는 중입니다...", "Formatting the SD card...",
                                             "SDカードをフォーマットしています..."),
                         QString(), 0, 0, owner);
    busy.setWindowTitle(TitleOrEnglish(language));
    busy.setWindowModality(Qt::ApplicationModal);
    busy.setMinimumDuration(500);
    busy.setCancelButton(nullptr);
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    if (!worker->isFinished()) loop.exec();
    worker->wait();
    delete worker;
    if (code != 0) qWarning("format of %s failed (%d): %s", qPrintable(card.device), code, qPrintable(error));
    return code;
}

}  // namespace

FormatSystem SetFormatSystem(FormatSystem system) { return std::exchange(Installed(), std::move(system)); }

int DiskSizeClass(const DriveTable::DiskFreeSpace& space, double figures[3], int* sizeValue)
{
    // Sectors x bytes per sector is an unsigned product; the rest is computed in double.
    const double bytesPerCluster = static_cast<std::uint32_t>(space.sectorsPerCluster * space.bytesPerSector);
    figures[0] = bytesPerCluster;
    figures[1] = bytesPerCluster * static_cast<double>(space.freeClusters);
    figures[2] = bytesPerCluster * static_cast<double>(space.totalClusters);
    if (figures[2] <= 1048576.0) return 0;
    const double mb = figures[2] / 1048576.0;
    const int sizeClass = mb < 2048 ? 2 : mb < 4096 ? 4 : mb < 8192 ? 8 : mb < 16384 ? 16 : mb < 32768 ? 32 : 0;
    if (sizeClass != 0 && sizeValue) *sizeValue = 2 * sizeClass;
    return sizeClass;
}

int GetDiskSizeClass(const QString& drive, double figures[3], DriveTable::DiskFreeSpace* space, int* sizeValue)
{
    // Figures that cannot be read give no class: a card is never formatted on stale figures.
    if (!System().diskFreeSpace(drive, space)) {
        figures[0] = figures[1] = figures[2] = 0;
        return 0;
    }
    return DiskSizeClass(*space, figures, sizeValue);
}

QString ClusterOption(int sizeClass)
{
    if (sizeClass <= 0) return {};
    if (sizeClass <= 2) return QStringLiteral("/a:4096 ");
    if (sizeClass <= 4) return QStringLiteral("/a:8192 ");
    if (sizeClass <= 8) return QStringLiteral("/a:16K ");
    if (sizeClass <= 16) return QStringLiteral("/a:32K ");
    if (sizeClass <= 32) return QStringLiteral("/a:64K ");
    return {};
}

int ClusterBytes(const QString& option)
{
    QString v = option.trimmed();
    if (!v.startsWith(QLatin1String("/a:"), Qt::CaseInsensitive)) return 0;
    v = v.mid(3);
    int unit = 1;
    if (v.endsWith(QLatin1Char('K'), Qt::CaseInsensitive)) {
        unit = 1024;
        v.chop(1);
    }
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok && n > 0 ? n * unit : 0;
}

void RunFormatCommand(QWidget* owner, int language, const FormatCommandHooks& hooks)
{
    Call(hooks.setPanes);
    const FormatSystem system = System();
    const auto finish = [&] { Call(hooks.focusList); };

    QString found;
    if (!FindEventDrive(&found)) {
        const QString text = ByLanguageOrEnglish(language, "카르벤 SD 카드가 없습니다.", "There is no device SD card.",
                                                 "SDカードを認識できません。");
        ShowMessageBox(owner, text, TitleOrEnglish(language), MB_OK);
        return finish();
    }
    if (hooks.playerRunning && hooks.playerRunning()) Call(hooks.togglePlayPause);

    const QChar letter = found.at(0).toUpper();
    const QString drive = QString(letter) + QLatin1Char(':');
    if (system.driveType(drive) != DriveTable::DRIVE_REMOVABLE) return finish();
    const DiskFormat::CardDevice card = system.probe(drive);
    if (!Formattable(card)) return finish();

    double figures[3] = {0, 0, 0};
    DriveTable::DiskFreeSpace space;
    int sizeValue = 0;
    const int sizeClass = hooks.diskSizeClass ? hooks.diskSizeClass(drive, figures)
                                              : GetDiskSizeClass(drive, figures, &space, &sizeValue);
    const int clusterBytes = ClusterBytes(ClusterOption(sizeClass));
    if (sizeClass == 0 || clusterBytes == 0) return finish();

    // The question is never empty: OK on it destroys the card's contents.
    const QString ask = ByLanguageOrEnglish(language, "카르벤 SD 카드인 %c 드라이브를 포맷하시겠습니까?",
                                            "Do you want to format the drive %c of VELMORA-21K SD Card?",
                                            "ドライバをフォーマットしますか？")
                            .replace(QLatin1String("%c"), QString(letter));
    if (ShowMessageBox(owner, ask, TitleOrEnglish(language), MB_OKCANCEL | MB_ICONWARNING) != IDOK) return finish();

    QString mountedAt;
    if (FormatWithBusyWindow(owner, language, system, card, clusterBytes, &mountedAt) == 0) {
        system.openFolder(mountedAt.isEmpty() ? card.mountRoot : mountedAt);
        ShowMessageBox(owner, ByLanguageOrEnglish(language, "포맷이 완료되었습니다.", "Format Complete", "フォーマット完了"),
                       TitleOrEnglish(language), MB_OK);
    } else {
        ShowMessageBox(owner,
                       ByLanguageOrEnglish(language, "포맷에 실패하였습니다.", "Fail to disk format", "フォーマットに失敗しました。"),
                       TitleOrEnglish(language), MB_OK);
    }
    finish();
}
