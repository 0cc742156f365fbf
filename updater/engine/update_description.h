// The description of one update package ("_Fichier_Maj_xxx.pcfg", published in the
// package folder and mirrored in "misesAJour/<package>/"), and the names its paths give.
//
// The file comes from the network: every path in it is checked before anything is
// downloaded or sent. A path may only name something below the package folder (locally)
// and below the guestbook folder (on the server).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "updater/engine/signature.h"

namespace velmo::updater {

inline constexpr const char* descriptionFileName = "_Fichier_Maj_xxx.pcfg";

struct UpdateDescription {
    std::vector<std::string> lines;    // "Grp_DescriptionMaj": the text shown to the user
    std::vector<std::string> files;    // "Grp_ListeFichiersATelecharger": package paths
    std::vector<std::string> folders;  // "Grp_ListeDossiersACreer": "a/" or "a/b/" forms
    std::vector<std::string> chmods;   // "Grp_ListeChmodAAppliquer": paths to make 777
    // "Grp_VersionMaj": the version this package installs (0 when not given). The list
    // that offered the package must name the same, so that an older signed package cannot
    // be served in a newer one's folder.
    std::int32_t version = 0;
    // "Grp_EmpreintesFichiers", one value per file: "<sha256 in hex> <size> <package
    // path>". Here in the order of `files`; size -1 for a file the group does not list.
    std::vector<FileDigest> digests;
};

// Why a signed description cannot be installed from.
enum class DescriptionFault {
    None,
    NoDigests,     // no digest group, or a file it does not list
    OtherVersion,  // it installs another version than the one offered
};
DescriptionFault findDescriptionFault(const UpdateDescription& description, std::int32_t offeredVersion);

// Reads the four groups (values only, in file order; key names are free). Empty values
// are kept in `lines` and `files` (a row each) and dropped from the folder and permission
// lists, which have nothing to do for them. False when the file cannot be opened.
bool readUpdateDescription(const std::string& path, UpdateDescription& out);

// True when a value of the description is refused; `value` is then the first such value.
// Every "/"-separated part, as published and as renamed for the mirror, must be a portable
// name (suite::isPortableNamePart): so empty parts ("a//b", a file path ending in "/"),
// "." and "..", absolute paths, a leading "~", drive letters and any ":", backslashes,
// control characters and Windows device names are refused. Folder entries may (and
// should) end with one "/".
bool findUnsafePath(const UpdateDescription& description, std::string& value);

// Every ".velmo" replaced by ".php" (exact, case-sensitive): PHP scripts are published
// under ".velmo" so that the official site serves them instead of running them.
std::string toServerName(const std::string& packagePath);

// The part after the last "/" (the whole path when it has none).
std::string lastPart(const std::string& path);

// The "/"-separated parts before the last one (the folders a file lives in).
std::vector<std::string> folderParts(const std::string& path);

}  // namespace velmo::updater
