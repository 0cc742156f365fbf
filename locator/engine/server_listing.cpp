#include "locator/engine/server_listing.h"

#include <algorithm>


namespace velmo::locator {

void sortListing(ServerListing& listing) {
    // std::string compares through char_traits<char>, which orders bytes as unsigned char.
    std::sort(listing.folders.begin(), listing.folders.end());
    std::sort(listing.files.begin(), listing.files.end(),
              [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
}

bool readFolders(ftp::Session& session, ServerListing& listing) {
    listing.folders.clear();
    if (!session.listDirectory()) return false;
    for (const ftp::ListingEntry& entry : session.entries())
        if (entry.kind == ftp::EntryDirectory && entry.name != ".") listing.folders.push_back(entry.name);
    return true;
}

bool readFiles(ftp::Session& session, ServerListing& listing) {
    listing.files.clear();
    if (!session.listDirectory()) return false;
    for (const ftp::ListingEntry& entry : session.entries())
        if (entry.kind == ftp::EntryFile) listing.files.push_back({entry.name, entry.size});
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
