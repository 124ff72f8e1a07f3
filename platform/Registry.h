#pragma once
// The program's registry: a small key/value store in INI form under
// $XDG_CONFIG_HOME/velmora-viewer/registry.ini. Keys are spelled as the program
// has always written them ("HKEY_CURRENT_USER\Software\GNU\ffdshow").
#include <QString>
#include <cstdint>
#include <optional>

namespace Registry {

bool SetDword(const QString& key, const QString& name, std::uint32_t value);
std::optional<std::uint32_t> GetDword(const QString& key, const QString& name);
bool SetString(const QString& key, const QString& name, const QString& value);
std::optional<QString> GetString(const QString& key, const QString& name);

}  // namespace Registry
