#include "windows/Site.h"

#include <QByteArray>
#include <QtGlobal>

namespace Site {

QString MakerSite() {
    const QByteArray given = qgetenv("MORVELLAN_SITE").trimmed();
    return given.isEmpty() ? QString::fromLatin1(kMakerSite) : QString::fromLocal8Bit(given);
}

QString MakerHomePage() { return QStringLiteral("http://") + MakerSite(); }

QString DownloadPage() { return MakerHomePage() + QStringLiteral("/Downloads/"); }

}  // namespace Site
