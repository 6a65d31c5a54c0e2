#include "app/dialog_path.h"

#include "app/spoolsmith_app.h"

#include <QUrl>

QString dialogResultToPath(const QUrl &url, const QString &asGiven)
{
    if (url.isValid() && url.isLocalFile())
        return url.toLocalFile();
    if (url.isValid() && url.scheme().compare(QLatin1String("qrc"), Qt::CaseInsensitive) == 0)
        return QLatin1Char(':') + url.path();
    return asGiven;
}

QString dialogResultToPath(const QString &result)
{
    const QString text = result.trimmed();
    // Only URLs are converted: "C:/x" would otherwise parse as scheme "c".
    if (!text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
        && !text.startsWith(QLatin1String("qrc:"), Qt::CaseInsensitive))
        return result;
    return dialogResultToPath(QUrl(text), result);
}

QString SpoolsmithApp::toLocalPath(const QVariant &url) const
{
    if (url.userType() == QMetaType::QUrl)
        return dialogResultToPath(url.toUrl(), url.toUrl().toString());
    return dialogResultToPath(url.toString());
}
