#pragma once

#include "FileStamp.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

class QMimeData;

namespace tessary {

// Pages dragged from a page strip: which file (its path, identity and version) and which of
// its pages, in order. They travel as a MIME type of their own, so that a drop tells pages
// dragged within the program from a file dragged from the file manager.
struct PageDrag
{
    static inline const QString mimeType = QStringLiteral("application/x-tessary-pages");

    QString file;
    FileStamp stamp;
    QList<std::int32_t> pages;

    // The drag as MIME data; the caller owns it.
    QMimeData* toMimeData() const;
    // The pages data carries; nothing when it carries none or cannot be read.
    static std::optional<PageDrag> from(const QMimeData& data);
};

} // namespace tessary
