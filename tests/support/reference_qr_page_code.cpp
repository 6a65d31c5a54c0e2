#include "tests/support/reference_qr_page_code.h"

#include "vision/page_code.h"

#include <opencv2/imgproc.hpp>
#include <zbar.h>

#include <algorithm>
#include <cmath>

namespace reference {

namespace {

cv::Mat toBgr(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                 size_t(rgb.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(view, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

} // namespace

PageCodeRead readQrPageCode(const QImage &picture, const QRect &region)
{
    PageCodeRead result;
    if (picture.isNull())
        return result;
    const QRect area = region.isEmpty() ? picture.rect() : region.intersected(picture.rect());
    if (area.isEmpty())
        return result;

    const int side = std::max(area.width(), area.height());
    const int factor = std::max(1, int(std::ceil(double(side) / QrPageCodeReader::kMaxDecodeSide)));
    cv::Mat grey;
    cv::cvtColor(toBgr(picture.copy(area)), grey, cv::COLOR_BGR2GRAY);
    if (factor > 1)
        cv::resize(grey, grey, cv::Size(grey.cols / factor, grey.rows / factor), 0, 0, cv::INTER_AREA);
    cv::threshold(grey, grey, 127, 255, cv::THRESH_BINARY);
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::erode(grey, grey, kernel);
    cv::dilate(grey, grey, kernel);
    if (!grey.isContinuous())
        grey = grey.clone();

    auto *scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
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
        if (parsePageCode(QString::fromUtf8(zbar::zbar_symbol_get_data(sym)), &code)) {
            chosen = sym;
            break;
        }
    }
    if (chosen) {
        result.text = QString::fromUtf8(zbar::zbar_symbol_get_data(chosen),
                                        int(zbar::zbar_symbol_get_data_length(chosen)));
        result.type = QString::fromLatin1(zbar::zbar_get_symbol_name(zbar::zbar_symbol_get_type(chosen)));
        result.code = code;
        const unsigned count = zbar::zbar_symbol_get_loc_size(chosen);
        for (unsigned i = 0; i < count; ++i)
            result.points.append(QPointF(zbar::zbar_symbol_get_loc_x(chosen, i) * factor + area.x(),
                                         zbar::zbar_symbol_get_loc_y(chosen, i) * factor + area.y()));
    }
    zbar::zbar_image_destroy(image);
    zbar::zbar_image_scanner_destroy(scanner);
    return result;
}

} // namespace reference
