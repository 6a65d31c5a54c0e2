#include "platform/detector/code_reader.h"

#include <zbar.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {
const zbar::zbar_symbol_type_t kLinear[] = {zbar::ZBAR_EAN8,   zbar::ZBAR_UPCE,
                                            zbar::ZBAR_UPCA,   zbar::ZBAR_EAN13,
                                            zbar::ZBAR_I25,    zbar::ZBAR_DATABAR, zbar::ZBAR_DATABAR_EXP,
                                            zbar::ZBAR_CODABAR, zbar::ZBAR_CODE39, zbar::ZBAR_CODE93,
                                            zbar::ZBAR_CODE128};
} // namespace

FoundCodes readCodes(const cv::Mat &grey, const cv::Rect &region, bool qr, bool barcode)
{
    FoundCodes found;
    const cv::Rect r = region & cv::Rect(0, 0, grey.cols, grey.rows);
    if ((!qr && !barcode) || r.width < 8 || r.height < 8)
        return found;
    // ZBar wants the grey bytes contiguous.
    cv::Mat crop = grey(r).clone();

    std::unique_ptr<zbar::zbar_image_scanner_t, void (*)(zbar::zbar_image_scanner_t *)> scanner(
        zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    if (qr)
        zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    if (barcode)
        for (zbar::zbar_symbol_type_t t : kLinear)
            zbar::zbar_image_scanner_set_config(scanner.get(), t, zbar::ZBAR_CFG_ENABLE, 1);

    std::unique_ptr<zbar::zbar_image_t, void (*)(zbar::zbar_image_t *)> image(zbar::zbar_image_create(),
                                                                               zbar::zbar_image_destroy);
    zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image.get(), unsigned(crop.cols), unsigned(crop.rows));
    zbar::zbar_image_set_data(image.get(), crop.data, size_t(crop.cols) * size_t(crop.rows), nullptr);
    if (zbar::zbar_scan_image(scanner.get(), image.get()) <= 0)
        return found;

    for (const zbar::zbar_symbol_t *sym = zbar::zbar_image_first_symbol(image.get()); sym;
         sym = zbar::zbar_symbol_next(sym)) {
        CodeResult c;
        const zbar::zbar_symbol_type_t type = zbar::zbar_symbol_get_type(sym);
        c.type = zbar::zbar_get_symbol_name(type);
        c.code.assign(zbar::zbar_symbol_get_data(sym), zbar::zbar_symbol_get_data_length(sym));
        int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
        const unsigned n = zbar::zbar_symbol_get_loc_size(sym);
        for (unsigned i = 0; i < n; ++i) {
            const int x = zbar::zbar_symbol_get_loc_x(sym, i) + r.x;
            const int y = zbar::zbar_symbol_get_loc_y(sym, i) + r.y;
            c.points.emplace_back(x, y);
            minX = std::min(minX, x);
            minY = std::min(minY, y);
            maxX = std::max(maxX, x);
            maxY = std::max(maxY, y);
        }
        if (n > 0) {
            c.x = minX;
            c.y = minY;
            c.w = maxX - minX;
            c.h = maxY - minY;
        }
        (type == zbar::ZBAR_QRCODE ? found.qr : found.bar).push_back(std::move(c));
    }
    return found;
}
