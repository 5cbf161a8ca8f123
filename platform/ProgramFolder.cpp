#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessary {

ProgramFolder::ProgramFolder(const QString& path)
    : m_path(QDir::toNativeSeparators(QDir::cleanPath(path)))
{}

ProgramFolder::ProgramFolder(const QString& path, const QString& documents, const QString& ownData)
    : ProgramFolder(path)
{
    m_documents = QDir::toNativeSeparators(documents);
    m_ownData = QDir::toNativeSeparators(ownData);
    m_readOnly = true;
}

ProgramFolder ProgramFolder::ofExecutable()
{
    return ProgramFolder(QCoreApplication::applicationDirPath());
}

QString ProgramFolder::filePath(const QString& name) const
{
    return QDir::toNativeSeparators(QDir(m_path).filePath(name));
}

bool ProgramFolder::writable() const
{
    return !m_readOnly && QFileInfo(m_path).isWritable();
}

QString ProgramFolder::workingFolder() const
{
    if (writable())
        return m_path;
    const QString own =
        m_readOnly ? m_ownData
                   : QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(own);
    return QDir::toNativeSeparators(own);
}

QString ProgramFolder::startFolder() const
{
    if (writable())
        return m_path;
    if (m_readOnly)
        return m_documents;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir::toNativeSeparators(QFileInfo(documents).isDir() ? documents : QDir::homePath());
}

QString ProgramFolder::workingFilePath(const QString& name) const
{
    return QDir::toNativeSeparators(QDir(workingFolder()).filePath(name));
}

} // namespace tessary
