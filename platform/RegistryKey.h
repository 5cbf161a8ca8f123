#pragma once

#include <QString>
#include <optional>

namespace tessary {

// Root keys, with the handle values the registry gives them.
enum class RegistryRoot : quint32
{
    None = 0,
    ClassesRoot = 0x80000000,
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
    Users = 0x80000003,
    CurrentConfig = 0x80000005,
    DynData = 0x80000006,
};

// Access rights asked for when a key is opened or created.
namespace RegistryAccess {
inline constexpr quint32 QueryValue = 0x0001;
inline constexpr quint32 SetValue = 0x0002;
inline constexpr quint32 CreateSubKey = 0x0004;
inline constexpr quint32 AllAccess = 0xF003F;
} // namespace RegistryAccess

// Types of registry values the help code reads and writes.
namespace RegistryType {
inline constexpr quint32 String = 1;       // REG_SZ
inline constexpr quint32 ExpandString = 2; // REG_EXPAND_SZ: may hold %VARIABLES%
} // namespace RegistryType

struct RegistryValueInfo
{
    QString name;
    quint32 type = 0;
    quint32 dataSize = 0; // in bytes, a text's terminating zero included
};

// An open registry key. Destroying the object closes the key if close() was not called.
class RegistryKey
{
public:
    virtual ~RegistryKey() = default;

    // The value at index (0, 1, 2, ...), or nothing when there are no more values.
    virtual std::optional<RegistryValueInfo> enumValue(quint32 index) = 0;
    // The data of a text value as stored (it may hold zero characters), or nothing when the
    // value cannot be read.
    virtual std::optional<QString> queryValue(const QString& name) = 0;
    virtual bool setValue(const QString& name, quint32 type, const QString& data) = 0;
    virtual bool deleteValue(const QString& name) = 0;
    // Closes the key; false when closing failed. Later calls do nothing and return true.
    virtual bool close() = 0;
};

} // namespace tessary
