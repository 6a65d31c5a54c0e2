#include "vision/qr_page_code_reader.h"

#include "vision/mark_locate.h"
#include "vision/page_code.h"

#include <QDebug>

#include <opencv2/imgproc.hpp>
#include <zbar.h>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// The grey of an area of a picture with pixels of the given OpenCV type.
cv::Mat greyInPlace(const QImage &picture, const QRect &area, int type, int conversion)
{
    const int bytes = picture.depth() / 8;
    const cv::Mat view(area.height(), area.width(), type,
                       const_cast<uchar *>(picture.constScanLine(area.y())) + size_t(area.x()) * size_t(bytes),
                       size_t(picture.bytesPerLine()));
    cv::Mat grey;
    cv::cvtColor(view, grey, conversion);
    return grey;
}

// The grey of a picture's area as the BGR conversion gives it, read where
// the pixels lie: 32-bit pictures in place (B, G, R, A in memory; the alpha
// of ARGB32 dropped, as by the conversion to 24 bits), others through one
// copy.
cv::Mat greyOf(const QImage &picture, const QRect &area)
{
    const QImage::Format format = picture.format();
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN && (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32))
        return greyInPlace(picture, area, CV_8UC4, cv::COLOR_BGRA2GRAY);
    if (format == QImage::Format_RGB888)
        return greyInPlace(picture, area, CV_8UC3, cv::COLOR_RGB2GRAY);
    const QImage rgb = picture.copy(area).convertToFormat(QImage::Format_RGB888);
    return greyInPlace(rgb, rgb.rect(), CV_8UC3, cv::COLOR_RGB2GRAY);
}

QString symbolText(const zbar::zbar_symbol_t *symbol)
{
    return QString::fromUtf8(zbar::zbar_symbol_get_data(symbol), qsizetype(zbar::zbar_symbol_get_data_length(symbol)));
}

} // namespace

QrPageCodeReader::QrPageCodeReader()
{
    auto *scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    m_scanner = scanner;
}

QrPageCodeReader::~QrPageCodeReader()
{
    zbar::zbar_image_scanner_destroy(static_cast<zbar::zbar_image_scanner_t *>(m_scanner));
}

PageCodeRead QrPageCodeReader::read(const QImage &picture, const QRect &region)
{
    // A truncated capture or an odd picture must cost one missed code, never
    // the program.
    try {
        return decode(picture, region);
    } catch (const std::exception &e) {
        qWarning() << "QrPageCodeReader::read" << picture.size() << region << "not read:" << e.what();
    }
    return {};
}

PageCodeRead QrPageCodeReader::decode(const QImage &picture, const QRect &region)
{
    PageCodeRead result;
    if (picture.isNull())
        return result;
    const QRect area = region.isEmpty() ? picture.rect() : region.intersected(picture.rect());
    if (area.isEmpty())
        return result;

    const int factor = std::max(1, int(std::ceil(double(std::max(area.width(), area.height())) / kMaxDecodeSide)));
    cv::Mat grey = greyOf(picture, area);
    // A side thinner than the factor keeps one pixel.
    if (factor > 1)
        cv::resize(grey, grey, cv::Size(std::max(1, grey.cols / factor), std::max(1, grey.rows / factor)), 0, 0,
                   cv::INTER_AREA);
    cv::threshold(grey, grey, 127, 255, cv::THRESH_BINARY);
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::erode(grey, grey, kernel);
    cv::dilate(grey, grey, kernel);
    if (!grey.isContinuous())
        grey = grey.clone();

    auto *scanner = static_cast<zbar::zbar_image_scanner_t *>(m_scanner);
    zbar::zbar_image_t *image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, unsigned(grey.cols), unsigned(grey.rows));
    zbar::zbar_image_set_data(image, grey.data, size_t(grey.cols) * size_t(grey.rows), nullptr);
    const int n = zbar::zbar_scan_image(scanner, image);

    const zbar::zbar_symbol_t *chosen = nullptr;
    uint32_t code = 0;
    for (const zbar::zbar_symbol_t *sym = n > 0 ? zbar::zbar_image_first_symbol(image) : nullptr; sym;
         sym = zbar::zbar_symbol_next(sym)) {
        if (!chosen)
            chosen = sym;
        // The whole data, NULs included: a code followed by more is none.
        if (parsePageCode(symbolText(sym), &code)) {
            chosen = sym;
            break;
        }
    }
    if (chosen) {
        result.text = symbolText(chosen);
        result.type = QString::fromLatin1(zbar::zbar_get_symbol_name(zbar::zbar_symbol_get_type(chosen)));
        result.code = code;
        const unsigned count = zbar::zbar_symbol_get_loc_size(chosen);
        for (unsigned i = 0; i < count; ++i)
            result.points.append(QPointF(zbar::zbar_symbol_get_loc_x(chosen, i) * factor + area.x(),
                                         zbar::zbar_symbol_get_loc_y(chosen, i) * factor + area.y()));
    }
    zbar::zbar_image_destroy(image);
    return result;
}

QRect pageCodeRegion(const QPointF &markCentre, double markSize, const QSize &pictureSize)
{
    const int reach = int(std::ceil((markSize * 0.5 + 8.5) * kMarkCameraPixelsPerMm));
    const QRect r(int(markCentre.x()) - reach, int(markCentre.y()) - reach, 2 * reach + 1, 2 * reach + 1);
    return r.intersected(QRect(QPoint(0, 0), pictureSize));
}
