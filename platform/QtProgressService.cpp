#include "QtProgressService.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>

namespace tessary {

namespace {

constexpr int dialogSteps = 1000;
constexpr int updateInterval = 100; // ms

} // namespace

QtProgressService::QtProgressService(std::chrono::milliseconds showAfter)
    : m_showAfter(showAfter)
{}

void QtProgressService::run(const QString& label, const Work& work)
{
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::exception_ptr failure;

    QMutex noteLock;
    QString note; // why the work waits, or ""
    const Report report{[&](std::uint64_t doneNow, std::uint64_t totalNow) {
                            done.store(doneNow, std::memory_order_relaxed);
                            total.store(totalNow, std::memory_order_relaxed);
                            return !stop.load();
                        },
                        [&](const QString& text) {
                            const QMutexLocker locked(&noteLock);
                            note = text;
                            return !stop.load();
                        }};
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(report);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    worker->start();

    if (!worker->wait(QDeadlineTimer(m_showAfter))) {
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        QProgressDialog dialog(label, QStringLiteral("Cancel"), 0, dialogSteps, owner);
        {
            const QMutexLocker locked(&noteLock);
            if (!note.isEmpty())
                dialog.setLabelText(note);
        }
        dialog.setWindowTitle(QStringLiteral("Tessary"));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setMinimumDuration(0);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        dialog.setValue(0);

        QTimer update;
        QObject::connect(&update, &QTimer::timeout, &dialog, [&] {
            const std::uint64_t all = total.load(std::memory_order_relaxed);
            const std::uint64_t part = done.load(std::memory_order_relaxed);
            if (stop.load())
                return;
            if (all > 0)
                dialog.setValue(int(std::min<std::uint64_t>(part, all) * dialogSteps / all));
            const QMutexLocker locked(&noteLock);
            const QString& text = note.isEmpty() ? label : note;
            if (dialog.labelText() != text)
                dialog.setLabelText(text);
        });
        // The dialog's own Cancel would hide it at once; it stays until the work has
        // stopped, so that nothing else can start meanwhile.
        QObject::disconnect(&dialog, &QProgressDialog::canceled, &dialog, &QProgressDialog::cancel);
        QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
            stop.store(true);
            dialog.setLabelText(stoppingText);
        });
        QObject::connect(worker.get(), &QThread::finished, &dialog, &QDialog::accept,
                         Qt::QueuedConnection);
        update.start(updateInterval);
        // The work may have ended while the dialog was being made.
        if (!worker->isFinished())
            dialog.exec();
        update.stop();
        // Closed before the work ended (the close box, Escape): the work stops as after
        // Cancel, and the caller goes on only when it has.
        if (!worker->isFinished())
            stop.store(true);
        worker->wait();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace tessary
