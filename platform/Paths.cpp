#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace Paths {
namespace {

QString Ensure(QStandardPaths::StandardLocation base)
{
    const QString dir = QStandardPaths::writableLocation(base) + "/" + kProgramName;
    QDir().mkpath(dir);
    return dir;
}

}  // namespace

QString ConfigDir() { return Ensure(QStandardPaths::GenericConfigLocation); }
QString DataDir() { return Ensure(QStandardPaths::GenericDataLocation); }

}  // namespace Paths
