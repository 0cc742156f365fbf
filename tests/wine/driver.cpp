// velmo_driver: drives the windows of another program from outside, for the Wine tests.
//
// Two ways to use it:
//   velmo_driver.exe COMMAND ARG...      runs one command, exit code 0 on success
//   velmo_driver.exe                      reads commands from stdin, one per line, fields
//                                         separated by TAB; after each command's result
//                                         lines it writes "OK" or "ERR <reason>".
// The persistent form is what tests/wine/winelib.py uses: starting a Wine process costs
// far more than a command.
//
// Output is UTF-8, one result per line. Texts in results and in stdin fields are escaped
// so that one line stays one line: "\\" backslash, "\n" LF, "\r" CR, "\t" TAB.
// Window handles are written and read as hexadecimal ("0x1234").
//
// Everything here talks to the other process the way a person's actions would arrive:
// anything that may open a modal window (clicks, menu commands, box answers) is posted,
// never sent, so the driver cannot block on the program it drives.

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::wstring>;

struct Failure {
  std::wstring reason;
};

[[noreturn]] void fail(const std::wstring& reason) { throw Failure{reason}; }

constexpr UINT kSendTimeoutMs = 5000;

// ---- output -------------------------------------------------------------------------

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring fromUtf8(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::wstring escape(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      case L'\t': out += L"\\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::wstring unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\\' && i + 1 < text.size()) {
      wchar_t n = text[++i];
      switch (n) {
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L't': out += L'\t'; break;
        default: out += n;
      }
    } else {
      out += c;
    }
  }
  return out;
}

// Written straight to the handle: the C runtime's text mode would turn LF into CR LF and
// its buffering would hold results back from the test waiting for them.
void writeRaw(const std::string& bytes) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  size_t done = 0;
  while (done < bytes.size()) {
    if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0)
      return;
    done += written;
  }
}

std::string pending;  // result lines of the current command
void emit(const std::wstring& line) { pending += toUtf8(line) + "\n"; }

// ---- argument helpers ---------------------------------------------------------------

void needArgs(const Args& a, size_t n, const wchar_t* usage) {
  if (a.size() < n + 1) fail(std::wstring(L"usage: ") + usage);
}

long long number(const std::wstring& s) {
  wchar_t* end = nullptr;
  long long v = std::wcstoll(s.c_str(), &end, 0);
  if (s.empty() || end == nullptr || *end != L'\0') fail(L"not a number: " + s);
  return v;
}

HWND windowArg(const std::wstring& s) {
  HWND h = reinterpret_cast<HWND>(static_cast<intptr_t>(number(s)));
  if (!IsWindow(h)) fail(L"no such window: " + s);
  return h;
}

std::wstring hexHandle(HWND h) {
  wchar_t buf[32];
  swprintf(buf, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
  return buf;
}

std::wstring num(long long v) { return std::to_wstring(v); }

// Control id 0 stands for the window itself.
HWND controlArg(HWND window, const std::wstring& id) {
  long long v = number(id);
  if (v == 0) return window;
  HWND c = GetDlgItem(window, static_cast<int>(v));
  if (c == nullptr) fail(L"no control " + id + L" in window " + hexHandle(window));
  return c;
}

LRESULT sendTimeout(HWND h, UINT msg, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    fail(L"window " + hexHandle(h) + L" did not answer message " + num(msg));
  return static_cast<LRESULT>(result);
}

// WM_GETTEXT is marshalled across processes by the system itself.
std::wstring windowText(HWND h) {
  LRESULT len = sendTimeout(h, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> buf(static_cast<size_t>(len) + 2, L'\0');
  LRESULT got = sendTimeout(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  return std::wstring(buf.data(), static_cast<size_t>(got));
}

std::wstring className(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

DWORD processOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

// ---- memory in the other process (for controls whose messages carry pointers) --------

class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION,
                           FALSE, processOf(owner));
    if (process_ == nullptr) fail(L"cannot open the process of " + hexHandle(owner));
    base_ = static_cast<char*>(
        VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (base_ == nullptr) {
      CloseHandle(process_);
      fail(L"VirtualAllocEx failed");
    }
  }
  ~RemoteBuffer() {
    VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  char* at(size_t offset) const { return base_ + offset; }
  void write(size_t offset, const void* data, size_t n) const {
    if (offset + n > size_ || !WriteProcessMemory(process_, base_ + offset, data, n, nullptr))
      fail(L"WriteProcessMemory failed");
  }
  void read(size_t offset, void* data, size_t n) const {
    if (offset + n > size_ || !ReadProcessMemory(process_, base_ + offset, data, n, nullptr))
      fail(L"ReadProcessMemory failed");
  }

 private:
  size_t size_;
  HANDLE process_ = nullptr;
  char* base_ = nullptr;
};

constexpr size_t kTextChars = 4096;

std::wstring listViewText(HWND lv, const RemoteBuffer& mem, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  item.cchTextMax = static_cast<int>(kTextChars);
  item.pszText = reinterpret_cast<LPWSTR>(mem.at(sizeof(LVITEMW)));
  mem.write(0, &item, sizeof item);
  LRESULT n = sendTimeout(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                          reinterpret_cast<LPARAM>(mem.at(0)));
  if (n <= 0) return {};
  std::vector<wchar_t> buf(static_cast<size_t>(n) + 1, L'\0');
  mem.read(sizeof(LVITEMW), buf.data(), static_cast<size_t>(n) * sizeof(wchar_t));
  return std::wstring(buf.data(), static_cast<size_t>(n));
}

int listViewColumns(HWND lv) {
  HWND header = reinterpret_cast<HWND>(sendTimeout(lv, LVM_GETHEADER, 0, 0));
  if (header == nullptr) return 1;
  LRESULT n = sendTimeout(header, HDM_GETITEMCOUNT, 0, 0);
  return n > 0 ? static_cast<int>(n) : 1;
}

// ---- finding windows ----------------------------------------------------------------

struct BoxSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK collectBoxes(HWND h, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  if (processOf(h) == search->pid && IsWindowVisible(h) && className(h) == L"#32770")
    search->found.push_back(h);
  return TRUE;
}

std::vector<HWND> boxesOf(DWORD pid) {
  BoxSearch search{pid, {}};
  EnumWindows(collectBoxes, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Pacing for the waits below: they end as soon as the condition holds.
constexpr DWORD kPollMs = 20;

template <typename Condition>
bool waitFor(long long timeoutMs, Condition condition) {
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

int answerId(const std::wstring& name) {
  if (name == L"IDOK") return IDOK;
  if (name == L"IDCANCEL") return IDCANCEL;
  if (name == L"IDYES") return IDYES;
  if (name == L"IDNO") return IDNO;
  if (name == L"IDRETRY") return IDRETRY;
  if (name == L"IDABORT") return IDABORT;
  if (name == L"IDIGNORE") return IDIGNORE;
  return static_cast<int>(number(name));
}

// ---- menus (read inside the target process, see driver_hook.cpp) --------------------

struct MenuRequest {  // same layout as in driver_hook.cpp
  uint64_t window;
  uint32_t capacity;
  uint32_t length;
  wchar_t text[1];
};

constexpr uint32_t kMenuChars = 32768;

std::wstring folderOfThisProgram() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  size_t slash = p.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : p.substr(0, slash);
}

// Base address of a module (by file name, case-insensitive) in another process.
HMODULE remoteModule(DWORD pid, const std::wstring& name) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snap == INVALID_HANDLE_VALUE) fail(L"cannot list the modules of process " + num(pid));
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  HMODULE found = nullptr;
  for (BOOL ok = Module32FirstW(snap, &entry); ok; ok = Module32NextW(snap, &entry)) {
    if (lstrcmpiW(entry.szModule, name.c_str()) == 0) {
      found = entry.hModule;
      break;
    }
  }
  CloseHandle(snap);
  return found;
}

// Address in the other process of `function`, exported by `module` loaded here as well.
LPTHREAD_START_ROUTINE remoteAddress(DWORD pid, const std::wstring& moduleName, HMODULE local,
                                     FARPROC function) {
  HMODULE remote = remoteModule(pid, moduleName);
  if (remote == nullptr) fail(moduleName + L" is not loaded in process " + num(pid));
  auto offset = reinterpret_cast<uintptr_t>(function) - reinterpret_cast<uintptr_t>(local);
  return reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<uintptr_t>(remote) + offset);
}

DWORD runRemoteThread(HANDLE process, LPTHREAD_START_ROUTINE start, void* param) {
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, start, param, 0, nullptr);
  if (thread == nullptr) fail(L"CreateRemoteThread failed");
  DWORD wait = WaitForSingleObject(thread, kSendTimeoutMs);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  if (wait != WAIT_OBJECT_0) fail(L"remote thread did not finish");
  return code;
}

struct MenuEntry {
  long long id;
  std::wstring text;
  bool checked;
  bool enabled;
};
struct MenuTitle {
  std::wstring title;
  std::vector<MenuEntry> entries;
};

std::vector<MenuTitle> readMenu(HWND window) {
  if (GetMenu(window) == nullptr) fail(L"window has no menu bar");
  const std::wstring hookName = L"velmo_driver_hook.dll";
  std::wstring hookPath = folderOfThisProgram() + L"\\" + hookName;
  HMODULE localHook = LoadLibraryW(hookPath.c_str());
  if (localHook == nullptr) fail(L"cannot load " + hookPath);
  FARPROC readMenuFn = GetProcAddress(localHook, "velmoReadMenu");
  HMODULE localKernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC loadLibraryFn = GetProcAddress(localKernel, "LoadLibraryW");
  if (readMenuFn == nullptr || loadLibraryFn == nullptr) fail(L"hook entry points missing");

  DWORD pid = processOf(window);
  HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                   PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                               FALSE, pid);
  if (process == nullptr) fail(L"cannot open process " + num(pid));
  struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{process};

  const size_t size = sizeof(MenuRequest) + kMenuChars * sizeof(wchar_t);
  RemoteBuffer mem(window, size);
  // Loading an already loaded DLL only counts it once more: cheap on every call.
  mem.write(0, hookPath.c_str(), (hookPath.size() + 1) * sizeof(wchar_t));
  runRemoteThread(process, remoteAddress(pid, L"kernel32.dll", localKernel, loadLibraryFn),
                  mem.at(0));
  MenuRequest header{};
  header.window = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(window));
  header.capacity = kMenuChars;
  mem.write(0, &header, offsetof(MenuRequest, text));
  DWORD code = runRemoteThread(process, remoteAddress(pid, hookName, localHook, readMenuFn),
                               mem.at(0));
  if (code != 0) fail(L"the menu could not be read in the program (" + num(code) + L")");
  mem.read(0, &header, offsetof(MenuRequest, text));
  std::wstring raw(header.length, L'\0');
  if (header.length > 0)
    mem.read(offsetof(MenuRequest, text), raw.data(), header.length * sizeof(wchar_t));

  std::vector<MenuTitle> menu;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find(L'\x1e', start);
    if (end == std::wstring::npos) end = raw.size();
    std::vector<std::wstring> fields;
    size_t f = start;
    for (;;) {
      size_t sep = raw.find(L'\x1f', f);
      if (sep == std::wstring::npos || sep > end) {
        fields.push_back(raw.substr(f, end - f));
        break;
      }
      fields.push_back(raw.substr(f, sep - f));
      f = sep + 1;
    }
    if (fields[0] == L"T" && fields.size() == 2) {
      menu.push_back({fields[1], {}});
    } else if (fields[0] == L"E" && fields.size() == 5 && !menu.empty()) {
      menu.back().entries.push_back(
          {number(fields[1]), fields[2], fields[3] == L"1", fields[4] == L"1"});
    } else {
      fail(L"unreadable menu record");
    }
    start = end + 1;
  }
  return menu;
}

// ---- commands -----------------------------------------------------------------------

void run(const Args& a) {
  if (a.empty()) fail(L"empty command");
  const std::wstring& cmd = a[0];

  if (cmd == L"find") {  // find TITLE TIMEOUT_MS -> "HWND PID"
    needArgs(a, 2, L"find TITLE TIMEOUT_MS");
    HWND found = nullptr;
    if (!waitFor(number(a[2]), [&] {
          // Only a shown window counts: a program builds its controls before showing it.
          found = FindWindowW(nullptr, a[1].c_str());
          return found != nullptr && IsWindowVisible(found);
        }))
      fail(L"no window titled \"" + a[1] + L"\"");
    emit(hexHandle(found) + L" " + num(processOf(found)));
  } else if (cmd == L"title") {  // title HWND -> text
    needArgs(a, 1, L"title HWND");
    emit(escape(windowText(windowArg(a[1]))));
  } else if (cmd == L"client") {  // client HWND -> "W H"
    needArgs(a, 1, L"client HWND");
    RECT r{};
    if (!GetClientRect(windowArg(a[1]), &r)) fail(L"GetClientRect failed");
    emit(num(r.right - r.left) + L" " + num(r.bottom - r.top));
  } else if (cmd == L"exists") {  // exists HWND -> 1/0 (no failure for a gone window)
    needArgs(a, 1, L"exists HWND");
    emit(IsWindow(reinterpret_cast<HWND>(static_cast<intptr_t>(number(a[1])))) ? L"1" : L"0");
  } else if (cmd == L"gettext") {  // gettext HWND ID -> text
    needArgs(a, 2, L"gettext HWND ID");
    emit(escape(windowText(controlArg(windowArg(a[1]), a[2]))));
  } else if (cmd == L"settext") {  // settext HWND ID TEXT
    needArgs(a, 3, L"settext HWND ID TEXT");
    std::wstring text = unescape(a[3]);
    if (!sendTimeout(controlArg(windowArg(a[1]), a[2]), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(text.c_str())))
      fail(L"WM_SETTEXT refused");
  } else if (cmd == L"click") {  // click HWND ID
    needArgs(a, 2, L"click HWND ID");
    if (!PostMessageW(controlArg(windowArg(a[1]), a[2]), BM_CLICK, 0, 0)) fail(L"post failed");
  } else if (cmd == L"check") {  // check HWND ID -> 0/1/2
    needArgs(a, 2, L"check HWND ID");
    emit(num(sendTimeout(controlArg(windowArg(a[1]), a[2]), BM_GETCHECK, 0, 0)));
  } else if (cmd == L"progress") {  // progress HWND ID -> "POS LOW HIGH"
    needArgs(a, 2, L"progress HWND ID");
    HWND bar = controlArg(windowArg(a[1]), a[2]);
    LRESULT pos = sendTimeout(bar, PBM_GETPOS, 0, 0);
    LRESULT low = sendTimeout(bar, PBM_GETRANGE, TRUE, 0);
    LRESULT high = sendTimeout(bar, PBM_GETRANGE, FALSE, 0);
    emit(num(pos) + L" " + num(low) + L" " + num(high));
  } else if (cmd == L"enabled") {  // enabled HWND ID -> 1/0
    needArgs(a, 2, L"enabled HWND ID");
    emit(IsWindowEnabled(controlArg(windowArg(a[1]), a[2])) ? L"1" : L"0");
  } else if (cmd == L"visible") {  // visible HWND ID -> 1/0
    needArgs(a, 2, L"visible HWND ID");
    emit(IsWindowVisible(controlArg(windowArg(a[1]), a[2])) ? L"1" : L"0");
  } else if (cmd == L"children") {  // children HWND -> "ID CLASS TEXT" per child
    needArgs(a, 1, L"children HWND");
    HWND parent = windowArg(a[1]);
    for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      emit(num(GetDlgCtrlID(c)) + L"\t" + className(c) + L"\t" + escape(windowText(c)));
    }
  } else if (cmd == L"listbox") {  // listbox HWND ID -> one item per line
    needArgs(a, 2, L"listbox HWND ID");
    HWND lb = controlArg(windowArg(a[1]), a[2]);
    LRESULT count = sendTimeout(lb, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      LRESULT len = sendTimeout(lb, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      if (len < 0) fail(L"LB_GETTEXTLEN failed");
      std::vector<wchar_t> buf(static_cast<size_t>(len) + 1, L'\0');
      // LB_GETTEXT is marshalled like WM_GETTEXT for list boxes without owner data.
      sendTimeout(lb, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
      emit(escape(buf.data()));
    }
  } else if (cmd == L"lbsel") {  // lbsel HWND ID -> selected index or -1
    needArgs(a, 2, L"lbsel HWND ID");
    emit(num(sendTimeout(controlArg(windowArg(a[1]), a[2]), LB_GETCURSEL, 0, 0)));
  } else if (cmd == L"lbselect") {  // lbselect HWND ID INDEX (and tells the parent)
    needArgs(a, 3, L"lbselect HWND ID INDEX");
    HWND window = windowArg(a[1]);
    HWND lb = controlArg(window, a[2]);
    int index = static_cast<int>(number(a[3]));
    if (sendTimeout(lb, LB_SETCURSEL, static_cast<WPARAM>(index), 0) == LB_ERR && index != -1)
      fail(L"no item " + a[3]);
    PostMessageW(GetParent(lb), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(lb), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(lb));
  } else if (cmd == L"listview") {  // listview HWND ID -> columns TAB-separated, per row
    needArgs(a, 2, L"listview HWND ID");
    HWND lv = controlArg(windowArg(a[1]), a[2]);
    LRESULT rows = sendTimeout(lv, LVM_GETITEMCOUNT, 0, 0);
    int columns = listViewColumns(lv);
    RemoteBuffer mem(lv, sizeof(LVITEMW) + (kTextChars + 1) * sizeof(wchar_t));
    for (int r = 0; r < rows; ++r) {
      std::wstring line;
      for (int c = 0; c < columns; ++c) {
        if (c > 0) line += L"\t";
        line += escape(listViewText(lv, mem, r, c));
      }
      emit(line);
    }
  } else if (cmd == L"lvstate") {  // lvstate HWND ID -> "CHECK SELECTED" per row
    // CHECK: 1 checked, 0 unchecked, -1 no check box; SELECTED: 1/0.
    needArgs(a, 2, L"lvstate HWND ID");
    HWND lv = controlArg(windowArg(a[1]), a[2]);
    LRESULT rows = sendTimeout(lv, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT r = 0; r < rows; ++r) {
      LRESULT state = sendTimeout(lv, LVM_GETITEMSTATE, static_cast<WPARAM>(r),
                                  LVIS_STATEIMAGEMASK | LVIS_SELECTED);
      long long image = static_cast<long long>((state & LVIS_STATEIMAGEMASK) >> 12);
      emit(num(image == 0 ? -1 : image - 1) + L" " + ((state & LVIS_SELECTED) ? L"1" : L"0"));
    }
  } else if (cmd == L"lvselect" || cmd == L"lvcheck") {
    // lvselect HWND ID INDEX: selects and focuses one row (the list tells its parent).
    // lvcheck HWND ID INDEX 0/1: sets the row's check box.
    bool check = cmd == L"lvcheck";
    needArgs(a, check ? 4 : 3, check ? L"lvcheck HWND ID INDEX 0|1" : L"lvselect HWND ID INDEX");
    HWND lv = controlArg(windowArg(a[1]), a[2]);
    LVITEMW item{};
    if (check) {
      item.stateMask = LVIS_STATEIMAGEMASK;
      item.state = INDEXTOSTATEIMAGEMASK(number(a[4]) ? 2 : 1);
    } else {
      item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      item.state = LVIS_SELECTED | LVIS_FOCUSED;
    }
    RemoteBuffer mem(lv, sizeof item);
    mem.write(0, &item, sizeof item);
    if (!sendTimeout(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(number(a[3])),
                     reinterpret_cast<LPARAM>(mem.at(0))))
      fail(L"LVM_SETITEMSTATE failed");
  } else if (cmd == L"menu") {  // menu HWND COMMAND_ID (posted WM_COMMAND, as a menu click)
    needArgs(a, 2, L"menu HWND COMMAND_ID");
    if (!PostMessageW(windowArg(a[1]), WM_COMMAND, MAKEWPARAM(number(a[2]), 0), 0))
      fail(L"post failed");
  } else if (cmd == L"menubar") {  // menubar HWND -> one title per line
    needArgs(a, 1, L"menubar HWND");
    for (const MenuTitle& t : readMenu(windowArg(a[1]))) emit(escape(t.title));
  } else if (cmd == L"menuitems") {
    // menuitems HWND POSITION -> "ID TEXT CHECKED ENABLED" per entry of that drop-down
    // (ID -1 for a sub-menu, TEXT "-" for a separator)
    needArgs(a, 2, L"menuitems HWND POSITION");
    std::vector<MenuTitle> menu = readMenu(windowArg(a[1]));
    long long pos = number(a[2]);
    if (pos < 0 || pos >= static_cast<long long>(menu.size()))
      fail(L"no drop-down menu at position " + a[2]);
    for (const MenuEntry& e : menu[static_cast<size_t>(pos)].entries)
      emit(num(e.id) + L"\t" + escape(e.text) + L"\t" + (e.checked ? L"1" : L"0") + L"\t" +
           (e.enabled ? L"1" : L"0"));
  } else if (cmd == L"boxes") {  // boxes PID -> "HWND TITLE TEXT" per visible message box
    needArgs(a, 1, L"boxes PID");
    for (HWND box : boxesOf(static_cast<DWORD>(number(a[1])))) {
      wchar_t text[8192] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 8192);
      emit(hexHandle(box) + L"\t" + escape(windowText(box)) + L"\t" + escape(text));
    }
  } else if (cmd == L"waitbox") {  // waitbox PID TIMEOUT_MS -> like boxes, first box only
    needArgs(a, 2, L"waitbox PID TIMEOUT_MS");
    std::vector<HWND> found;
    if (!waitFor(number(a[2]), [&] {
          found = boxesOf(static_cast<DWORD>(number(a[1])));
          return !found.empty();
        }))
      fail(L"no message box appeared");
    wchar_t text[8192] = {};
    GetDlgItemTextW(found[0], 0xFFFF, text, 8192);
    emit(hexHandle(found[0]) + L"\t" + escape(windowText(found[0])) + L"\t" + escape(text));
  } else if (cmd == L"answer") {  // answer BOX IDOK|IDYES|IDNO|IDCANCEL|number
    needArgs(a, 2, L"answer BOX BUTTON");
    HWND box = windowArg(a[1]);
    int id = answerId(a[2]);
    HWND button = GetDlgItem(box, id);
    if (button == nullptr) fail(L"the box has no button " + a[2]);
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)))
      fail(L"post failed");
  } else if (cmd == L"close") {  // close HWND (posted WM_CLOSE, as the caption's cross)
    needArgs(a, 1, L"close HWND");
    if (!PostMessageW(windowArg(a[1]), WM_CLOSE, 0, 0)) fail(L"post failed");
  } else if (cmd == L"waitgone") {  // waitgone HWND TIMEOUT_MS
    needArgs(a, 2, L"waitgone HWND TIMEOUT_MS");
    HWND h = reinterpret_cast<HWND>(static_cast<intptr_t>(number(a[1])));
    if (!waitFor(number(a[2]), [&] { return !IsWindow(h); })) fail(L"window still there");
  } else if (cmd == L"waitexit") {  // waitexit PID TIMEOUT_MS -> exit code
    needArgs(a, 2, L"waitexit PID TIMEOUT_MS");
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                           static_cast<DWORD>(number(a[1])));
    if (p == nullptr) fail(L"no such process (already gone?)");
    DWORD wait = WaitForSingleObject(p, static_cast<DWORD>(number(a[2])));
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    if (wait != WAIT_OBJECT_0) fail(L"process still running");
    emit(num(code));
  } else if (cmd == L"acp") {  // acp -> the ANSI code page programs see
    emit(num(GetACP()));
  } else if (cmd == L"sleep") {  // sleep MS (pacing between steps that have no event)
    needArgs(a, 1, L"sleep MS");
    Sleep(static_cast<DWORD>(number(a[1])));
  } else {
    fail(L"unknown command: " + cmd);
  }
}

bool runAndReport(const Args& a, bool persistent) {
  pending.clear();
  bool ok = true;
  std::wstring reason;
  try {
    run(a);
  } catch (const Failure& f) {
    ok = false;
    reason = f.reason;
  }
  if (persistent) {
    pending += ok ? "OK\n" : "ERR " + toUtf8(escape(reason)) + "\n";
    writeRaw(pending);
  } else {
    writeRaw(pending);
    if (!ok) {
      std::string msg = "velmo_driver: " + toUtf8(reason) + "\n";
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_ERROR_HANDLE), msg.data(), static_cast<DWORD>(msg.size()),
                &written, nullptr);
    }
  }
  return ok;
}

Args splitTabs(const std::wstring& line) {
  Args fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find(L'\t', start);
    fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
    if (tab == std::wstring::npos) break;
    start = tab + 1;
  }
  return fields;
}

int serveStdin() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::string buffer;
  char chunk[4096];
  for (;;) {
    size_t nl;
    while ((nl = buffer.find('\n')) != std::string::npos) {
      std::string line = buffer.substr(0, nl);
      buffer.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      if (line == "quit") return 0;
      runAndReport(splitTabs(fromUtf8(line)), true);
    }
    DWORD got = 0;
    if (!ReadFile(in, chunk, sizeof chunk, &got, nullptr) || got == 0) return 0;
    buffer.append(chunk, got);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return serveStdin();
  Args a(argv + 1, argv + argc);
  return runAndReport(a, false) ? 0 : 1;
}
