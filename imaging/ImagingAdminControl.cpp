#include "ImagingAdminControl.h"

#include "EngineCall.h"
#include "FileDialogService.h"
#include "ImagingError.h"
#include "PageEngine.h"

namespace tessary {

ImagingAdminControl::ImagingAdminControl(FileDialogService& dialogs, ProgressService* progress)
    : m_dialogs(dialogs)
    , m_progress(progress)
{}

QStringList ImagingAdminControl::nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    // A description without its patterns (an odd part at the end) is left out.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        patterns.removeAll(QString());
        if (patterns.isEmpty())
            continue;
        result.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

void ImagingAdminControl::showFileDialog(std::int16_t option, QWidget* owner)
{
    FileDialogService::Request request;
    switch (option) {
    case OpenDialog:
        request.mode = FileDialogService::Mode::Open;
        request.caption = QStringLiteral("Open");
        break;
    case SaveDialog:
        request.mode = FileDialogService::Mode::Save;
        request.caption = QStringLiteral("Save As");
        break;
    default:
        throw ImagingError(ImagingError::InvalidArgument,
                           QStringLiteral("The file dialog has no option %1.").arg(option));
    }
    request.folder = m_initialFolder;
    request.nameFilters = nameFilters(m_filter);
    const std::optional<QString> chosen = m_dialogs.choose(owner, request);
    if (!chosen)
        throw ImagingError(ImagingError::DialogCancelled,
                           QStringLiteral("The file dialog was cancelled."));
    m_fileName = *chosen;
}

void ImagingAdminControl::requireFileName() const
{
    if (m_fileName.isEmpty())
        throw ImagingError(ImagingError::NoFile,
                           QStringLiteral("No file is named for the page operation."));
}

void ImagingAdminControl::runOperation(const EngineCall::Operation& operation,
                                       const Expected& expected)
{
    requireFileName();
    OperationOptions options;
    options.expectDestination = expected.file;
    options.expectSource = expected.source;
    options.keep = expected.keep;
    options.held = m_held.get();
    try {
        EngineCall::run(operation, options, m_progress, EngineCall::writingLabel(m_fileName));
    } catch (...) {
        // The steps after a failed one are not taken: nothing is left to hold the files for.
        if (m_held)
            m_held->release();
        throw;
    }
}

void ImagingAdminControl::holdFiles(const QStringList& files)
{
    std::vector<std::filesystem::path> paths;
    for (const QString& file : files) {
        if (!file.isEmpty())
            paths.push_back(EngineCall::toPath(file));
    }
    m_held = std::make_unique<FileLocks>(std::move(paths));
}

void ImagingAdminControl::endHolding()
{
    m_held.reset();
}

void ImagingAdminControl::appendPages(const QString& source, std::int32_t first, std::int32_t count,
                                      const Expected& expected)
{
    runOperation(
        [&](const OperationOptions& options) {
            PageEngine().appendPages(EngineCall::toPath(m_fileName), EngineCall::toPath(source),
                                     first, count, options);
        },
        expected);
}

void ImagingAdminControl::insertPages(const QString& source, std::int32_t first,
                                      std::int32_t before, std::int32_t count,
                                      const Expected& expected)
{
    runOperation(
        [&](const OperationOptions& options) {
            PageEngine().insertPages(EngineCall::toPath(m_fileName), EngineCall::toPath(source),
                                     first, before, count, options);
        },
        expected);
}

void ImagingAdminControl::replacePages(const QString& source, std::int32_t first, std::int32_t at,
                                       std::int32_t count, const Expected& expected)
{
    runOperation(
        [&](const OperationOptions& options) {
            PageEngine().replacePages(EngineCall::toPath(m_fileName), EngineCall::toPath(source),
                                      first, at, count, options);
        },
        expected);
}

void ImagingAdminControl::deletePages(std::int32_t first, std::int32_t count,
                                      const Expected& expected)
{
    runOperation(
        [&](const OperationOptions& options) {
            PageEngine().deletePages(EngineCall::toPath(m_fileName), first, count, options);
        },
        expected);
}

void ImagingAdminControl::deletePages(const QList<std::int32_t>& pages, const Expected& expected)
{
    const std::vector<std::int32_t> listed(pages.begin(), pages.end());
    runOperation(
        [&](const OperationOptions& options) {
            PageEngine().deletePages(EngineCall::toPath(m_fileName), listed, options);
        },
        expected);
}

void ImagingAdminControl::arrangePages(const QList<ListedPage>& pages, const Expected& expected)
{
    std::vector<PageOf> listed;
    listed.reserve(std::size_t(pages.size()));
    for (const ListedPage& page : pages)
        listed.push_back(
            {page.file.isEmpty() ? std::filesystem::path() : EngineCall::toPath(page.file),
             page.page});
    runOperation(
        [&](const OperationOptions& options) {
            PageEngine().arrangePages(EngineCall::toPath(m_fileName), listed, options);
        },
        expected);
}

QString ImagingAdminControl::rotatePages(std::int32_t first, std::int32_t count,
                                         std::int32_t degrees, const Expected& expected)
{
    std::string note;
    runOperation(
        [&](const OperationOptions& options) {
            note = PageEngine()
                       .rotatePages(EngineCall::toPath(m_fileName), first, count, degrees, options)
                       .message;
        },
        expected);
    return QString::fromStdString(note);
}

} // namespace tessary
