#include "views/RecordingTable.h"

RecordingRecord g_aRecordings[kMaxRecordings];
int g_nRecordingCount = 0;
int g_nCurrentRecord = -1;

bool StoreRecording(int index, const RecordingRecord& record)
{
    if (index < 0 || index >= kMaxRecordings)
        return false;
    g_aRecordings[index] = record;
    g_nRecordingCount = index + 1;
    return true;
}

RecordingRecord* RecordingAt(int index)
{
    if (index < 0 || index >= kMaxRecordings)
        return nullptr;
    return &g_aRecordings[index];
}

QString StampDate(const QString& stamp)
{
    return QStringLiteral("%1-%2-%3").arg(stamp.mid(0, 4), stamp.mid(4, 2), stamp.mid(6, 2));
}

QString StampTime(const QString& stamp)
{
    return QStringLiteral("%1:%2:%3").arg(stamp.mid(9, 2), stamp.mid(11, 2), stamp.mid(13, 2));
}

QString StampDateTime(const QString& stamp)
{
    if (stamp.isEmpty()) return QString();
    return StampDate(stamp) + QLatin1Char(' ') + StampTime(stamp);
}
