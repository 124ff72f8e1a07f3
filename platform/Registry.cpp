#include "platform/Registry.h"

#include "platform/Paths.h"

#include <QSettings>

namespace Registry {
namespace {

QSettings Store() { return QSettings(Paths::ConfigDir() + "/registry.ini", QSettings::IniFormat); }

// QSettings treats '\' and '/' as group separators; keep the key whole in one group name.
QString Entry(const QString& key, const QString& name)
{
    QString k = key;
    k.replace('\\', '|');
    return k + "/" + name;
}

}  // namespace

bool SetDword(const QString& key, const QString& name, std::uint32_t value)
{
    QSettings s = Store();
    s.setValue(Entry(key, name), static_cast<qulonglong>(value));
    s.sync();
    return s.status() == QSettings::NoError;
}

std::optional<std::uint32_t> GetDword(const QString& key, const QString& name)
{
    QSettings s = Store();
    const QVariant v = s.value(Entry(key, name));
    bool ok = false;
    const qulonglong n = v.toULongLong(&ok);
    if (!v.isValid() || !ok) return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

bool SetString(const QString& key, const QString& name, const QString& value)
{
    QSettings s = Store();
    s.setValue(Entry(key, name), value);
    s.sync();
    return s.status() == QSettings::NoError;
}

std::optional<QString> GetString(const QString& key, const QString& name)
{
    QSettings s = Store();
    const QVariant v = s.value(Entry(key, name));
    if (!v.isValid()) return std::nullopt;
    return v.toString();
}

}  // namespace Registry
