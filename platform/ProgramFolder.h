#pragma once

#include <QString>

namespace tessary {

// The folder that holds the running program and its working files (blank.tif, temp.tif,
// the help file and about.txt). Tests point it at a temporary folder.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QString& path);

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

private:
    QString m_path;
};

} // namespace tessary
