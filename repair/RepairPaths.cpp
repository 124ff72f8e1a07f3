#include "repair/RepairPaths.h"

#include "platform/DriveTable.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString g_strRepairOutput = QStringLiteral("Repair_Pomel.mp4");

QString RepairNativePath(const QString& path)
{
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:([\\\\/]|$)"));
    if (drivePath.match(path).hasMatch()) {
        const QString native = DriveTable::NativePath(path);
        if (!native.isEmpty()) return native;
    }
    return path;
}

QString RepairWorkDir()
{
    const QString dir = Paths::DataDir() + QStringLiteral("/Recovery");
    QDir().mkpath(dir);
    return dir;
}

QString RepairWorkFile(const char* name)
{
    return RepairWorkDir() + QLatin1Char('/') + QLatin1String(name);
}

QString FindFfmpeg()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

QString FindRepairProgram()
{
    const auto configured = Registry::GetString(QString::fromLatin1(kRepairProgramKey),
                                                QString::fromLatin1(kRepairProgramValue));
    if (configured && !configured->isEmpty()) {
        const QFileInfo info(*configured);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(QString::fromLatin1(kRepairProgramName));
}
