// Where the program points people: the maker's site, the author's address and
// the outside store. This program has no real site, so every name lies on the
// reserved .invalid domain; MORVELLAN_SITE (host[:port]) stands in for the
// maker's site, for tests and mirrors.
#pragma once

#include <QString>

namespace Site {

inline constexpr const char* kMakerSite = "www.morvellan.invalid";
inline constexpr const char* kAuthorAddress = "author@morvellan.invalid";
inline constexpr const char* kStoreHost = "store.morvellan.invalid";
inline constexpr const char* kProductCode = "MRV110";

// The maker's site as host[:port]: MORVELLAN_SITE when set, else kMakerSite.
QString MakerSite();
// "http://" and the maker's site: its home page.
QString MakerHomePage();
// The page that offers the newest version for download.
QString DownloadPage();

}  // namespace Site
