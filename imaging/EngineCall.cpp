#include "EngineCall.h"

#include "EngineError.h"
#include "ImagingError.h"
#include "ProgressService.h"

#include <QFileInfo>
#include <new>

namespace tessary {

namespace {

QString waitingText(const std::filesystem::path& file)
{
    return QStringLiteral("%1 is being changed by another program; waiting for it to finish...")
        .arg(QString::fromStdString(file.filename().string()));
}

} // namespace

void EngineCall::run(const Operation& operation, const OperationOptions& options,
                     ProgressService* progress, const QString& label)
{
    try {
        if (!progress) {
            operation(options);
            return;
        }
        progress->run(label, [&](const ProgressService::Report& report) {
            OperationOptions reported = options;
            reported.progress = [&report, caller = options.progress](std::uint64_t done,
                                                                     std::uint64_t total) {
                const bool goOn = report(done, total);
                return (!caller || caller(done, total)) && goOn;
            };
            reported.lockWait.waiting =
                [&report, caller = options.lockWait.waiting](const std::filesystem::path& file) {
                    const bool goOn = report.waiting(file.empty() ? QString() : waitingText(file));
                    return (!caller || caller(file)) && goOn;
                };
            operation(reported);
        });
    } catch (const EngineError& error) {
        throw ImagingError::fromEngine(error.kind(), error.what());
    } catch (const std::bad_alloc&) {
        throw ImagingError::fromEngine(ErrorKind::TooLarge,
                                       "There is not enough memory for this operation.");
    }
}

QString EngineCall::writingLabel(const QString& fileName)
{
    return QStringLiteral("Writing %1...").arg(QFileInfo(fileName).fileName());
}

std::filesystem::path EngineCall::toPath(const QString& fileName)
{
    const QByteArray utf8 = fileName.toUtf8();
    return std::filesystem::path(reinterpret_cast<const char8_t*>(utf8.constData()));
}

} // namespace tessary
