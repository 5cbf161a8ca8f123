#pragma once

#include "EngineCall.h"
#include "ImagingAdmin.h"

#include <QStringList>
#include <memory>

namespace tessary {

class FileDialogService;
class ProgressService;

// The administration control on the page engine, its dialogs through a file-dialog
// service. Page operations run through the progress service when one is given, else on the
// calling thread.
class ImagingAdminControl : public ImagingAdmin
{
public:
    explicit ImagingAdminControl(FileDialogService& dialogs, ProgressService* progress = nullptr);

    QString fileName() const override { return m_fileName; }
    void setFileName(const QString& fileName) override { m_fileName = fileName; }
    QString filter() const override { return m_filter; }
    void setFilter(const QString& filter) override { m_filter = filter; }
    std::int32_t flags() const override { return m_flags; }
    void setFlags(std::int32_t flags) override { m_flags = flags; }
    QString initialFolder() const override { return m_initialFolder; }
    void setInitialFolder(const QString& folder) override { m_initialFolder = folder; }

    void showFileDialog(std::int16_t option, QWidget* owner) override;

    void appendPages(const QString& source, std::int32_t first, std::int32_t count,
                     const Expected& expected = {}) override;
    void insertPages(const QString& source, std::int32_t first, std::int32_t before,
                     std::int32_t count, const Expected& expected = {}) override;
    void replacePages(const QString& source, std::int32_t first, std::int32_t at,
                      std::int32_t count, const Expected& expected = {}) override;
    void deletePages(std::int32_t first, std::int32_t count,
                     const Expected& expected = {}) override;
    void deletePages(const QList<std::int32_t>& pages, const Expected& expected = {}) override;
    void arrangePages(const QList<ListedPage>& pages, const Expected& expected = {}) override;
    QString rotatePages(std::int32_t first, std::int32_t count, std::int32_t degrees,
                        const Expected& expected = {}) override;
    void holdFiles(const QStringList& files) override;
    void endHolding() override;

    // A filter of description|patterns| pairs as Qt name filters:
    // "TIFF Image|*.tif|" gives "TIFF Image (*.tif)".
    static QStringList nameFilters(const QString& filter);

private:
    void requireFileName() const;
    void runOperation(const EngineCall::Operation& operation, const Expected& expected);

    FileDialogService& m_dialogs;
    ProgressService* m_progress;
    QString m_fileName;
    QString m_filter;
    std::int32_t m_flags = 0;
    QString m_initialFolder;
    std::unique_ptr<FileLocks> m_held;
};

} // namespace tessary
