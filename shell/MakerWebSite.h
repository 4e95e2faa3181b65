#pragma once

namespace halvane {

// The maker's web site, in one place: the online menu item, the update check
// and the pages it opens all read it from here.

namespace maker {

// The host the version query goes to (HTTP, port 80).
constexpr char kWebHost[] = "www.kelpmoor.com";
// How the site is named to the user ("Visit kelpmoor.com", error messages).
constexpr char kWebSiteName[] = "kelpmoor.com";
// The address the user is invited to go to for a new version.
constexpr char kWebAddress[] = "www.kelpmoor.com";
constexpr char kHomePage[] = "http://www.kelpmoor.com/";
constexpr char kDownloadPage[] = "http://www.kelpmoor.com/music/vst.html";
// Path and query of the version query, after the host's "/".
constexpr char kVersionQuery[] = "music/version/?file=halvane";

// Names another host for the version query, as "name" or "name:port"; test
// rigs point it at a server of their own.
constexpr char kUpdateHostVariable[] = "HALVANE_UPDATE_HOST";

} // namespace maker

} // namespace halvane
