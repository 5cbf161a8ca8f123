#pragma once

#include <QString>

namespace tessary {

// The folder that holds the running program and its working files (blank.tif, temp.tif,
// the help file and about.txt). Tests point it at a temporary folder.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QString& path);
    // A program folder taken as one that cannot be written, as an installed copy's, with
    // the user's documents folder and the user's own data folder for the program given.
    ProgramFolder(const QString& path, const QString& documents, const QString& ownData);

    // The folder of the running executable.
    static ProgramFolder ofExecutable();

    // The folder, with native separators and no separator at the end.
    QString path() const { return m_path; }
    // path(), a separator and name.
    QString filePath(const QString& name) const;

    // Where scratch files such as temp.tif go: the program folder when it may be written,
    // otherwise (an installed copy) the user's own data folder for the program.
    QString workingFolder() const;
    QString workingFilePath(const QString& name) const;

    // Where the file and folder dialogs start when no folder of the user's is stored: the
    // program folder when it may be written (a portable copy), otherwise the user's
    // documents folder, so that no name is first offered where it cannot be saved.
    QString startFolder() const;

private:
    bool writable() const;

    QString m_path;
    // Given with a folder taken as read-only; otherwise the platform's.
    bool m_readOnly = false;
    QString m_documents;
    QString m_ownData;
};

} // namespace tessary
