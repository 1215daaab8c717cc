// The update manifest on the maker's site and what its values mean.
#pragma once

#include <QString>

namespace Manifest {

// "http://", the maker's site and "/Updates/morvellan.xml".
QString Address();

// The running version is current when the first three "."-separated fields
// of the manifest's version equal its major, minor and bug numbers, compared
// as numbers. There is no ordering: an older manifest version is not current.
bool VersionIsCurrent(const QString& version);

// A free upgrade: the value is "Yes", letter case ignored, nothing trimmed.
bool IsFreeUpgrade(const QString& free);

}  // namespace Manifest
