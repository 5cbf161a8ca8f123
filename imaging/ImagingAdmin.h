#pragma once

#include "FileStamp.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class QWidget;

namespace tessary {

struct UndoKeeping;

// The files as the caller of a page operation last saw them (a viewer's stamp). A page
// operation refuses (EngineFailure + Changed) to touch a file that no longer matches its
// stamp. With keep, it keeps there what it needs to be undone (OperationOptions::keep).
struct ExpectedFiles
{
    std::optional<FileStamp> file;   // the file named by fileName()
    std::optional<FileStamp> source; // the file the pages come from
    UndoKeeping* keep = nullptr;
};

// The Imaging administration control: file dialogs, and the page operations on the file
// named by fileName(), which it changes in place. Pages count from 1. The numbers in
// brackets are the control's dispatch ids.
//
// Every page operation is atomic: it completes, or it throws ImagingError (EngineFailure +
// the engine's kind, with a sentence for the user) and the file is as it was. The source
// may be the file being changed. A page operation that runs long shows that it is going on
// and may be stopped by the user (EngineFailure + Cancelled, the file as it was).
class ImagingAdmin
{
public:
    using Expected = ExpectedFiles;

    // A page of a new page list (arrangePages): page of file, from 1; "" names the file
    // being changed.
    struct ListedPage
    {
        QString file;
        std::int32_t page = 0;
        bool operator==(const ListedPage&) const = default;
    };

    enum DialogOption : std::int16_t
    {
        OpenDialog = 0,
        SaveDialog = 1,
    };

    virtual ~ImagingAdmin() = default;

    // [4] The file that page operations change; after a file dialog, the path chosen.
    virtual QString fileName() const = 0;
    virtual void setFileName(const QString& fileName) = 0;
    // [1] The dialog's filter, pairs of description and patterns, each followed by "|":
    // "TIFF Image|*.tif|". Several patterns of one pair are separated by ";".
    virtual QString filter() const = 0;
    virtual void setFilter(const QString& filter) = 0;
    // [3] Dialog flags, kept for the caller: 4 hides a read-only box (the dialog has
    // none) and 8 keeps the working folder (the dialog never changes it).
    virtual std::int32_t flags() const = 0;
    virtual void setFlags(std::int32_t flags) = 0;
    // [7] The folder the dialog starts in.
    virtual QString initialFolder() const = 0;
    virtual void setInitialFolder(const QString& folder) = 0;

    // [113] Shows the Open (OpenDialog) or Save (SaveDialog) dialog, modal over owner.
    // On OK fileName() holds the path chosen; the Save dialog asks before an existing file
    // is taken. Throws DialogCancelled (32755) on Cancel, leaving fileName() as it was,
    // and InvalidArgument for another option.
    virtual void showFileDialog(std::int16_t option, QWidget* owner) = 0;

    // [105] Adds count pages of source, from first, behind the last page.
    virtual void appendPages(const QString& source, std::int32_t first, std::int32_t count,
                             const Expected& expected = {}) = 0;
    // [110] Puts count pages of source, from first, before page `before`; the first of
    // them takes its number.
    virtual void insertPages(const QString& source, std::int32_t first, std::int32_t before,
                             std::int32_t count, const Expected& expected = {}) = 0;
    // [111] Overwrites count pages from `at` one for one with pages of source from first.
    virtual void replacePages(const QString& source, std::int32_t first, std::int32_t at,
                              std::int32_t count, const Expected& expected = {}) = 0;
    // [109] Removes count pages from first; at least one page must remain. Only
    // expected.file is used.
    virtual void deletePages(std::int32_t first, std::int32_t count,
                             const Expected& expected = {}) = 0;
    // Removes the pages listed (each once, in any order) in one rewrite; at least one page
    // must remain. Only expected.file is used.
    virtual void deletePages(const QList<std::int32_t>& pages, const Expected& expected = {}) = 0;
    // Gives the file the pages listed, in that order, in one rewrite: any of its own pages
    // (by their numbers before the change), each as often as listed, and pages of other
    // files, which all come from expected.source when it is given. Its pages not listed
    // leave it; a list of the pages it has, in their order, changes nothing.
    virtual void arrangePages(const QList<ListedPage>& pages, const Expected& expected = {}) = 0;

    // Turns count pages from first by degrees clockwise (90, 180 or 270) as they are seen,
    // stored upright (PageEngine::rotatePages). Returns the sentences that name the pages
    // whose turn only their orientation tag could take, "" when there are none. Only
    // expected.file is used.
    virtual QString rotatePages(std::int32_t first, std::int32_t count, std::int32_t degrees,
                                const Expected& expected = {}) = 0;

    // From the next page operation on, until endHolding(), the page operations keep the
    // write locks of files and of the files they change, so that no other program can
    // change any of them between one operation and the next: a Move's transfer and its
    // delete from the source. The locks are taken when the first operation starts (while it
    // may wait, visibly, for another program), in one fixed order, so that two Moves in
    // opposite directions cannot wait for each other. An operation that fails releases them.
    virtual void holdFiles(const QStringList& files) = 0;
    virtual void endHolding() = 0;
};

} // namespace tessary
