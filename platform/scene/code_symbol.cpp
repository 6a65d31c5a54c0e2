#include "platform/scene/code_symbol.h"

#include <zint.h>

#include <cstring>
#include <memory>

QImage zintBitmap(int symbology, const QString &text, int option1, int option2)
{
    std::unique_ptr<zint_symbol, void (*)(zint_symbol *)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    symbol->symbology = symbology;
    symbol->option_1 = option1;
    symbol->option_2 = option2;
    symbol->show_hrt = 0;
    const QByteArray data = text.toUtf8();
    if (ZBarcode_Encode_and_Buffer(symbol.get(), reinterpret_cast<const unsigned char *>(data.constData()),
                                   int(data.size()), 0)
        >= ZINT_ERROR)
        return {};
    QImage bitmap(symbol->bitmap_width, symbol->bitmap_height, QImage::Format_RGB888);
    for (int y = 0; y < symbol->bitmap_height; ++y)
        std::memcpy(bitmap.scanLine(y), symbol->bitmap + size_t(y) * symbol->bitmap_width * 3,
                    size_t(symbol->bitmap_width) * 3);
    return bitmap;
}

QImage codeSymbol(const QString &kind, const QString &text)
{
    if (text.isEmpty())
        return {};
    if (kind == QLatin1String("qr"))
        return zintBitmap(BARCODE_QRCODE, text);
    if (kind == QLatin1String("code128"))
        return zintBitmap(BARCODE_CODE128, text);
    return {};
}
