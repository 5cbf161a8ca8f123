#pragma once

#include <QByteArray>
#include <QHash>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

struct chmFile;

namespace tessary {

// A window type defined in a compiled help file.
struct ChmWindowType
{
    QString name;
    QString title;
    QString contentsFile;
    QString indexFile;
    QString defaultTopic;
    QString homeTopic;
    quint32 properties = 0; // HHWIN_PROP_* flags
    QRect geometry;         // empty when the file sets none
    int navigationTab = 0;  // 0 contents, 1 index, 2 search

    static constexpr quint32 SearchTab = 0x100;
};

// A compiled HTML Help (.chm) file opened for reading through chmlib. Paths inside the file
// start with "/" and are compared without regard to case; a leading "/" may be left out.
class ChmFile
{
public:
    // The opened file, or null when it cannot be opened as a compiled help file or none of
    // its topics can be read (a damaged file).
    static std::unique_ptr<ChmFile> open(const QString& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    QString path() const { return m_path; }
    bool contains(const QString& objectPath) const;
    // The whole object, or nothing when it is not in the file or cannot be read.
    std::optional<QByteArray> read(const QString& objectPath) const;
    // Every HTML page in the file, in the file's order.
    QStringList topics() const { return m_topics; }

    QString title() const { return m_title; }
    QString defaultTopic() const { return m_defaultTopic; }
    QString contentsFile() const { return m_contentsFile; }
    QString indexFile() const { return m_indexFile; }
    QString defaultWindow() const { return m_defaultWindow; }
    bool hasFullTextIndex() const { return m_fullTextIndex; }
    std::optional<ChmWindowType> windowType(const QString& name) const;
    // The page mapped to a context number, or nothing.
    std::optional<QString> contextTopic(quint32 id) const;
    // The pages listed in the index file under any of the keywords (compared without regard
    // to case), in index order.
    QStringList keywordTopics(const QString& indexFile, const QStringList& keywords) const;
    // The pages that carry any of the associative-link names.
    QStringList associativeLinkTopics(const QStringList& names) const;

private:
    explicit ChmFile(chmFile* handle, QString path);
    void readSystem();
    void readWindows();
    QString stringAt(quint32 offset) const;
    QString resolveFileName(const QString& name) const;

    chmFile* m_handle;
    QString m_path;
    QStringList m_topics;
    QString m_title;
    QString m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
    QString m_defaultWindow;
    bool m_fullTextIndex = false;
    QByteArray m_strings;
    QList<ChmWindowType> m_windowTypes;
    mutable std::optional<QHash<QString, QStringList>> m_associativeLinks;
};

} // namespace tessary
