// The install link generator (window 56): asks for the site's address, builds the link to
// the guestbook's install page below the remote folder, shows it as a link that opens in
// the browser.
#pragma once
#include <string>
#include <vector>

#include "frame/program.h"
#include "installer/window/installer_app.h"

namespace velmo::installer {

// Opens the window on the main thread, above a main window it disables, to build links
// below the remote `folder`; its events come to the main loop (linkGeneratorRoutes).
// Asked to open while it stands (opened from the menu while an upload ran, which then
// ended), it takes the new folder and comes to the front.
void openLinkGenerator(InstallerApp& app, const std::string& folder);

// The main loop's routes for the generator's events, for the program `app` owns (they
// hold it by plain reference). Closing it enables the main window (and the form, unless
// an upload still runs) and brings the main window to the front.
std::vector<frame::Route> linkGeneratorRoutes(InstallerApp& app);

// The site address of the examples under the link: label 62 and label 64 name the same.
inline constexpr const char* placeholderSite = "http://www.nom-de-votre-site.fr";
inline constexpr const char* stayOnTopTooltip = "Toujours au second plan.";
inline constexpr const char* ordinaryTooltip = "Toujours au premier plan.";

}  // namespace velmo::installer
