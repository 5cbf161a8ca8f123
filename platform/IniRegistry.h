#pragma once

#include "RegistryKey.h"

#include <QString>
#include <memory>

namespace tessary {

// A small registry kept in an INI file: one section per key ("HKEY_LOCAL_MACHINE/Software/
// ..."), one entry per value. Key and value names are compared without regard to case, as
// the registry does. Keys close themselves; nothing stays open between calls.
class IniRegistry
{
public:
    explicit IniRegistry(QString fileName);

    QString fileName() const { return m_fileName; }
    // The key, or null when it does not exist.
    std::unique_ptr<RegistryKey> openKey(RegistryRoot root, const QString& subKey) const;
    // The key, made with the keys above it when missing; null when the file cannot be written.
    std::unique_ptr<RegistryKey> createKey(RegistryRoot root, const QString& subKey) const;

private:
    class Key;

    QString m_fileName;
};

} // namespace tessary
