// The suite's texts are Windows-1252 bytes; these convert at the edges
// (UTF-8 files, Windows wide-character APIs, console output).
#pragma once
#include <cstdint>
#include <string>

namespace velmo::text {

std::string cp1252ToUtf8(const std::string& s);
// Characters with no CP1252 form become '?'.
std::string utf8ToCp1252(const std::string& s);
std::u16string cp1252ToUtf16(const std::string& s);
std::string utf16ToCp1252(const std::u16string& s);
// The same for the system's wide strings (UTF-16 on Windows).
std::wstring cp1252ToWide(const std::string& s);
std::string wideToCp1252(const std::wstring& s);

// Leading and trailing blanks (space only) removed.
std::string trimBlanks(const std::string& s);
// Leading digits after optional leading blanks and sign; no digits give 0.
long long parseDecimal(const std::string& s);
// parseDecimal pinned to the nearest signed 32-bit value instead of wrapping (the stored
// integers of the suite's files are 32-bit).
std::int32_t parseDecimalInt32(const std::string& s);

}  // namespace velmo::text
