#include "UndoHistory.h"

#include "EngineCall.h"
#include "EngineError.h"
#include "ImagingError.h"
#include "PageEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>
#include <set>

namespace tessary {

namespace fs = std::filesystem;

namespace {

const QString indexName = QStringLiteral("history.json");
const QString lockName = QStringLiteral("history.lock");
constexpr int indexFormat = 1;

const QString cannotUndoText = QStringLiteral("%1 cannot be undone: %2");
const QString cannotRedoText = QStringLiteral("%1 cannot be redone: %2");
const QString takenOffText = QStringLiteral(" The step is taken off the history.");
const QString tooLargeText =
    QStringLiteral("It needs more room than the history may take (%1 MB on its disk).");
const QString notWrittenText = QStringLiteral("The history cannot be written in %1 (%2).");
const QString notMadeText =
    QStringLiteral("The history folder %1 cannot be made, or not made private to you.");
const QString heldText = QStringLiteral("Another Tessary window keeps the history in %1.");

QString pathText(const fs::path& path)
{
    const std::u8string utf8 = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()), qsizetype(utf8.size()));
}

// Stamps hold whole numbers beyond what a JSON number keeps exactly: they are kept as text.
QJsonObject stampJson(const FileStamp& stamp)
{
    return {{QStringLiteral("device"), QString::number(stamp.device)},
            {QStringLiteral("inode"), QString::number(stamp.inode)},
            {QStringLiteral("size"), QString::number(stamp.size)},
            {QStringLiteral("modified"), QString::number(stamp.modifiedNs)}};
}

FileStamp stampFrom(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    FileStamp stamp;
    stamp.device = object.value(QStringLiteral("device")).toString().toULongLong();
    stamp.inode = object.value(QStringLiteral("inode")).toString().toULongLong();
    stamp.size = object.value(QStringLiteral("size")).toString().toULongLong();
    stamp.modifiedNs = object.value(QStringLiteral("modified")).toString().toLongLong();
    return stamp;
}

QString hex(const std::vector<std::uint8_t>& bytes)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex());
}

std::vector<std::uint8_t> bytesFrom(const QJsonValue& value)
{
    const QByteArray bytes = QByteArray::fromHex(value.toString().toLatin1());
    return {bytes.begin(), bytes.end()};
}

const QStringList kindNames = {QStringLiteral("extended"), QStringLiteral("replaced"),
                               QStringLiteral("created")};

QJsonObject recordJson(const UndoRecord& record, const QString& pane)
{
    return {{QStringLiteral("kind"), kindNames[int(record.kind)]},
            {QStringLiteral("file"), pathText(record.file)},
            {QStringLiteral("kept"), pathText(record.kept)},
            {QStringLiteral("undone"), record.undone},
            {QStringLiteral("before"), stampJson(record.before)},
            {QStringLiteral("after"), stampJson(record.after)},
            {QStringLiteral("oldSize"), QString::number(record.oldSize)},
            {QStringLiteral("pointerAt"), QString::number(record.pointerAt)},
            {QStringLiteral("oldPointer"), hex(record.oldPointer)},
            {QStringLiteral("newPointer"), hex(record.newPointer)},
            {QStringLiteral("pane"), pane}};
}

// A record as the index holds it; nothing for one that is not whole.
std::optional<UndoRecord> recordFrom(const QJsonObject& object)
{
    UndoRecord record;
    const int kind = int(kindNames.indexOf(object.value(QStringLiteral("kind")).toString()));
    if (kind < 0 || object.value(QStringLiteral("file")).toString().isEmpty())
        return std::nullopt;
    record.kind = UndoRecord::Kind(kind);
    record.file = EngineCall::toPath(object.value(QStringLiteral("file")).toString());
    record.kept = EngineCall::toPath(object.value(QStringLiteral("kept")).toString());
    record.undone = object.value(QStringLiteral("undone")).toBool();
    record.before = stampFrom(object.value(QStringLiteral("before")));
    record.after = stampFrom(object.value(QStringLiteral("after")));
    record.oldSize = object.value(QStringLiteral("oldSize")).toString().toULongLong();
    record.pointerAt = object.value(QStringLiteral("pointerAt")).toString().toULongLong();
    record.oldPointer = bytesFrom(object.value(QStringLiteral("oldPointer")));
    record.newPointer = bytesFrom(object.value(QStringLiteral("newPointer")));
    // Only what the history made may be removed with its steps.
    if (!record.kept.empty() && !UndoRecord::isKeptName(record.kept))
        return std::nullopt;
    if (record.kind == UndoRecord::Kind::Extended &&
        (record.oldPointer.size() != record.newPointer.size() || record.oldPointer.empty() ||
         record.after.size < record.oldSize))
        return std::nullopt;
    return record;
}

} // namespace

UndoHistory::UndoHistory(const QString& folder, std::optional<std::uint64_t> byteLimit)
    : m_folder(QFileInfo(folder).absoluteFilePath())
    , m_byteLimit(byteLimit)
{
    const QString shown = QDir::toNativeSeparators(m_folder);
    // What the history keeps of the user's files is the user's alone.
    if (!QDir().mkpath(m_folder) ||
        !QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        m_problem = notMadeText.arg(shown);
        return;
    }
    auto lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(lockName));
    // Held as long as the window lives: only a lock whose holder has ended is stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        m_problem = lock->error() == QLockFile::PermissionError
                        ? notWrittenText.arg(shown, QStringLiteral("no permission"))
                        : heldText.arg(shown);
        return;
    }
    m_lock = std::move(lock);
    load();
}

UndoHistory::~UndoHistory() = default;

QString UndoHistory::userFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("history"));
}

UndoHistory::Recording::Recording(UndoHistory* history)
    : m_history(history)
{
    if (m_history)
        m_history->begin();
}

UndoHistory::Recording::~Recording()
{
    if (m_history)
        m_history->end(m_caption);
}

void UndoHistory::begin()
{
    m_recording = true;
    m_keeping = UndoKeeping();
    // A history that cannot be kept leaves its folder to the window that keeps it.
    if (m_lock)
        m_keeping.folder = EngineCall::toPath(m_folder);
    m_panes.clear();
    m_pane.clear();
}

UndoKeeping* UndoHistory::keeping(const QString& pane)
{
    if (!m_recording)
        return nullptr;
    notePanes();
    m_pane = pane;
    return &m_keeping;
}

void UndoHistory::notePanes()
{
    while (m_panes.size() < m_keeping.records.size())
        m_panes.push_back(m_pane);
}

void UndoHistory::end(const QString& caption)
{
    if (!m_recording)
        return;
    m_recording = false;
    notePanes();
    if (m_keeping.records.empty() && m_keeping.problems.empty())
        return;
    Step step{caption, {}};
    for (std::size_t i = 0; i < m_keeping.records.size(); ++i)
        step.changes.push_back({std::move(m_keeping.records[i]), m_panes[i]});
    const QString problem = !m_lock ? m_problem
                            : m_keeping.problems.empty()
                                ? QString()
                                : QString::fromStdString(m_keeping.problems.front());
    m_keeping = UndoKeeping();

    // The steps undone before can no longer be redone.
    while (m_steps.size() > m_done)
        dropStep(m_steps.size() - 1);
    m_steps.push_back(std::move(step));
    ++m_done;
    if (!problem.isEmpty())
        return cannotKeep(caption, problem);
    enforceLimits();
    if (m_done == 0)
        return cannotKeep(caption, tooLargeText.arg(QString::number(byteLimit() >> 20)));
    QString error;
    if (!save(&error))
        return cannotKeep(caption, notWrittenText.arg(QDir::toNativeSeparators(m_folder), error));
    m_cannotUndo.clear();
    m_problem.clear();
    emit changed();
}

void UndoHistory::cannotKeep(const QString& caption, const QString& problem)
{
    // Nothing before the step can be undone past it.
    while (!m_steps.empty())
        dropStep(m_steps.size() - 1);
    m_cannotUndo = caption;
    m_problem = problem;
    if (m_lock && !save())
        QFile::remove(QDir(m_folder).filePath(indexName));
    emit changed();
}

QString UndoHistory::undoText() const
{
    if (!m_cannotUndo.isEmpty())
        return QStringLiteral("Cannot Undo %1").arg(m_cannotUndo);
    return canUndo() ? QStringLiteral("Undo %1").arg(m_steps[m_done - 1].caption)
                     : QStringLiteral("Undo");
}

QString UndoHistory::redoText() const
{
    return canRedo() ? QStringLiteral("Redo %1").arg(m_steps[m_done].caption)
                     : QStringLiteral("Redo");
}

bool UndoHistory::canUndo() const
{
    return m_done > 0;
}

bool UndoHistory::canRedo() const
{
    return m_done < m_steps.size();
}

QList<UndoHistory::File> UndoHistory::undo(ProgressService* progress)
{
    return takeStep(true, progress);
}

QList<UndoHistory::File> UndoHistory::redo(ProgressService* progress)
{
    return takeStep(false, progress);
}

QList<UndoHistory::File> UndoHistory::takeStep(bool undo, ProgressService* progress)
{
    if (undo ? !canUndo() : !canRedo())
        return {};
    // The step the item names drops out when its files are gone; no other is taken instead.
    const auto& named = m_steps[undo ? m_done - 1 : m_done].changes;
    const bool whole = std::all_of(named.begin(), named.end(),
                                   [](const Change& change) { return change.record.intact(); });
    dropGone();
    if (!whole)
        return {};
    const std::size_t index = undo ? m_done - 1 : m_done;
    Step& step = m_steps[index];
    const QString caption = step.caption;
    try {
        EngineCall::run(
            [&](const OperationOptions& options) { runStep(step, undo, options.lockWait); }, {},
            progress,
            (undo ? QStringLiteral("Undoing %1...") : QStringLiteral("Redoing %1..."))
                .arg(caption));
    } catch (const ImagingError& error) {
        QString text = (undo ? cannotUndoText : cannotRedoText).arg(caption, error.message);
        // A file changed since never comes back as the step expects it.
        if (error.engineKind() == ErrorKind::Changed) {
            dropStep(index);
            text += takenOffText;
        }
        save();
        emit changed();
        throw ImagingError(error.number, text);
    }
    QList<File> files;
    for (const Change& change : step.changes) {
        const QString path = pathText(change.record.file);
        if (std::none_of(files.begin(), files.end(), [&](const File& f) { return f.path == path; }))
            files.append({path, change.pane, QFileInfo::exists(path)});
    }
    undo ? --m_done : ++m_done;
    enforceLimits();
    save();
    emit changed();
    return files;
}

void UndoHistory::runStep(Step& step, bool undo, const LockWait& wait)
{
    FileLayer& files = FileLayer::system();
    std::vector<fs::path> paths;
    for (const Change& change : step.changes)
        paths.push_back(change.record.file);
    // Every file of the step is locked at once, in one order, until the step is done.
    FileLocks locks(paths);
    const fs::path folder = m_lock ? EngineCall::toPath(m_folder) : fs::path();
    const std::size_t count = step.changes.size();
    std::vector<UndoRecord*> done;
    try {
        for (std::size_t k = 0; k < count; ++k) {
            UndoRecord& record = step.changes[undo ? count - 1 - k : k].record;
            const bool was = record.undone;
            try {
                undo ? record.undo(files, locks, wait, folder) : record.redo(files, locks, wait);
            } catch (...) {
                passOn(record);
                if (record.undone != was)
                    done.push_back(&record);
                throw;
            }
            passOn(record);
            done.push_back(&record);
        }
    } catch (...) {
        // What was taken back is made again (or the other way round): a step is undone
        // wholly or not at all.
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            try {
                undo ? (*it)->redo(files, locks, wait) : (*it)->undo(files, locks, wait, folder);
            } catch (...) {
            }
            passOn(**it);
        }
        throw;
    }
}

void UndoHistory::passOn(const UndoRecord& record)
{
    // The file is now as record.before (undone) or record.after says: the record next to
    // it on the same file, earlier or later, expects it so.
    std::vector<UndoRecord*> line;
    for (Step& step : m_steps)
        for (Change& change : step.changes)
            line.push_back(&change.record);
    const std::size_t at = std::size_t(std::find(line.begin(), line.end(), &record) - line.begin());
    if (record.undone && record.kind != UndoRecord::Kind::Created) {
        for (std::size_t i = at; i-- > 0;) {
            if (line[i]->file == record.file) {
                line[i]->after = record.before;
                return;
            }
        }
    } else if (!record.undone) {
        for (std::size_t i = at + 1; i < line.size(); ++i) {
            if (line[i]->file == record.file) {
                if (line[i]->kind != UndoRecord::Kind::Created)
                    line[i]->before = record.after;
                return;
            }
        }
    }
}

void UndoHistory::dropStep(std::size_t index)
{
    for (const Change& change : m_steps[index].changes)
        change.record.discard(FileLayer::system());
    m_steps.erase(m_steps.begin() + std::ptrdiff_t(index));
    if (index < m_done)
        --m_done;
}

void UndoHistory::dropGone()
{
    bool dropped = false;
    for (std::size_t i = m_steps.size(); i-- > 0;) {
        const auto& changes = m_steps[i].changes;
        if (std::all_of(changes.begin(), changes.end(),
                        [](const Change& change) { return change.record.intact(); }))
            continue;
        dropStep(i);
        dropped = true;
    }
    if (dropped) {
        save();
        emit changed();
    }
}

std::uint64_t UndoHistory::byteLimit() const
{
    if (m_byteLimit)
        return *m_byteLimit;
    const QStorageInfo disk(m_folder);
    const qint64 free = disk.isValid() ? disk.bytesAvailable() : 0;
    return std::min(maxBytes, std::uint64_t(std::max<qint64>(free, 0)) / 10);
}

void UndoHistory::enforceLimits()
{
    while (m_done > std::size_t(maxSteps))
        dropStep(0);
    const auto bytesOf = [](const Step& step) {
        std::uint64_t bytes = 0;
        for (const Change& change : step.changes)
            bytes += change.record.keptBytes();
        return bytes;
    };
    std::uint64_t total = 0;
    for (const Step& step : m_steps)
        total += bytesOf(step);
    const std::uint64_t limit = byteLimit();
    while (!m_steps.empty() && total > limit) {
        total -= bytesOf(m_steps.front());
        dropStep(0);
    }
}

void UndoHistory::load()
{
    QFile index(QDir(m_folder).filePath(indexName));
    if (index.open(QIODevice::ReadOnly)) {
        const QJsonObject root = QJsonDocument::fromJson(index.readAll()).object();
        if (root.value(QStringLiteral("format")).toInt() == indexFormat) {
            for (const QJsonValue& stepValue : root.value(QStringLiteral("steps")).toArray()) {
                const QJsonObject object = stepValue.toObject();
                Step step{object.value(QStringLiteral("caption")).toString(), {}};
                bool whole = true;
                for (const QJsonValue& change : object.value(QStringLiteral("changes")).toArray()) {
                    const std::optional<UndoRecord> record = recordFrom(change.toObject());
                    whole = whole && record;
                    if (record)
                        step.changes.push_back(
                            {*record, change.toObject().value(QStringLiteral("pane")).toString()});
                }
                if (whole && !step.changes.empty())
                    m_steps.push_back(std::move(step));
                else
                    for (const Change& change : step.changes)
                        change.record.discard(FileLayer::system());
            }
        }
    }
    // The steps done come first; the rest were undone.
    m_done = 0;
    while (m_done < m_steps.size() && !m_steps[m_done].changes.front().record.undone)
        ++m_done;

    // Kept files no step names (a step the program ended in) and scratch files are removed.
    std::set<QString> named;
    for (const Step& step : m_steps)
        for (const Change& change : step.changes)
            named.insert(pathText(change.record.kept.filename()));
    const QDir folder(m_folder);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (UndoRecord::isKeptName(EngineCall::toPath(name)) && !named.count(name))
            QFile::remove(folder.filePath(name));
    }
    PageEngine::removeStaleTemporaries(EngineCall::toPath(m_folder));
    dropGone();
}

bool UndoHistory::save(QString* error)
{
    if (!m_lock)
        return false;
    QJsonArray steps;
    for (const Step& step : m_steps) {
        QJsonArray changes;
        for (const Change& change : step.changes)
            changes.append(recordJson(change.record, change.pane));
        steps.append(QJsonObject{{QStringLiteral("caption"), step.caption},
                                 {QStringLiteral("changes"), changes}});
    }
    const QJsonObject root{{QStringLiteral("format"), indexFormat},
                           {QStringLiteral("steps"), steps}};
    QSaveFile index(QDir(m_folder).filePath(indexName));
    if (index.open(QIODevice::WriteOnly) &&
        index.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) >= 0 && index.commit())
        return true;
    if (error)
        *error = index.errorString();
    return false;
}

} // namespace tessary
