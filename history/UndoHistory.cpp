#include "UndoHistory.h"

#include "EngineCall.h"
#include "EngineError.h"
#include "ImagingError.h"
#include "PageEngine.h"
#include "WholeFile.h"

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
#include <fstream>
#include <set>
#include <sstream>

namespace tessary {

namespace fs = std::filesystem;

namespace {

const QString indexName = QStringLiteral("history.json");
const QString placesName = QStringLiteral("places.json");
const QString lockName = QStringLiteral("history.lock");
constexpr int indexFormat = 2;

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

// Paths are kept byte for byte: a name may hold any byte but the separator and NUL, in no
// particular encoding.
QString pathField(const fs::path& path)
{
#ifdef _WIN32
    const std::u8string native = path.u8string();
#else
    const std::string& native = path.native();
#endif
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(native.data()), qsizetype(native.size()))
            .toBase64());
}

fs::path pathFrom(const QJsonValue& value)
{
    const QByteArray bytes = QByteArray::fromBase64(value.toString().toLatin1());
#ifdef _WIN32
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(bytes.data()), bytes.size()));
#else
    return fs::path(bytes.toStdString());
#endif
}

// Whole numbers beyond what a JSON number keeps exactly are kept as text.
QString number(std::uint64_t value)
{
    return QString::number(value);
}

std::uint64_t numberFrom(const QJsonValue& value)
{
    return value.toString().toULongLong();
}

QJsonObject stampJson(const FileStamp& stamp)
{
    return {{QStringLiteral("volume"), number(stamp.volume)},
            {QStringLiteral("inode"), number(stamp.inode)},
            {QStringLiteral("size"), number(stamp.size)},
            {QStringLiteral("modified"), QString::number(stamp.modifiedNs)},
            {QStringLiteral("changed"), QString::number(stamp.changedNs)}};
}

FileStamp stampFrom(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    FileStamp stamp;
    stamp.volume = numberFrom(object.value(QStringLiteral("volume")));
    stamp.inode = numberFrom(object.value(QStringLiteral("inode")));
    stamp.size = numberFrom(object.value(QStringLiteral("size")));
    stamp.modifiedNs = object.value(QStringLiteral("modified")).toString().toLongLong();
    stamp.changedNs = object.value(QStringLiteral("changed")).toString().toLongLong();
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

// A record as the index holds it; nothing for one that is not whole.
std::optional<UndoRecord> recordFrom(const QJsonObject& object)
{
    UndoRecord record;
    const int kind = int(kindNames.indexOf(object.value(QStringLiteral("kind")).toString()));
    record.file = pathFrom(object.value(QStringLiteral("file")));
    if (kind < 0 || record.file.empty())
        return std::nullopt;
    record.kind = UndoRecord::Kind(kind);
    record.kept = pathFrom(object.value(QStringLiteral("kept")));
    record.undone = object.value(QStringLiteral("undone")).toBool();
    record.before = stampFrom(object.value(QStringLiteral("before")));
    record.after = stampFrom(object.value(QStringLiteral("after")));
    record.found = stampFrom(object.value(QStringLiteral("found")));
    record.oldSize = numberFrom(object.value(QStringLiteral("oldSize")));
    record.pointerAt = numberFrom(object.value(QStringLiteral("pointerAt")));
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

// The folders at which disks are mounted now. On Linux only disks on a device are asked
// for (a network disk that is away could hold the program up).
std::vector<fs::path> mountPoints()
{
    std::vector<fs::path> points;
#ifdef Q_OS_LINUX
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    // The table writes a blank, a tab, a line break and a backslash as \ and three octal digits.
    const auto unescaped = [](const std::string& field) {
        std::string out;
        for (std::size_t i = 0; i < field.size(); ++i) {
            if (field[i] == '\\' && i + 3 < field.size()) {
                out += char(std::stoi(field.substr(i + 1, 3), nullptr, 8));
                i += 3;
            } else {
                out += field[i];
            }
        }
        return out;
    };
    while (std::getline(table, line)) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        std::istringstream fields(line);
        std::string id, parent, device, root, point, word;
        fields >> id >> parent >> device >> root >> point;
        while (fields >> word && word != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        if (source.rfind("/dev/", 0) == 0)
            points.emplace_back(unescaped(point));
    }
#else
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        points.push_back(EngineCall::toPath(volume.rootPath()));
#endif
    return points;
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
    m_places.folder = EngineCall::toPath(m_folder);
    // The history's files are named after its folder, which no other history shares.
    const FileStamp self = FileStamp::of(m_places.folder).value_or(FileStamp());
    m_places.owner = QString::number(self.volume ^ (self.inode * 0x9e3779b97f4a7c15u), 16)
                         .rightJustified(16, QLatin1Char('0'))
                         .toStdString();
    m_places.placing = [this](const fs::path& folder) {
        return place(folder);
    };
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
    // A history that cannot be kept keeps nothing anywhere: it could never clear it.
    if (m_lock)
        m_keeping.places = m_places;
    else
        m_keeping.places.placing = [](const fs::path&) {
            return false;
        };
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
    // The steps undone before can no longer be redone.
    while (m_steps.size() > m_done)
        dropStep(m_steps.size() - 1);
    m_steps.push_back({caption, {}});
    Step& step = m_steps.back();
    for (std::size_t i = 0; i < m_keeping.records.size(); ++i) {
        step.changes.push_back({std::move(m_keeping.records[i]), m_panes[i], m_nextId++, 0});
        join(step.changes.back());
    }
    const QString problem = !m_lock ? m_problem
                            : m_keeping.problems.empty()
                                ? QString()
                                : QString::fromStdString(m_keeping.problems.front());
    m_keeping = UndoKeeping();
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
    if (m_sweepPending)
        sweep();
    emit changed();
}

void UndoHistory::join(Change& change) const
{
    // The change before it on the same file, newest first; the step it belongs to is the
    // last one, whose earlier changes come before it.
    const UndoRecord& record = change.record;
    for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
        for (auto earlier = step->changes.rbegin(); earlier != step->changes.rend(); ++earlier) {
            if (&*earlier == &change || earlier->record.file != record.file)
                continue;
            // Joined only where it began exactly where that one ended.
            if (record.kind != UndoRecord::Kind::Created && !earlier->record.undone &&
                earlier->record.after == record.found)
                change.joinedTo = earlier->id;
            return;
        }
    }
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
    // The step just taken stays, whatever the limits: its redo (or undo) is what the user
    // has in hand, and an undone new file lives on only in it.
    enforceLimits(index);
    save();
    if (m_sweepPending)
        sweep();
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
    const std::size_t count = step.changes.size();
    std::vector<Change*> done;
    try {
        for (std::size_t k = 0; k < count; ++k) {
            Change& change = step.changes[undo ? count - 1 - k : k];
            UndoRecord& record = change.record;
            const bool was = record.undone;
            try {
                undo ? record.undo(files, locks, wait, m_places) : record.redo(files, locks, wait);
            } catch (...) {
                if (record.undone != was) {
                    passOn(change);
                    done.push_back(&change);
                }
                throw;
            }
            passOn(change);
            done.push_back(&change);
        }
    } catch (...) {
        // What was taken back is made again (or the other way round): a step is undone
        // wholly or not at all.
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            try {
                UndoRecord& record = (*it)->record;
                undo ? record.redo(files, locks, wait) : record.undo(files, locks, wait, m_places);
            } catch (...) {
            }
            passOn(**it);
        }
        throw;
    }
}

void UndoHistory::passOn(const Change& change)
{
    // Taken back, the change leaves its file as the change it was joined to left it; made
    // again, the file is where the change joined to it began. Nothing else is told: a change
    // that found the file otherwise must find it so again.
    const UndoRecord& record = change.record;
    for (Step& step : m_steps) {
        for (Change& other : step.changes) {
            if (record.undone && change.joinedTo != 0 && other.id == change.joinedTo)
                other.record.after = record.before;
            else if (!record.undone && other.joinedTo == change.id)
                other.record.before = record.after;
        }
    }
}

void UndoHistory::dropStep(std::size_t index)
{
    for (const Change& change : m_steps[index].changes) {
        change.record.discard(FileLayer::system());
        // A place outside the folder is cleared of what no step needs, now or once it can be
        // reached again.
        const fs::path& kept = change.record.kept;
        if (!kept.empty() && kept.parent_path() != m_places.folder)
            m_sweepPending = true;
    }
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
    if (m_sweepPending)
        sweep();
}

std::uint64_t UndoHistory::byteLimit() const
{
    if (m_byteLimit)
        return *m_byteLimit;
    const QStorageInfo disk(m_folder);
    const qint64 free = disk.isValid() ? disk.bytesAvailable() : 0;
    return std::min(maxBytes, std::uint64_t(std::max<qint64>(free, 0)) / 10);
}

void UndoHistory::enforceLimits(std::optional<std::size_t> keep)
{
    const auto drop = [&](std::size_t index) {
        dropStep(index);
        if (keep && *keep > index)
            --*keep;
    };
    while (m_done > std::size_t(maxSteps) && keep != std::size_t(0))
        drop(0);
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
    // The oldest steps done go first, then the steps to redo from the farthest.
    while (total > limit && !m_steps.empty() && m_done > 0 && keep != std::size_t(0)) {
        total -= bytesOf(m_steps.front());
        drop(0);
    }
    while (total > limit && m_steps.size() > m_done && (!keep || *keep != m_steps.size() - 1)) {
        total -= bytesOf(m_steps.back());
        drop(m_steps.size() - 1);
    }
}

bool UndoHistory::place(const fs::path& folder)
{
    if (!m_lock)
        return false;
    if (std::any_of(m_placed.begin(), m_placed.end(),
                    [&](const Place& placed) { return placed.path == folder; }))
        return true;
    const auto stamp = FileStamp::of(folder);
    if (!stamp)
        return false;
    const fs::path top = fileSystemTop(folder);
    m_placed.push_back(
        {folder, stamp->volume, top.empty() ? fs::path() : folder.lexically_relative(top)});
    if (savePlaces())
        return true;
    m_placed.pop_back();
    return false;
}

std::optional<fs::path> UndoHistory::locate(const Place& place) const
{
    if (const auto now = FileStamp::of(place.path); now && now->volume == place.volume)
        return place.path;
    if (place.within.empty())
        return std::nullopt;
    // The disk may be back under another mount point.
    bool mounted = false;
    for (const fs::path& point : mountPoints()) {
        const auto top = FileStamp::of(point);
        if (!top || top->volume != place.volume)
            continue;
        mounted = true;
        const fs::path there = (point / place.within).lexically_normal();
        if (const auto now = FileStamp::of(there); now && now->volume == place.volume)
            return there;
    }
    // A disk that is here without the place: the place is gone, and what it held with it.
    return mounted ? std::optional<fs::path>(fs::path()) : std::nullopt;
}

void UndoHistory::sweep()
{
    m_sweepPending = false;
    // What a step (or the step being recorded) still keeps, by name: kept names are never
    // given twice, wherever the disk is mounted now.
    std::set<fs::path> live;
    for (const Step& step : m_steps)
        for (const Change& change : step.changes)
            live.insert(change.record.kept.filename());
    for (const UndoRecord& record : m_keeping.records)
        live.insert(record.kept.filename());
    bool changed = false;
    for (auto placed = m_placed.begin(); placed != m_placed.end();) {
        const std::optional<fs::path> at = locate(*placed);
        if (!at) {
            m_sweepPending = true;
            ++placed;
            continue;
        }
        bool holds = false;
        std::error_code ec;
        if (!at->empty()) {
            for (fs::directory_iterator entry(*at, ec), end; !ec && entry != end;
                 entry.increment(ec)) {
                const fs::path name = entry->path().filename();
                if (!UndoRecord::isKeptName(name, m_places.owner))
                    continue;
                if (!live.count(name))
                    FileLayer::system().remove(entry->path());
                holds = holds || fs::exists(fs::symlink_status(entry->path(), ec));
            }
            if (!holds && at->filename() == UndoRecord::topFolderName())
                fs::remove(*at, ec);
        }
        if (holds) {
            ++placed;
            continue;
        }
        placed = m_placed.erase(placed);
        changed = true;
    }
    if (changed)
        savePlaces();
}

void UndoHistory::load()
{
    QFile places(QDir(m_folder).filePath(placesName));
    if (places.open(QIODevice::ReadOnly)) {
        for (const QJsonValue& value : QJsonDocument::fromJson(places.readAll())
                                           .object()
                                           .value(QStringLiteral("places"))
                                           .toArray()) {
            const QJsonObject object = value.toObject();
            const Place place{pathFrom(object.value(QStringLiteral("path"))),
                              numberFrom(object.value(QStringLiteral("volume"))),
                              pathFrom(object.value(QStringLiteral("within")))};
            if (!place.path.empty())
                m_placed.push_back(place);
        }
    }
    QFile index(QDir(m_folder).filePath(indexName));
    if (index.open(QIODevice::ReadOnly)) {
        const QJsonObject root = QJsonDocument::fromJson(index.readAll()).object();
        const int format = root.value(QStringLiteral("format")).toInt();
        for (const QJsonValue& stepValue : root.value(QStringLiteral("steps")).toArray()) {
            const QJsonObject object = stepValue.toObject();
            if (format == 1) {
                // An earlier version's step told too little of its files to be taken back
                // safely; what it kept goes.
                for (const QJsonValue& value : object.value(QStringLiteral("changes")).toArray()) {
                    const fs::path kept = EngineCall::toPath(
                        value.toObject().value(QStringLiteral("kept")).toString());
                    if (UndoRecord::isKeptName(kept))
                        FileLayer::system().remove(kept);
                }
                continue;
            }
            Step step{object.value(QStringLiteral("caption")).toString(), {}};
            bool whole = format == indexFormat;
            for (const QJsonValue& value : object.value(QStringLiteral("changes")).toArray()) {
                const QJsonObject change = value.toObject();
                const std::optional<UndoRecord> record = recordFrom(change);
                whole = whole && record;
                if (record) {
                    step.changes.push_back({*record,
                                            change.value(QStringLiteral("pane")).toString(),
                                            numberFrom(change.value(QStringLiteral("id"))),
                                            numberFrom(change.value(QStringLiteral("joinedTo")))});
                    m_nextId = std::max(m_nextId, step.changes.back().id + 1);
                }
            }
            if (whole && !step.changes.empty()) {
                m_steps.push_back(std::move(step));
                continue;
            }
            // A step the history cannot take leaves nothing behind.
            for (const Change& change : step.changes)
                change.record.discard(FileLayer::system());
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
    // A place a step names is known as a place, whatever became of the list of places.
    for (const Step& step : m_steps)
        for (const Change& change : step.changes)
            if (!change.record.kept.empty() && change.record.kept.parent_path() != m_places.folder)
                place(change.record.kept.parent_path());
    m_sweepPending = true;
    dropGone();
}

bool UndoHistory::save(QString* error)
{
    if (!m_lock)
        return false;
    QJsonArray steps;
    for (const Step& step : m_steps) {
        QJsonArray changes;
        for (const Change& change : step.changes) {
            const UndoRecord& record = change.record;
            changes.append(QJsonObject{{QStringLiteral("kind"), kindNames[int(record.kind)]},
                                       {QStringLiteral("file"), pathField(record.file)},
                                       {QStringLiteral("kept"), pathField(record.kept)},
                                       {QStringLiteral("undone"), record.undone},
                                       {QStringLiteral("before"), stampJson(record.before)},
                                       {QStringLiteral("after"), stampJson(record.after)},
                                       {QStringLiteral("found"), stampJson(record.found)},
                                       {QStringLiteral("oldSize"), number(record.oldSize)},
                                       {QStringLiteral("pointerAt"), number(record.pointerAt)},
                                       {QStringLiteral("oldPointer"), hex(record.oldPointer)},
                                       {QStringLiteral("newPointer"), hex(record.newPointer)},
                                       {QStringLiteral("pane"), change.pane},
                                       {QStringLiteral("id"), number(change.id)},
                                       {QStringLiteral("joinedTo"), number(change.joinedTo)}});
        }
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

bool UndoHistory::savePlaces()
{
    QJsonArray places;
    for (const Place& place : m_placed)
        places.append(QJsonObject{{QStringLiteral("path"), pathField(place.path)},
                                  {QStringLiteral("volume"), number(place.volume)},
                                  {QStringLiteral("within"), pathField(place.within)}});
    // Durable before anything is kept in a new place: a place the history forgot could
    // never be cleared.
    try {
        writeWholeFile(EngineCall::toPath(QDir(m_folder).filePath(placesName)),
                       QJsonDocument(QJsonObject{{QStringLiteral("places"), places}})
                           .toJson(QJsonDocument::Compact)
                           .toStdString());
        return true;
    } catch (const EngineError&) {
        return false;
    }
}

} // namespace tessary
