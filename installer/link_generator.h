// The install link generator (window 56): asks for the site's address, builds the link to
// the guestbook's install page below the remote folder, shows it as a link that opens in
// the browser.
#pragma once
#include "installer/installer_app.h"

namespace velmo::installer {

// Opens the window and runs its loop on the calling thread (the main thread from the
// menu, the upload thread after an upload) until its close box is used; then enables the
// main window and the form again and brings the main window to the front. The caller has
// disabled the main window. The folder comes from the settings file.
void openLinkGenerator(InstallerApp& app);

// The site address of the examples under the link: label 62 and label 64 name the same.
inline constexpr const char* placeholderSite = "http://www.nom-de-votre-site.fr";
inline constexpr const char* stayOnTopTooltip = "Toujours au second plan.";
inline constexpr const char* ordinaryTooltip = "Toujours au premier plan.";

}  // namespace velmo::installer
