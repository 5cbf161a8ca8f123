#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessary {

ProgramFolder::ProgramFolder(const QString& path)
    : m_path(QDir::toNativeSeparators(QDir::cleanPath(path)))
{}

ProgramFolder ProgramFolder::ofExecutable()
{
    return ProgramFolder(QCoreApplication::applicationDirPath());
}

QString ProgramFolder::filePath(const QString& name) const
{
    return QDir::toNativeSeparators(QDir(m_path).filePath(name));
}

QString ProgramFolder::workingFolder() const
{
    if (QFileInfo(m_path).isWritable())
        return m_path;
    const QString own = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(own);
    return QDir::toNativeSeparators(own);
}

QString ProgramFolder::workingFilePath(const QString& name) const
{
    return QDir::toNativeSeparators(QDir(workingFolder()).filePath(name));
}

} // namespace tessary
