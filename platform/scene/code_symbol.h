#pragma once

#include <QImage>
#include <QString>

// A code item's symbol as a black-and-white bitmap, one pixel per module:
// kind "qr" (QR code) or "code128"; null for an unknown kind or text the
// symbology cannot carry.
QImage codeSymbol(const QString &kind, const QString &text);

// The zint symbol of text (zint's symbology number; option_1 and option_2 as
// zint takes them, -1 and 0 their defaults), as zint draws it; null when it
// cannot be encoded.
QImage zintBitmap(int symbology, const QString &text, int option1 = -1, int option2 = 0);
