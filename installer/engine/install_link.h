// Building the link to the guestbook's install page from the site address the user types.
#pragma once
#include <string>

namespace velmo::installer {

// Blanks removed (all of them), then trailing "/" cut while the text is not exactly "http://".
std::string normalizeSiteAddress(const std::string& typed);

// site + "/" + folder + "/install/index.php"
std::string buildInstallLink(const std::string& siteAddress, const std::string& folder);

// What "Générer le lien" makes of a normalised address.
enum class SiteAddressCheck { Empty, SchemeOnly, MissingScheme, Accepted };
SiteAddressCheck checkSiteAddress(const std::string& normalized);

// The whole link as shown and opened: an empty folder is named as unknown, "%20" becomes a blank.
std::string installLinkFor(const std::string& normalized, const std::string& folder);

inline constexpr const char* unknownFolderText = ">>>>>Attention le nom de dossier est inconnu<<<<<";

}  // namespace velmo::installer
