#include "locator/server_listing.h"

#include <algorithm>

#include "ftp/ftp_session.h"

namespace velmo::locator {

void sortListing(ServerListing& listing) {
    // std::string compares through char_traits<char>, which orders bytes as unsigned char.
    std::sort(listing.folders.begin(), listing.folders.end());
    std::sort(listing.files.begin(), listing.files.end(),
              [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
}

bool readFolders(int session, ServerListing& listing) {
    listing.folders.clear();
    if (!ftp::listDirectory(session)) return false;
    while (ftp::nextEntry(session)) {
        if (ftp::entryKind(session) != ftp::EntryDirectory) continue;
        std::string name = ftp::entryName(session);
        if (name != ".") listing.folders.push_back(std::move(name));
    }
    return true;
}

bool readFiles(int session, ServerListing& listing) {
    listing.files.clear();
    if (!ftp::listDirectory(session)) return false;
    while (ftp::nextEntry(session)) {
        if (ftp::entryKind(session) == ftp::EntryFile)
            listing.files.push_back({ftp::entryName(session), ftp::entrySize(session)});
    }
    return true;
}

std::vector<ListingRow> listingRows(const ServerListing& listing) {
    std::vector<ListingRow> rows;
    rows.reserve(listing.folders.size() + listing.files.size());
    for (const std::string& f : listing.folders) rows.push_back({f, folderWeight, true});
    for (const FileEntry& f : listing.files) rows.push_back({f.name, std::to_string(f.size), false});
    return rows;
}

bool isChoosableFolder(const ServerListing& listing, const std::string& rowText) {
    if (rowText == "..") return false;
    return std::find(listing.folders.begin(), listing.folders.end(), rowText) != listing.folders.end();
}

}  // namespace velmo::locator
