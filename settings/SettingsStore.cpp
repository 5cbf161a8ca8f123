#include "SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <memory>

namespace tessary {

namespace {

std::unique_ptr<QSettings> openIni(const QString& folder, const QString& application)
{
    const QString path = QDir(folder).filePath(SettingsStore::organisation + QLatin1Char('/') +
                                               application + QStringLiteral(".ini"));
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

std::unique_ptr<QSettings> openStore(const QString& folder, const QString& application)
{
    if (!folder.isEmpty())
        return openIni(folder, application);
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\") +
                                           SettingsStore::organisation + QLatin1Char('\\') +
                                           application,
                                       QSettings::NativeFormat);
#else
    return openIni(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                   application);
#endif
}

} // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString& folder, NameSource applicationName)
    : m_folder(folder)
    , m_applicationName(std::move(applicationName))
{}

QString SettingsStore::executableName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString SettingsStore::applicationName() const
{
    return m_applicationName ? m_applicationName() : executableName();
}

QString SettingsStore::read(const QString& name) const
{
    const std::unique_ptr<QSettings> store = openStore(m_folder, applicationName());
    const QVariant value = store->value(section + QLatin1Char('/') + name);
    // A hand-edited INI line with commas reads back as a list; it is still one text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool SettingsStore::write(const QString& name, const QString& text)
{
    const std::unique_ptr<QSettings> store = openStore(m_folder, applicationName());
    store->setValue(section + QLatin1Char('/') + name, text);
    store->sync();
    return store->status() == QSettings::NoError;
}

} // namespace tessary
