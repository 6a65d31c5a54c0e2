#include "vision/page_code.h"

QString pageCodeText(uint32_t code)
{
    return QString::asprintf("%08x", code);
}

bool parsePageCode(const QString &text, uint32_t *code)
{
    if (text.size() != 8)
        return false;
    for (const QChar c : text) {
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hex)
            return false;
    }
    bool ok = false;
    const uint32_t value = text.toUInt(&ok, 16);
    if (!ok || value == 0)
        return false;
    if (code)
        *code = value;
    return true;
}
