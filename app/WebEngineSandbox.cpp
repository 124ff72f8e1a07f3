#include "app/WebEngineSandbox.h"

#include <QByteArray>

namespace {
constexpr const char* kDisableSandbox = "QTWEBENGINE_DISABLE_SANDBOX";
constexpr const char* kChromiumFlags = "QTWEBENGINE_CHROMIUM_FLAGS";
}  // namespace

QString PrepareWebEngineSandbox(uid_t euid)
{
    // Qt WebEngine leaves the sandbox off when the variable is set at all, whatever its value.
    if (qEnvironmentVariableIsSet(kDisableSandbox))
        return QStringLiteral("%1 is set in the environment").arg(QLatin1String(kDisableSandbox));
    if (qgetenv(kChromiumFlags).contains("--no-sandbox"))
        return QStringLiteral("%1 holds --no-sandbox").arg(QLatin1String(kChromiumFlags));
    if (euid != 0) return QString();
    qputenv(kDisableSandbox, "1");
    return QStringLiteral("the program runs as root, and Chromium's sandbox does not run for root");
}
