#include "framework/Links.h"

#include <QDesktopServices>
#include <QUrl>

void ShowURL(const QString& url) {
    // Strict parsing: a link is handed on exactly as written or not at all.
    const QUrl parsed(url, QUrl::StrictMode);
    if (parsed.isValid()) QDesktopServices::openUrl(parsed);
}
