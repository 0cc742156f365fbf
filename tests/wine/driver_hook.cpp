// velmo_driver_hook.dll: loaded by velmo_driver into the program it drives, to read that
// program's menu bar.
//
// Wine keeps a menu's items in the memory of the process that made it, so GetMenuItemInfo
// and friends fail on another process's menu (they work across processes on Windows).
// The driver therefore loads this DLL into the target (a remote LoadLibraryW) and runs
// velmoReadMenu there in a remote thread; the function writes the menu into a buffer the
// driver allocated in the target and reads back.

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

// Records are separated by U+001E, fields by U+001F, so no text needs escaping:
//   T <title>                       a menu-bar title
//   E <id> <text> <checked> <enabled>   an entry of the last title ("-" text: separator)
class Writer {
 public:
  explicit Writer(MenuRequest* r) : r_(r) {}
  void put(wchar_t c) {
    if (r_->length + 1 < r_->capacity) r_->text[r_->length++] = c;
  }
  void put(const wchar_t* s) {
    while (*s) put(*s++);
  }
  void number(long long v) {
    wchar_t buf[32];
    int n = 0;
    bool negative = v < 0;
    unsigned long long u = negative ? 0ULL - static_cast<unsigned long long>(v)
                                    : static_cast<unsigned long long>(v);
    do {
      buf[n++] = static_cast<wchar_t>(L'0' + u % 10);
      u /= 10;
    } while (u != 0);
    if (negative) put(L'-');
    while (n > 0) put(buf[--n]);
  }

 private:
  MenuRequest* r_;
};

bool itemInfo(HMENU menu, int position, wchar_t* text, UINT size, MENUITEMINFOW& info) {
  info = MENUITEMINFOW{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
  info.dwTypeData = text;
  info.cch = size - 1;
  text[0] = L'\0';
  return GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) != FALSE;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI velmoReadMenu(LPVOID param) {
  auto* request = static_cast<MenuRequest*>(param);
  request->length = 0;
  HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(request->window));
  HMENU bar = GetMenu(window);
  if (bar == nullptr) return 2;
  int count = GetMenuItemCount(bar);
  if (count < 0) return 3;
  Writer out(request);
  wchar_t text[512];
  MENUITEMINFOW info;
  for (int i = 0; i < count; ++i) {
    if (!itemInfo(bar, i, text, 512, info)) return 4;
    out.put(L'T');
    out.put(L'\x1f');
    out.put(text);
    out.put(L'\x1e');
    if (info.hSubMenu == nullptr) continue;
    int entries = GetMenuItemCount(info.hSubMenu);
    for (int j = 0; j < entries; ++j) {
      MENUITEMINFOW entry;
      if (!itemInfo(info.hSubMenu, j, text, 512, entry)) return 5;
      out.put(L'E');
      out.put(L'\x1f');
      out.number(entry.hSubMenu != nullptr ? -1 : static_cast<long long>(entry.wID));
      out.put(L'\x1f');
      out.put((entry.fType & MFT_SEPARATOR) ? L"-" : text);
      out.put(L'\x1f');
      out.put((entry.fState & MFS_CHECKED) ? L"1" : L"0");
      out.put(L'\x1f');
      out.put((entry.fState & MFS_DISABLED) ? L"0" : L"1");
      out.put(L'\x1e');
    }
  }
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
