// How the program starts: Qt WebEngine's sandbox by the account that runs the program, and the
// program itself started by root on a display.
#include "app/WebEngineSandbox.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr const char* kDisable = "QTWEBENGINE_DISABLE_SANDBOX";
constexpr const char* kFlags = "QTWEBENGINE_CHROMIUM_FLAGS";

struct SandboxCase {
    const char* name;
    uid_t euid;
    const char* disable;  // the variable's value, null: not set
    const char* flags;
    const char* reason;   // a part of the reason given, null: the sandbox stays on
    bool variable;        // QTWEBENGINE_DISABLE_SANDBOX set afterwards
};

TEST(WebEngineSandbox, OffForRootAndWhenAskedAndTheReasonSaid)
{
    const SandboxCase cases[] = {
        {"ordinary user", 1000, nullptr, nullptr, nullptr, false},
        {"root", 0, nullptr, nullptr, "runs as root", true},
        {"root with other flags", 0, nullptr, "--disable-gpu", "runs as root", true},
        {"variable set", 1000, "1", nullptr, "QTWEBENGINE_DISABLE_SANDBOX is set", true},
        {"variable set empty, root", 0, "", nullptr, "QTWEBENGINE_DISABLE_SANDBOX is set", true},
        {"chromium flag", 1000, nullptr, "--disable-gpu --no-sandbox", "QTWEBENGINE_CHROMIUM_FLAGS holds --no-sandbox",
         false},
        {"other chromium flags", 1000, nullptr, "--disable-gpu", nullptr, false},
    };
    for (const SandboxCase& c : cases) {
        SCOPED_TRACE(c.name);
        qunsetenv(kDisable);
        qunsetenv(kFlags);
        if (c.disable) qputenv(kDisable, c.disable);
        if (c.flags) qputenv(kFlags, c.flags);
        const QString reason = PrepareWebEngineSandbox(c.euid);
        EXPECT_EQ(qEnvironmentVariableIsSet(kDisable), c.variable);  // Qt WebEngine reads it at its start
        if (!c.reason) {
            EXPECT_TRUE(reason.isEmpty()) << reason.toStdString();
            continue;
        }
        EXPECT_TRUE(reason.contains(QLatin1String(c.reason))) << reason.toStdString();
        if (c.disable) {
            EXPECT_EQ(qgetenv(kDisable), QByteArray(c.disable));  // the user's value stays
        }
    }
    qunsetenv(kFlags);
    qputenv(kDisable, "1");
}

// The processes whose parent is pid, as /proc lists them: their command names.
QStringList ChildCommands(qint64 pid)
{
    QStringList out;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        entry.toLongLong(&number);
        if (!number) continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        // "pid (comm) state ppid ...": the name may hold blanks, so read after its last ')'.
        const qsizetype close = line.lastIndexOf(')');
        const qsizetype open = line.indexOf('(');
        if (open < 0 || close < open) continue;
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest[1].toLongLong() == pid) out << QString::fromLocal8Bit(line.mid(open + 1, close - open - 1));
    }
    return out;
}

TEST(StartUp, RootOnADisplayRunsAndSaysWhyTheSandboxIsOff)
{
    if (geteuid() != 0) GTEST_SKIP() << "this account is not root";
    const QString scratch = QString::fromLocal8Bit(qgetenv("VIEWER_TEST_SCRATCH"));
    ASSERT_FALSE(scratch.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(kDisable);
    env.remove(kFlags);
    env.insert("QT_QPA_PLATFORM", "offscreen");  // a display of its own for the window
    env.insert("VIEWER_DRIVES", "");
    env.insert("XDG_CONFIG_HOME", scratch + "/root_start/config");
    env.insert("XDG_DATA_HOME", scratch + "/root_start/data");
    ASSERT_TRUE(QDir().mkpath(scratch));
    QProcess viewer;
    viewer.setProcessEnvironment(env);
    viewer.setWorkingDirectory(scratch);
    viewer.start(QStringLiteral(VIEWER_PROGRAM), {});
    ASSERT_TRUE(viewer.waitForStarted(10000)) << VIEWER_PROGRAM << ": " << viewer.errorString().toStdString();

    // Qt WebEngine has started when its helper processes run below the program; a refusal
    // would have ended the program first.
    const QDeadlineTimer deadline(60000);
    bool helpers = false;
    while (!helpers && viewer.state() == QProcess::Running && !deadline.hasExpired()) {
        helpers = ChildCommands(viewer.processId()).contains(QStringLiteral("QtWebEngineProc"));
        if (!helpers) viewer.waitForFinished(200);
    }
    const bool running = viewer.state() == QProcess::Running;
    viewer.kill();
    viewer.waitForFinished(10000);
    const QString err = QString::fromLocal8Bit(viewer.readAllStandardError());
    EXPECT_TRUE(running) << "exit code " << viewer.exitCode() << "\n" << err.right(600).toStdString();
    EXPECT_TRUE(helpers);
    EXPECT_TRUE(err.contains("velmora-viewer: the map pages run without Qt WebEngine's sandbox: the program runs as root"))
        << err.left(600).toStdString();
}

}  // namespace
