// The updater's local version files in "misesAJour/" and the version numbers they hold.
//
// Version numbers are seven decimal digits read as one digit of major version, three of
// minor and three of revision: 2010003 is version 2.10.3. All paths are relative to the
// updater's working directory (the suite's `Tools` folder); the updater never creates
// "misesAJour" itself.
#pragma once
#include <cstdint>
#include <string>

#include "suite/paths.h"

namespace velmo::updater {

// The updater's folder as the start of a path: "misesAJour/".
inline const std::string workFolder = std::string(suite::updatesFolder) + "/";

struct LocalVersionFile {
    const char* name;
    const char* group;
    const char* key;
    const char* comment;
    std::int32_t initialValue;
};
// The version of the updater program itself; never changed after it is created.
extern const LocalVersionFile updaterVersionFile;
// The version of the guestbook script installed on the user's server.
extern const LocalVersionFile scriptVersionFile;

// "misesAJour/" + the file's name.
std::string localVersionPath(const LocalVersionFile& file);

// Major, minor and revision joined by full stops: 2010003 gives "2.10.3", 1000000 gives
// "1.0.0" (the first digit, digits 2 to 4 and digits 5 to 7 of the decimal text).
std::string formatVersion(std::int32_t version);

// Creates the file with its three lines (group, "; " comment, key = initial value) when
// it does not exist. False when it is missing and could not be created.
bool ensureLocalVersionFile(const LocalVersionFile& file);

// The file's key (0 when the key is missing). False when the file cannot be opened.
bool readLocalVersion(const LocalVersionFile& file, std::int32_t& version);

// Writes the key and saves the file. False when it cannot be opened or written.
bool writeLocalVersion(const LocalVersionFile& file, std::int32_t version);

// A version number from a key name or value: leading blanks and tabs, an optional sign,
// decimal digits up to the first other character (none: 0), kept within 32 bits.
std::int32_t versionNumber(const std::string& text);

}  // namespace velmo::updater
