#pragma once
// The process-wide table of found recordings, filled by the card search and the open-files
// dialog, read by the list window and the main dialog.
#include <QString>

struct RecordingRecord {
    QString m_strDateTime;  // "YYYY-MM-DD HH:MM:SS"
    QString m_strSpare;     // never filled
    QString m_strLast;
    QString m_strField2;
    QString m_strField3;
    QString m_strField4;
    QString m_strPath;      // full path of the recording
};

constexpr int kMaxRecordings = 10000;

extern RecordingRecord g_aRecordings[kMaxRecordings];
extern int g_nRecordingCount;   // entries filled by the last search (index of the last + 1)
extern int g_nCurrentRecord;    // visible-list row of the playing recording, -1 before any

// Fills entry index and sets the count to index + 1. An index outside the table is refused
// (answers false) so a card with more recordings than the table never writes past its end.
bool StoreRecording(int index, const RecordingRecord& record);

// The entry at index, or null outside the table.
RecordingRecord* RecordingAt(int index);

// The parts of a recording name's "YYYYMMDD_HHMMSS" stamp as the list and the table show
// them: "YYYY-MM-DD", "HH:MM:SS", and both as "YYYY-MM-DD HH:MM:SS" (empty for an empty stamp).
QString StampDate(const QString& stamp);
QString StampTime(const QString& stamp);
QString StampDateTime(const QString& stamp);
