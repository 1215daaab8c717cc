// Opening a link with the system's default handler for its scheme: the mail
// client for "mailto:", the web browser for HTTP.
#pragma once

#include <QString>

// Hands the URL to the system. Whether anything opened it is not reported:
// no caller has anything to do about it.
void ShowURL(const QString& url);
