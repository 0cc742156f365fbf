// velmo_driver_hook.dll: loaded by velmo_driver into the program it drives, to read that
// program's menu bar.
//
// Wine keeps a menu's items in the memory of the process that made it, so GetMenuItemInfo
// fails on another process's menu (it works across processes on Windows). The driver
// therefore loads this DLL into the target (a remote LoadLibraryW) and runs velmoReadMenu
// there in a remote thread; it writes the menu into a buffer the driver allocated in the
// target and reads back.

#include <windows.h>

#include <cstdint>

namespace {

// Must match MenuRequest in driver.cpp.
struct MenuRequest {
  uint64_t window;
  uint32_t capacity;  // in wchar_t, of text[]
  uint32_t length;    // written here
  wchar_t text[1];
};

// Records end with U+001E, fields are separated by U+001F, so no text needs escaping:
//   T <title>          a menu-bar title
//   E <id> <text>      an entry of the last title (id -1: sub-menu, text "-": separator)
void put(MenuRequest* r, const wchar_t* s) {
  while (*s && r->length + 1 < r->capacity) r->text[r->length++] = *s++;
}

bool itemInfo(HMENU menu, int position, wchar_t* text, MENUITEMINFOW& info) {
  info = MENUITEMINFOW{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
  info.dwTypeData = text;
  info.cch = 511;
  text[0] = L'\0';
  return GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) != FALSE;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI velmoReadMenu(LPVOID param) {
  auto* request = static_cast<MenuRequest*>(param);
  request->length = 0;
  HMENU bar = GetMenu(reinterpret_cast<HWND>(static_cast<uintptr_t>(request->window)));
  if (bar == nullptr) return 2;
  wchar_t text[512];
  MENUITEMINFOW info;
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    if (!itemInfo(bar, i, text, info)) return 4;
    put(request, L"T\x1f");
    put(request, text);
    put(request, L"\x1e");
    HMENU sub = info.hSubMenu;
    for (int j = 0; sub != nullptr && j < GetMenuItemCount(sub); ++j) {
      MENUITEMINFOW entry;
      if (!itemInfo(sub, j, text, entry)) return 5;
      wchar_t id[32];
      wsprintfW(id, L"E\x1f%d\x1f", entry.hSubMenu != nullptr ? -1 : static_cast<int>(entry.wID));
      put(request, id);
      put(request, (entry.fType & MFT_SEPARATOR) ? L"-" : text);
      put(request, L"\x1e");
    }
  }
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
