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
