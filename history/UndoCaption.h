#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace tessary {

// What a step of the undo history is called in the Edit menu ("Undo Delete Page 3 of
// scan.tif"): the operation, its pages and the names of its files, without their folders.
namespace UndoCaption {

enum class Transfer
{
    Append,
    Insert,
    Replace,
    NewFile,
    Move, // pages that left their file, in any page mode
};

// "Delete Page 3 of scan.tif"
QString deletePage(std::int32_t page, const QString& file);

// count pages of source from first put into destination: one page is named with its file
// ("Append Page 4 of a.tif to b.tif", "Move Page 4 of a.tif to b.tif"), more are counted
// ("Insert 5 Pages into b.tif", "Replace with 2 Pages in b.tif", "Extract 3 Pages to c.tif").
QString transfer(Transfer kind, std::int32_t first, std::int32_t count, const QString& source,
                 const QString& destination);

// "Delete Page 3 of scan.tif" for one page, "Delete 10 Pages of scan.tif" for more.
QString deletePages(const QList<std::int32_t>& pages, const QString& file);

// Pages of a file moved or copied within it: "Move Page 4 of b.tif", "Copy 3 Pages of
// b.tif".
QString arrange(bool copy, std::int32_t first, std::int32_t count, const QString& file);

// Pages of one file brought into another: "Copy Page 4 of a.tif to b.tif", "Move 3 Pages of
// a.tif to b.tif".
QString bring(bool move, std::int32_t first, std::int32_t count, const QString& source,
              const QString& destination);

// "Rotate Page 3 of scan.tif"; more pages as "Rotate Pages 2 to 5 of scan.tif".
QString rotate(std::int32_t first, std::int32_t count, const QString& file);

// "Move Page 4 of b.tif before Page 2", or with copy "Copy Page 4 of b.tif before Page 2".
QString reorder(bool copy, std::int32_t page, std::int32_t before, const QString& file);

} // namespace UndoCaption
} // namespace tessary
