#include "online/web_url.h"

namespace spoolsmith {

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

bool isWebUrl(const QString &text)
{
    return isWebUrl(QUrl(text.trimmed(), QUrl::StrictMode));
}

} // namespace spoolsmith
