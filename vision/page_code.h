#pragma once

#include <QString>

#include <cstdint>

// A page code is a nonzero 32-bit number printed as exactly eight
// hexadecimal digits ("%08x").
QString pageCodeText(uint32_t code);
// True and the code when text is a page code; anything else (other text, a
// partial number, zero) is refused.
bool parsePageCode(const QString &text, uint32_t *code);
