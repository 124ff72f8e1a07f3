#include "platform/DriveMonitor.h"

#include <QMetaObject>

DriveMonitor::DriveMonitor(QObject* receiver, Handler handler, int intervalMs)
    : QObject(receiver), m_receiver(receiver), m_handler(std::move(handler)), m_seen(Snapshot())
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
    m_timer.start();
}

DriveMonitor::~DriveMonitor() = default;

std::vector<DriveMonitor::Seen> DriveMonitor::Snapshot()
{
    std::vector<Seen> seen;
    for (const DriveInfo& d : DriveTable::Drives()) seen.push_back({d.letter, d.root});
    return seen;
}

int DriveMonitor::Poll()
{
    const std::vector<Seen> now = Snapshot();
    // A volume is known by its mount folder: when another volume comes in, the letters may be
    // given out again, and that alone removes nothing.
    auto holds = [](const std::vector<Seen>& list, const Seen& s) {
        for (const Seen& e : list)
            if (e.root == s.root) return true;
        return false;
    };
    int posted = 0;
    // One event for each drive of `list` that `other` lacks.
    auto report = [&](const std::vector<Seen>& list, const std::vector<Seen>& other, int event) {
        for (const Seen& s : list)
            if (!holds(other, s)) {
                Post(QString(s.letter) + QStringLiteral(":\\"), event);
                ++posted;
            }
    };
    report(m_seen, now, SHCNE_DRIVEREMOVED);
    report(now, m_seen, SHCNE_DRIVEADD);
    m_seen = now;
    return posted;
}

void DriveMonitor::Post(const QString& path, int event)
{
    if (!m_receiver || !m_handler) return;
    // Queued: the window handles it from its own event loop, as a posted message.
    Handler handler = m_handler;
    QMetaObject::invokeMethod(
        m_receiver.data(), [handler, path, event] { handler(path, event); }, Qt::QueuedConnection);
}
