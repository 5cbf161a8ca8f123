#pragma once

#include "UndoRecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

namespace tessary {

class ProgressService;

// The undo history of the page operations, kept in a folder of the user's own data so that
// a step can still be undone and redone after the program was closed and started again.
// A step is one page operation with every file it changed (a Move: both files) and a
// caption that names it; it keeps no copy of a file (UndoRecord).
//
// A step is taken back only when every file it touches is exactly as that step left it, by
// what the step itself recorded. Where a step began on a file exactly where the step before
// it on that file ended, the two are joined: taking back the later one leaves the file as
// the earlier one left it, so that the earlier one can be taken back next. Where anything
// else came between (another program, a file saved under the same name), the earlier step
// is refused, and nothing changes.
//
// At most maxSteps steps are kept, and what they keep on disk never passes the byte limit
// (by default the smaller of 2 GiB and a tenth of the free space on the folder's disk): the
// oldest steps go first, never the step just undone or redone. A step whose files are gone
// is dropped quietly. A new step clears the steps that could be redone. A step that cannot
// be kept (the folder cannot be written or another window of the program keeps it, the step
// alone passes the limit, a replaced file could not be kept) is made all the same: it clears
// the history, and the Undo caption says that it cannot be undone.
//
// Nothing of a step outlives it: the history notes every place outside its folder where it
// keeps files (the hidden folder at the top of another disk, or a file's own folder) before
// it keeps one there, and clears what no step needs whenever it can reach that place again:
// at once when a step leaves, or, for a disk that is away, once it is back (at the start,
// when a step is made, when the Edit menu is opened).
class UndoHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxSteps = 20;
    static constexpr std::uint64_t maxBytes = std::uint64_t(2) << 30;

    // The history kept in folder, made when missing; byteLimit replaces the default limit.
    explicit UndoHistory(const QString& folder, std::optional<std::uint64_t> byteLimit = {});
    ~UndoHistory() override;

    // The user's own history folder: "history" in the program's data folder.
    static QString userFolder();

    // Records one step while it lives: the changes the page operations keep in keeping()
    // meanwhile make up the step, called caption, which is kept when the recording ends
    // (when it changed anything).
    class Recording
    {
    public:
        explicit Recording(UndoHistory* history);
        ~Recording();
        Recording(const Recording&) = delete;
        Recording& operator=(const Recording&) = delete;
        void setCaption(const QString& caption) { m_caption = caption; }

    private:
        UndoHistory* m_history;
        QString m_caption;
    };

    // What the next page operation keeps its changes in (OperationOptions::keep, through
    // the Imaging components), for the file shown in pane ("Src" or "Des"); null when no
    // step is being recorded.
    UndoKeeping* keeping(const QString& pane);

    // The Edit menu's items: "Undo Delete Page 3 of scan.tif", "Cannot Undo ..." after a
    // step that could not be kept, "Undo" when there is nothing to undo; the same for Redo.
    QString undoText() const;
    QString redoText() const;
    bool canUndo() const;
    bool canRedo() const;
    // Why the last step could not be kept; "" when it was.
    QString problem() const { return m_problem; }

    // A file a step changed, to be shown again: the file (links followed), the pane it was
    // shown in, and whether it exists now (an undone new file does not).
    struct File
    {
        QString path;
        QString pane;
        bool exists = false;
    };

    // Undoes the newest step, or redoes the step undone last: every file is put back as it
    // was before the step, or as the step left it, exactly; a new file is taken away and put
    // back. All of it or nothing: a failure leaves every file as it was. Runs through
    // progress (the work may wait, visibly, for another program changing a file). Returns
    // the files changed; nothing when there is no such step. Throws ImagingError with a
    // sentence naming the step and the reason: a file changed since (the step is then
    // dropped: it can no longer be undone), a file that may not be written now (the step
    // stays), a failed write, a wait given up.
    QList<File> undo(ProgressService* progress);
    QList<File> redo(ProgressService* progress);

    // Drops, quietly, the steps whose files are gone, and clears what no step needs in the
    // places that can be reached again.
    void dropGone();

signals:
    // The captions changed.
    void changed();

private:
    struct Change
    {
        UndoRecord record;
        QString pane;
        std::uint64_t id = 0;
        // The change whose end this one began at, on the same file; 0 for none.
        std::uint64_t joinedTo = 0;
    };
    struct Step
    {
        QString caption;
        std::vector<Change> changes;
    };
    // A place outside the history's folder where it keeps files: where it is, and where it
    // lies within its disk, to find it when the disk comes back under another mount.
    struct Place
    {
        std::filesystem::path path;
        std::uint64_t volume = 0;
        std::filesystem::path within;
    };

    void begin();
    void end(const QString& caption);
    void notePanes();
    void join(Change& change) const;
    QList<File> takeStep(bool undo, ProgressService* progress);
    void runStep(Step& step, bool undo, const LockWait& wait);
    void passOn(const Change& change);
    void dropStep(std::size_t index);
    void enforceLimits(std::optional<std::size_t> keep = {});
    void cannotKeep(const QString& caption, const QString& problem);
    std::uint64_t byteLimit() const;
    bool place(const std::filesystem::path& folder);
    void sweep();
    std::optional<std::filesystem::path> locate(const Place& place) const;
    void load();
    bool save(QString* error = nullptr);
    bool savePlaces();

    QString m_folder;
    std::optional<std::uint64_t> m_byteLimit;
    std::unique_ptr<QLockFile> m_lock; // null: the history cannot be kept
    std::vector<Step> m_steps;         // oldest first
    std::size_t m_done = 0;            // the steps that can be undone; the rest can be redone
    std::uint64_t m_nextId = 1;
    QString m_cannotUndo; // the caption of a step that could not be kept
    QString m_problem;
    KeptFiles m_places;
    std::vector<Place> m_placed;
    bool m_sweepPending = false; // a place held what no step needs when it was out of reach

    bool m_recording = false;
    UndoKeeping m_keeping;
    QString m_pane;
    std::vector<QString> m_panes; // the pane of each record kept so far
};

} // namespace tessary
