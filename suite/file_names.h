// Which names of files and folders the tools accept from the network, and how a server
// path is joined. Header only, over
// the standard library alone: every layer may use it.
//
// A name received from a server or from the official site becomes a path on the user's
// FTP account and, for the backup and the updater's mirror, a file on Windows. A name
// passes only when both ends take it as one plain name below the folder it is meant for:
//  - "~" first is refused: vsftpd and pure-ftpd expand "~" and "~/..." to the login home,
//    outside the guestbook folder;
//  - a last "." or blank is refused: Windows drops them ("a." is "a"), so two names would
//    be one file;
//  - < > " | ? * are refused: Windows refuses them in names (the file is never kept);
//  - device names (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any case, alone or with an
//    extension: "nul.txt") are refused: Windows opens the device instead of a file, so a
//    "saved" file would be nothing;
//  - "/" "\" ":" and control characters are refused: a separator or a drive letter would
//    put the file elsewhere, a colon would hide it in a stream of another file;
//  - "", "." and ".." are refused.
#pragma once
#include <string>
#include <string_view>

namespace velmo::suite {

namespace detail {

inline char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool sameLetters(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upper[i]) return false;
    return true;
}

// The part before the first "." (Windows takes "nul.txt" and "NUL.tar.gz" as NUL too).
inline bool isDeviceName(std::string_view name) {
    const std::string_view stem = name.substr(0, name.find('.'));
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL"})
        if (sameLetters(stem, device)) return true;
    if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9')
        return sameLetters(stem.substr(0, 3), "COM") || sameLetters(stem.substr(0, 3), "LPT");
    return false;
}

}  // namespace detail

// True when `name` (one part of a path, no separator) may be used as one file or folder
// name on the server and on Windows alike; see the list above.
inline bool isPortableNamePart(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.front() == '~' || name.back() == '.' || name.back() == ' ') return false;
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) return false;
        switch (ch) {
            case '/': case '\\': case ':': case '<': case '>': case '"': case '|': case '?': case '*':
                return false;
            default:
                break;
        }
    }
    return !detail::isDeviceName(name);
}

// A server path below `directory` (the login directory, as PWD gave it): the two joined by
// one "/", none added when the directory already ends with one, as "/" does ("/" + "a" is
// "/a", never "//a").
inline std::string joinServerPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

}  // namespace velmo::suite
