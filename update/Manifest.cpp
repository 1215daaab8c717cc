#include "update/Manifest.h"

#include "framework/Application.h"
#include "text/TextFunctions.h"
#include "windows/Site.h"

namespace Manifest {

QString Address() { return Site::MakerHomePage() + QStringLiteral("/Updates/morvellan.xml"); }

bool VersionIsCurrent(const QString& version) {
    const QString dot = QStringLiteral(".");
    // Each number of the running version is read only when the one before
    // it was equal.
    if (static_cast<double>(Application::MajorVersion()) != Text::Val(Text::NthField(version, dot, 1)))
        return false;
    if (static_cast<double>(Application::MinorVersion()) != Text::Val(Text::NthField(version, dot, 2)))
        return false;
    return static_cast<double>(Application::BugVersion()) == Text::Val(Text::NthField(version, dot, 3));
}

bool IsFreeUpgrade(const QString& free) { return Text::Equals(free, QStringLiteral("Yes")); }

}  // namespace Manifest
