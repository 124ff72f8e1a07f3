#pragma once
// Watches the drive table and tells the main window when a drive goes away or comes in, as
// the shell's drive notifications did. The table is read again every second; a change is
// delivered on the thread of the receiver, through its event queue, never from inside Poll.
#include "platform/DriveTable.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

// Shell event codes the program tests.
inline constexpr int SHCNE_MEDIAREMOVED = 0x40;
inline constexpr int SHCNE_DRIVEREMOVED = 0x80;
inline constexpr int SHCNE_DRIVEADD = 0x100;

class DriveMonitor : public QObject {
public:
    // event: SHCNE_DRIVEREMOVED or SHCNE_DRIVEADD; path: the drive's root, "E:\".
    using Handler = std::function<void(const QString& path, int event)>;

    // receiver: the window whose queue gets the events (the monitor's parent).
    DriveMonitor(QObject* receiver, Handler handler, int intervalMs = 1000);
    ~DriveMonitor() override;

    // Reads the table now and posts one event for each drive gone or new since the last
    // read. Returns how many were posted.
    int Poll();
    void Stop() { m_timer.stop(); }
    bool IsRunning() const { return m_timer.isActive(); }

    // Posts one event as a drive change would.
    void Post(const QString& path, int event);

private:
    struct Seen {
        QChar letter;
        QString root;
    };
    static std::vector<Seen> Snapshot();

    QPointer<QObject> m_receiver;
    Handler m_handler;
    QTimer m_timer;
    std::vector<Seen> m_seen;
};
