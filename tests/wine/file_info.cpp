// velmo_file_info: what Windows itself reads from a program file, for the delivery tests.
//
//   velmo_file_info.exe PATH
//
// Prints, one TAB-separated record a line (UTF-8), what Explorer shows for PATH, read with
// the same calls it uses:
//   fixed <file version> <product version>     from VS_FIXEDFILEINFO ("1.0.1.0")
//   translation <language+code page>           the first \VarFileInfo\Translation ("040c04e4")
//   string <name> <value>                      each version string of that translation
//   icons <count>                              ExtractIconExW's count of icons in the file
//   pixels <size> <hex BGRA, top row first>    icon 1 as Windows loads it at size x size
// Exit code 0 when all could be read, 1 otherwise (the reason on stderr).

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "utf8_text.h"

namespace {

void line(const std::string& text) { std::fwrite((text + "\n").data(), 1, text.size() + 1, stdout); }

int failure(const char* what) {
  std::fprintf(stderr, "velmo_file_info: %s (error %lu)\n", what, GetLastError());
  return 1;
}

std::string dotted(DWORD high, DWORD low) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", unsigned{HIWORD(high)}, unsigned{LOWORD(high)},
                unsigned{HIWORD(low)}, unsigned{LOWORD(low)});
  return buf;
}

// Icon 1 drawn by Windows at size x size: the colour bitmap's BGRA bytes.
bool iconPixels(HMODULE module, int size, std::string& hex) {
  auto icon = static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (icon == nullptr) return false;
  ICONINFO info{};
  bool ok = GetIconInfo(icon, &info) != FALSE;
  if (ok) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> bits(static_cast<size_t>(size) * size * 4);
    HDC dc = GetDC(nullptr);
    ok = GetDIBits(dc, info.hbmColor, 0, size, bits.data(), &bi, DIB_RGB_COLORS) == size;
    ReleaseDC(nullptr, dc);
    static const char digits[] = "0123456789abcdef";
    for (unsigned char b : bits) {
      hex += digits[b >> 4];
      hex += digits[b & 15];
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  DestroyIcon(icon);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velmo_file_info.exe PATH\n");
    return 2;
  }
  const wchar_t* path = argv[1];
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return failure("no version information");
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path, 0, size, data.data())) return failure("GetFileVersionInfoW");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof *fixed)
    return failure("no fixed file information");
  line("fixed\t" + dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + "\t" +
       dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));

  WORD* translation = nullptr;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      length < 4)
    return failure("no translation");
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  line("translation\t" + toUtf8(block).substr(16, 8));
  for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                              L"LegalCopyright", L"OriginalFilename", L"ProductName",
                              L"ProductVersion"}) {
    wchar_t* value = nullptr;
    if (VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(),
                       reinterpret_cast<void**>(&value), &length) &&
        value != nullptr)
      line("string\t" + toUtf8(name) + "\t" + toUtf8(value));
  }

  line("icons\t" + std::to_string(ExtractIconExW(path, -1, nullptr, nullptr, 0)));
  HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return failure("LoadLibraryExW");
  for (int side : {16, 32, 48}) {
    std::string hex;
    if (!iconPixels(module, side, hex)) return failure("icon 1 cannot be loaded");
    line("pixels\t" + std::to_string(side) + "\t" + hex);
  }
  FreeLibrary(module);
  std::fflush(stdout);
  return 0;
}
