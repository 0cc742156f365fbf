// The login directory as the locator shows it: its folders, then its files, each sorted
// by name, read from the server in two passes over the session's listing.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ftp/ftp_session.h"

namespace velmo::locator {

struct FileEntry {
    std::string name;
    std::int64_t size = 0;  // bytes, as listed (files of 2 GiB and more keep their size)
};

struct ServerListing {
    std::string loginDirectory;        // the server's answer to PWD right after the login
    std::vector<std::string> folders;  // without "."; ".." stays when the server lists it
    std::vector<FileEntry> files;
};

// Sorts both lists by name, ascending, comparing bytes as unsigned values: case matters
// ("Zeta" before "alpha") and CP1252 letters come after ASCII ("z" before "é").
void sortListing(ServerListing& listing);

// The two passes over the session's current directory, each with a listing of its own:
// the folders of the first, the files of the second (unsorted). False when the listing
// failed, leaving that list empty: a failed listing is never taken for an empty directory.
bool readFolders(ftp::Session& session, ServerListing& listing);
bool readFiles(ftp::Session& session, ServerListing& listing);

// One row of the list control: the name, then "Dossier" for a folder or the size in bytes
// as decimal text for a file.
struct ListingRow {
    std::string name;
    std::string weight;
    bool folder = false;
};
inline constexpr const char* folderWeight = "Dossier";

// The folder rows in the order of `listing.folders`, then the file rows in theirs.
std::vector<ListingRow> listingRows(const ServerListing& listing);

// What a double-click on a row whose first column reads `rowText` chooses: true when it
// names a folder of the listing and is not "..". File rows, the ".." row and a
// double-click outside the rows (empty text) choose nothing.
bool isChoosableFolder(const ServerListing& listing, const std::string& rowText);

}  // namespace velmo::locator
