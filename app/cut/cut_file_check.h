#pragma once

#include "app/cut/cut_page_limit.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>

// What every opening of a cut file goes through, whichever road it comes
// by (the cut scene's, a page-code switch's, the print scene's): the file
// read once, so what opens is the bytes checked; its size, its content and
// its page checked; a refusal logged with its reason and told to the
// operator, and the file open before left open.
class CutFileCheck
{
public:
    // The operator's message (the driver's errorMessage).
    using Tell = std::function<void(const QString &)>;
    explicit CutFileCheck(Tell tell)
        : m_tell(std::move(tell))
    {
    }

    // Cut files beyond this size are refused before they are read.
    static constexpr qint64 kMaxBytes = 256LL * 1024 * 1024;

    // The bytes of path once checked; none when it is refused (missing,
    // unreadable, too large, no cut file, a page the station cannot take).
    std::optional<QByteArray> read(const QString &path) const;
    // The bytes alone, bounded, before their content is checked.
    std::optional<QByteArray> readBytes(const QString &path) const;
    bool contentAccepted(const QString &path, const QByteArray &bytes) const
    {
        return pageAccepted(path, CutPageLimit::pageOf(bytes, path));
    }
    // The size alone, for a file a worker reads.
    bool sizeAccepted(const QString &path) const;
    // The content and page read from a file's bytes.
    bool pageAccepted(const QString &path, const CutPageLimit::FilePage &page) const;
    void refusePage(const QString &path, const QSizeF &pageMm) const;
    // why: the reader's reason; instruction: what it cannot cut, when that was it.
    void refuseUnreadable(const QString &path, const QString &why, const QString &instruction = QString()) const;

private:
    void tell(const QString &text) const;

    Tell m_tell;
};
