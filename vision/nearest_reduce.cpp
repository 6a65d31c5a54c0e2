#include "vision/nearest_reduce.h"

#include <algorithm>
#include <vector>

namespace {

// Asks for a cache line ahead of its use, where the compiler can.
inline void prefetch(const void *at)
{
#if defined(__GNUC__)
    __builtin_prefetch(at);
#else
    (void)at;
#endif
}

// A side up to this many pixels fits its index in 12 bits.
constexpr int kIndexSide = 4096;

struct ReduceTable
{
    QSize from, to;
    QImage::Format format = QImage::Format_Invalid;
    bool usable = false;
    std::vector<int> column, row; // the source column and row of each reduced pixel
};

// What Qt's reduction picks, read off a picture whose pixels are their own
// coordinates; usable only if each reduced column reads one source column
// and each row one source row, as a pure scale does.
void learn(ReduceTable &table, const QImage &picture, const QSize &bound)
{
    table.from = picture.size();
    table.format = picture.format();
    table.usable = false;
    QImage index(picture.size(), picture.format());
    for (int y = 0; y < index.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(index.scanLine(y));
        for (int x = 0; x < index.width(); ++x)
            line[x] = 0xff000000u | (uint(y) << 12) | uint(x);
    }
    const QImage reduced = index.scaled(bound, Qt::KeepAspectRatio, Qt::FastTransformation);
    table.to = reduced.size();
    if (reduced.format() != picture.format() || reduced.isNull())
        return;
    table.column.assign(size_t(reduced.width()), 0);
    table.row.assign(size_t(reduced.height()), 0);
    const auto *first = reinterpret_cast<const QRgb *>(reduced.constScanLine(0));
    for (int x = 0; x < reduced.width(); ++x)
        table.column[size_t(x)] = int(first[x] & 0xfffu);
    for (int y = 0; y < reduced.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(reduced.constScanLine(y));
        table.row[size_t(y)] = int((line[0] >> 12) & 0xfffu);
        for (int x = 0; x < reduced.width(); ++x)
            if (line[x] != (0xff000000u | (uint(table.row[size_t(y)]) << 12) | uint(table.column[size_t(x)])))
                return;
    }
    table.usable = true;
}

} // namespace

QImage reduceNearest(const QImage &picture, const QSize &bound)
{
    const QImage::Format format = picture.format();
    // Qt reduces ARGB32 through premultiplied pixels, which a copy is not.
    const bool indexable = format == QImage::Format_RGB32 && picture.width() <= kIndexSide
                           && picture.height() <= kIndexSide;
    const QSize target = picture.size().scaled(bound, Qt::KeepAspectRatio);
    if (!indexable || target == picture.size() || target.isEmpty())
        return picture.scaled(bound, Qt::KeepAspectRatio, Qt::FastTransformation);
    thread_local ReduceTable table;
    if (table.from != picture.size() || table.format != format || table.to != target)
        learn(table, picture, bound);
    if (!table.usable || table.to != target)
        return picture.scaled(bound, Qt::KeepAspectRatio, Qt::FastTransformation);

    QImage out(target, format);
    if (out.isNull())
        return picture.scaled(bound, Qt::KeepAspectRatio, Qt::FastTransformation);
    const int *column = table.column.data();
    // The capture is cold: the rows a few steps ahead are asked for while
    // this one is read, so their lines arrive in parallel, not one by one.
    constexpr int kAhead = 3;
    const qsizetype rowBytes = qsizetype(picture.width()) * 4;
    auto prefetchRow = [&](int y) {
        const uchar *line = picture.constScanLine(table.row[size_t(y)]);
        for (qsizetype b = 0; b < rowBytes; b += 64)
            prefetch(line + b);
    };
    for (int y = 0; y < std::min(kAhead, target.height()); ++y)
        prefetchRow(y);
    for (int y = 0; y < target.height(); ++y) {
        if (y + kAhead < target.height())
            prefetchRow(y + kAhead);
        const auto *in = reinterpret_cast<const QRgb *>(picture.constScanLine(table.row[size_t(y)]));
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < target.width(); ++x)
            line[x] = in[column[x]];
    }
    out.setDotsPerMeterX(picture.dotsPerMeterX());
    out.setDotsPerMeterY(picture.dotsPerMeterY());
    out.setDevicePixelRatio(picture.devicePixelRatio());
    for (const QString &key : picture.textKeys())
        out.setText(key, picture.text(key));
    return out;
}
