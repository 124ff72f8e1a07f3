#include "media/RecordingNames.h"

#include "platform/DriveTable.h"

#include <QByteArray>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace {

QString SortKey(QString name)
{
    name.remove(QStringLiteral(".mp4"));
    name.remove(QStringLiteral("_I"));
    name.remove(QLatin1Char('_'));
    return name;
}

// The field from `start` up to the next '^'; its length, or -1 when no '^'
// follows (the field is then empty).
int FieldBefore(const QString& name, int start, QString* field)
{
    const int end = start < name.size() ? name.indexOf(QLatin1Char('^'), start) : -1;
    const int length = end < 0 ? -1 : end - start;
    if (field)
        *field = length > 0 ? name.mid(start, length) : QString();
    return length;
}

}  // namespace

bool CompareRecordingNames(const QString& a, const QString& b)
{
    // Byte order of the names in the local code page, as the card's names have
    // always sorted.
    const QByteArray ka = SortKey(a).toLocal8Bit();
    const QByteArray kb = SortKey(b).toLocal8Bit();
    return std::strcmp(ka.constData(), kb.constData()) < 0;
}

void SplitRecordingName(const QString& path, QString* dateTime, QString* field2, QString* field3,
                        QString* field4, QString* last)
{
    const QString tail = path.right(5);
    if (!tail.contains(QStringLiteral(".mp4")) && !tail.contains(QStringLiteral(".avi")))
        return;

    const int slash = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    const QString name = path.mid(slash + 1);

    const int p = name.indexOf(QLatin1Char('^'));
    if (dateTime)
        *dateTime = name.mid(p + 1, 15);
    const int l2 = FieldBefore(name, p + 16, field2);
    const int l3 = FieldBefore(name, p + l2 + 17, field3);
    const int l4 = FieldBefore(name, p + l2 + l3 + 18, field4);

    const int start = p + l2 + l3 + l4 + 19;
    QString rest;
    if (start < name.size() - 5)
        rest = name.mid(start, name.size() - 5 - start);

    static const char* const kKeepLast[] = {"NI.mp4", "T1.mp4", "C.mp4", "G.mp4", "E.mp4", "X.mp4"};
    bool keep = false;
    for (const char* suffix : kKeepLast)
        keep = keep || path.contains(QLatin1String(suffix));
    if (last)
        *last = keep ? rest : QString();
}

bool HasRecordingExtension(const QString& name)
{
    const QString ext = name.right(4);
    return ext.compare(QLatin1String(".avi"), Qt::CaseInsensitive) == 0 ||
           ext.compare(QLatin1String(".mp4"), Qt::CaseInsensitive) == 0;
}

bool FindEventDrive(QString* drive)
{
    QString pattern;
    // Drive letters of volumes that are mounted now; the others cannot hold it.
    const std::vector<DriveInfo> drives = DriveTable::Drives();
    for (char letter = 'D'; letter <= 'Y'; ++letter) {
        pattern = QStringLiteral("%1:\\EVENT").arg(QLatin1Char(letter));
        bool mounted = false;
        for (const DriveInfo& d : drives)
            mounted = mounted || d.letter == QLatin1Char(letter);
        if (!mounted)
            continue;
        if (QFileInfo(DriveTable::NativePath(pattern)).isDir()) {
            pattern.chop(6);  // "\EVENT"
            if (drive)
                *drive = pattern;
            return true;
        }
    }
    if (drive)
        *drive = pattern;
    return false;
}

QString GetMapProvider(QString* out, int /*layoutMode*/, const QString& /*text*/)
{
    if (!out)
        return QString();
    *out = QString();
    return *out;
}
