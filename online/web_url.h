#pragma once

#include <QString>
#include <QUrl>

namespace spoolsmith {

// An advertisement's pictures and links come from a broker: only web
// addresses are fetched or opened, never a local file or a program.
bool isWebUrl(const QUrl &url);
bool isWebUrl(const QString &text);

} // namespace spoolsmith
