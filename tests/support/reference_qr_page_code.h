#pragma once

#include "vision/qr_page_code_reader.h"

// The page-code QR read the copy-free one replaced, kept as the answer it
// must give: the region copied, turned to RGB, then BGR, then grey.
namespace reference {

PageCodeRead readQrPageCode(const QImage &picture, const QRect &region = QRect());

} // namespace reference
