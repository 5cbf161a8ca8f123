#include "HiddenFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tessary {

namespace {

const QString hiddenListName = QStringLiteral(".hidden");

} // namespace

QSet<QString> HiddenFiles::listedIn(const QString& folder)
{
    QSet<QString> names;
#ifndef Q_OS_WIN
    QFile list(QDir(folder).filePath(hiddenListName));
    if (!list.open(QIODevice::ReadOnly))
        return names;
    const QList<QByteArray> lines = list.readAll().split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.insert(QString::fromUtf8(line));
    }
#else
    Q_UNUSED(folder);
#endif
    return names;
}

bool HiddenFiles::isHidden(const QString& filePath)
{
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(filePath.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
#else
    const QFileInfo info(filePath);
    return info.fileName().startsWith(QLatin1Char('.')) ||
           listedIn(info.absolutePath()).contains(info.fileName());
#endif
}

bool HiddenFiles::hide(const QString& filePath)
{
#ifdef Q_OS_WIN
    return SetFileAttributesW(reinterpret_cast<LPCWSTR>(filePath.utf16()),
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE) != 0;
#else
    const QFileInfo info(filePath);
    if (isHidden(filePath))
        return true;
    const QString listPath = QDir(info.absolutePath()).filePath(hiddenListName);
    QByteArray content;
    QFile existing(listPath);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return false;
        content = existing.readAll();
        if (!content.isEmpty() && !content.endsWith('\n'))
            content += '\n';
    }
    content += info.fileName().toUtf8() + '\n';
    // The list is replaced in one step, so that a failure leaves the old list whole.
    QSaveFile list(listPath);
    return list.open(QIODevice::WriteOnly) && list.write(content) == content.size() &&
           list.commit();
#endif
}

} // namespace tessary
