// velmo_driver: drives the windows of another program from outside, for the Wine tests.
//
//   velmo_driver.exe COMMAND ARG...   runs one command, exit code 0 on success
//   velmo_driver.exe                  reads commands from stdin, one per line, fields separated
//                                     by TAB; after each command's result lines it writes "OK"
//                                     or "ERR <reason>" (what tests/wine/winelib.py uses: a
//                                     Wine process costs far more to start than a command).
//
// Output is UTF-8, one result per line. Texts in results and in stdin fields are escaped so
// that one line stays one line: "\\" backslash, "\n" LF, "\r" CR, "\t" TAB. Window handles
// are hexadecimal ("0x1234"). Anything that may open a modal window (clicks, menu commands,
// box answers, closing) is posted, never sent, so the driver cannot block on its program.

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "utf8_text.h"

namespace {

using Args = std::vector<std::wstring>;

struct Failure {
  std::wstring reason;
};

[[noreturn]] void fail(const std::wstring& reason) { throw Failure{reason}; }

// How long a read may wait for the program to answer. A program that is busy starting (a
// loaded machine runs the installer's first scan for several seconds before its loop
// pumps) still answers within it; only a hung one does not.
constexpr UINT sendTimeoutMs = 30000;

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
      c = text[++i];
      c = c == L'n' ? L'\n' : c == L'r' ? L'\r' : c == L't' ? L'\t' : c;
    }
    out += c;
  }
  return out;
}

std::vector<std::wstring> split(const std::wstring& s, wchar_t sep) {
  std::vector<std::wstring> fields;
  for (size_t start = 0;;) {
    size_t at = s.find(sep, start);
    fields.push_back(s.substr(start, at == std::wstring::npos ? at : at - start));
    if (at == std::wstring::npos) return fields;
    start = at + 1;
  }
}

// Written straight to the handle: the C runtime's text mode would turn LF into CR LF and
// its buffering would hold results back from the test waiting for them.
void writeRaw(HANDLE out, const std::string& bytes) {
  DWORD written = 0;
  for (size_t done = 0; done < bytes.size(); done += written)
    if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0)
      return;
}

std::string pending;  // result lines of the current command
void emit(const std::wstring& line) { pending += toUtf8(line) + "\n"; }

long long number(const std::wstring& s) {
  wchar_t* end = nullptr;
  long long v = std::wcstoll(s.c_str(), &end, 0);
  if (s.empty() || *end != L'\0') fail(L"not a number: " + s);
  return v;
}

std::wstring num(long long v) { return std::to_wstring(v); }

std::wstring hexHandle(HWND h) {
  wchar_t buf[32];
  swprintf(buf, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
  return buf;
}

HWND handle(const std::wstring& s) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(number(s)));
}

HWND windowArg(const std::wstring& s) {
  HWND h = handle(s);
  if (!IsWindow(h)) fail(L"no such window: " + s);
  return h;
}

// Control id 0 stands for the window itself.
HWND controlArg(const std::wstring& window, const std::wstring& id) {
  HWND w = windowArg(window);
  if (number(id) == 0) return w;
  HWND c = GetDlgItem(w, static_cast<int>(number(id)));
  if (c == nullptr) fail(L"no control " + id + L" in window " + window);
  return c;
}

LRESULT sendTimeout(HWND h, UINT msg, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  // Not SMTO_ABORTIFHUNG: the system takes a program that has not pumped for 5 s as hung,
  // which a busy start-up is not.
  if (!SendMessageTimeoutW(h, msg, w, l, SMTO_NORMAL, sendTimeoutMs, &result))
    fail(L"window " + hexHandle(h) + L" did not answer message " + num(msg));
  return static_cast<LRESULT>(result);
}

// WM_GETTEXT is marshalled across processes by the system itself.
std::wstring windowText(HWND h) {
  std::vector<wchar_t> buf(static_cast<size_t>(sendTimeout(h, WM_GETTEXTLENGTH, 0, 0)) + 2);
  LRESULT got = sendTimeout(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  return std::wstring(buf.data(), static_cast<size_t>(got));
}

DWORD processOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

// Pacing for the waits below: they end as soon as the condition holds.
template <typename Condition>
bool waitFor(const std::wstring& timeoutMs, Condition condition) {
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(number(timeoutMs));
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
}

// ---- menus, read inside the target process by driver_hook.cpp -----------------------

struct MenuRequest {  // same layout as in driver_hook.cpp
  uint64_t window;
  uint32_t capacity;
  uint32_t length;
  wchar_t text[1];
};

constexpr uint32_t menuChars = 32768;

struct Process {
  HANDLE h;
  explicit Process(DWORD pid)
      : h(OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                          PROCESS_VM_READ | PROCESS_VM_WRITE,
                      FALSE, pid)) {
    if (h == nullptr) fail(L"cannot open process " + num(pid));
  }
  ~Process() { CloseHandle(h); }
};

// A block of memory in another process, freed with the object.
struct RemoteBlock {
  Process process;
  char* at;
  RemoteBlock(DWORD pid, size_t size) : process(pid) {
    at = static_cast<char*>(
        VirtualAllocEx(process.h, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (at == nullptr) fail(L"VirtualAllocEx failed");
  }
  ~RemoteBlock() { VirtualFreeEx(process.h, at, 0, MEM_RELEASE); }
  void put(size_t offset, const void* data, size_t n) {
    if (!WriteProcessMemory(process.h, at + offset, data, n, nullptr))
      fail(L"cannot write into the memory of another process");
  }
  void get(size_t offset, void* data, size_t n) {
    if (!ReadProcessMemory(process.h, at + offset, data, n, nullptr))
      fail(L"cannot read the memory of another process");
  }
};

// Address in process `pid` of `function`, exported by module `name` loaded here as well.
LPTHREAD_START_ROUTINE remoteAddress(DWORD pid, const std::wstring& name, HMODULE local,
                                     FARPROC function) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snap == INVALID_HANDLE_VALUE) fail(L"cannot list the modules of process " + num(pid));
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  uintptr_t remote = 0;
  for (BOOL ok = Module32FirstW(snap, &entry); ok && !remote; ok = Module32NextW(snap, &entry))
    if (lstrcmpiW(entry.szModule, name.c_str()) == 0)
      remote = reinterpret_cast<uintptr_t>(entry.hModule);
  CloseHandle(snap);
  if (!remote) fail(name + L" is not loaded in process " + num(pid));
  return reinterpret_cast<LPTHREAD_START_ROUTINE>(
      remote + (reinterpret_cast<uintptr_t>(function) - reinterpret_cast<uintptr_t>(local)));
}

DWORD runRemoteThread(HANDLE process, LPTHREAD_START_ROUTINE start, void* param) {
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, start, param, 0, nullptr);
  if (thread == nullptr) fail(L"CreateRemoteThread failed");
  DWORD wait = WaitForSingleObject(thread, sendTimeoutMs);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  if (wait != WAIT_OBJECT_0) fail(L"remote thread did not finish");
  return code;
}

// The hook's records: "T<US>title" then "E<US>id<US>text" for each entry of that title.
std::vector<std::vector<std::wstring>> readMenu(HWND window) {
  if (GetMenu(window) == nullptr) fail(L"window has no menu bar");
  const std::wstring hookName = L"velmo_driver_hook.dll";
  wchar_t self[MAX_PATH] = {};
  std::wstring hookPath(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  hookPath = hookPath.substr(0, hookPath.find_last_of(L"\\/") + 1) + hookName;
  HMODULE localHook = LoadLibraryW(hookPath.c_str());
  if (localHook == nullptr) fail(L"cannot load " + hookPath);
  FARPROC readMenuFn = GetProcAddress(localHook, "velmoReadMenu");
  HMODULE localKernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC loadLibraryFn = GetProcAddress(localKernel, "LoadLibraryW");
  if (readMenuFn == nullptr || loadLibraryFn == nullptr) fail(L"hook entry points missing");

  DWORD pid = processOf(window);
  RemoteBlock mem(pid, sizeof(MenuRequest) + menuChars * sizeof(wchar_t));
  // Loading an already loaded DLL only counts it once more: cheap on every call.
  mem.put(0, hookPath.data(), (hookPath.size() + 1) * sizeof(wchar_t));
  runRemoteThread(mem.process.h, remoteAddress(pid, L"kernel32.dll", localKernel, loadLibraryFn),
                  mem.at);
  MenuRequest header{static_cast<uint64_t>(reinterpret_cast<uintptr_t>(window)), menuChars, 0,
                     {}};
  mem.put(0, &header, offsetof(MenuRequest, text));
  DWORD code =
      runRemoteThread(mem.process.h, remoteAddress(pid, hookName, localHook, readMenuFn), mem.at);
  if (code != 0) fail(L"the menu could not be read in the program (" + num(code) + L")");
  mem.get(0, &header, offsetof(MenuRequest, text));
  std::vector<std::vector<std::wstring>> menu;  // per title: the title, then "ID\tTEXT"s
  if (header.length == 0) return menu;
  std::wstring raw(header.length - 1, L'\0');  // without the last record's separator
  mem.get(offsetof(MenuRequest, text), raw.data(), raw.size() * sizeof(wchar_t));
  for (const std::wstring& record : split(raw, L'\x1e')) {
    std::vector<std::wstring> f = split(record, L'\x1f');
    if (f[0] == L"T" && f.size() == 2)
      menu.push_back({f[1]});
    else if (f[0] == L"E" && f.size() == 3 && !menu.empty())
      menu.back().push_back(f[1] + L"\t" + escape(f[2]));
    else
      fail(L"unreadable menu record");
  }
  return menu;
}

void post(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (!PostMessageW(h, msg, w, l)) fail(L"post failed");
}

// ---- report lists, read and operated through a buffer in the target process ---------

constexpr size_t cellChars = 1024;

// One row: its cells 0 to `columns` - 1 joined by TAB (escaped), after the row's picture
// index when `withPicture`.
std::wstring reportRow(HWND list, RemoteBlock& mem, int row, int columns, bool withPicture) {
  std::wstring line;
  if (withPicture) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    mem.put(0, &item, sizeof item);
    sendTimeout(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.at));
    mem.get(0, &item, sizeof item);
    line = num(item.iImage) + L"\t";
  }
  for (int column = 0; column < columns; ++column) {
    LVITEMW text{};
    text.iSubItem = column;
    text.pszText = reinterpret_cast<LPWSTR>(mem.at + sizeof(LVITEMW));
    text.cchTextMax = cellChars;
    mem.put(0, &text, sizeof text);
    LRESULT n = sendTimeout(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(mem.at));
    std::wstring cell(static_cast<size_t>(n), L'\0');
    if (n > 0) mem.get(sizeof(LVITEMW), cell.data(), cell.size() * sizeof(wchar_t));
    line += (column ? L"\t" : L"") + escape(cell);
  }
  return line;
}

// Selects `row` (none for -1) and double-clicks on it, or below the last row for -1, as
// the mouse would: the list then tells its window.
void doubleClickRow(HWND list, RemoteBlock& mem, int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = row < 0 ? 0 : LVIS_SELECTED | LVIS_FOCUSED;
  mem.put(0, &state, sizeof state);
  sendTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(mem.at));
  const LRESULT count = sendTimeout(list, LVM_GETITEMCOUNT, 0, 0);
  const int measured = row < 0 ? static_cast<int>(count) - 1 : row;
  int x = 8, y = 8;
  if (measured >= 0) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    mem.put(0, &r, sizeof r);
    if (!sendTimeout(list, LVM_GETITEMRECT, static_cast<WPARAM>(measured), reinterpret_cast<LPARAM>(mem.at)))
      fail(L"no such row");
    mem.get(0, &r, sizeof r);
    x = r.left + 8;
    y = row < 0 ? r.bottom + (r.bottom - r.top) : (r.top + r.bottom) / 2;
  }
  post(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
  post(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// ---- message boxes ------------------------------------------------------------------

BOOL CALLBACK collectBoxes(HWND h, LPARAM param) {
  auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (processOf(h) != search->first || !IsWindowVisible(h) || lstrcmpW(cls, L"#32770") != 0)
    return TRUE;
  search->second = h;
  return FALSE;
}

int answerId(const std::wstring& name) {
  const wchar_t* names[] = {L"IDOK", L"IDCANCEL", L"IDABORT", L"IDRETRY", L"IDIGNORE", L"IDYES", L"IDNO"};
  for (int id = IDOK; id <= IDNO; ++id)
    if (name == names[id - IDOK]) return id;
  return static_cast<int>(number(name));
}

// ---- real input: through the system's input queue, as a user's mouse and keyboard ------

void sendInputs(std::vector<INPUT>& inputs) {
  const UINT n = static_cast<UINT>(inputs.size());
  if (SendInput(n, inputs.data(), sizeof(INPUT)) != n) fail(L"SendInput refused the input");
}

// A left click at the right end of the control (inside its border, past any text), where
// a user clicks to type after what a field holds.
void mouseClickAtEnd(HWND control) {
  RECT r{};
  if (!GetWindowRect(control, &r)) fail(L"no place for the control");
  const int x = r.right - 6, y = (r.top + r.bottom) / 2;
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  std::vector<INPUT> in(3);
  for (INPUT& i : in) i.type = INPUT_MOUSE;
  in[0].mi.dx = static_cast<LONG>(x * 65535LL / (w - 1));
  in[0].mi.dy = static_cast<LONG>(y * 65535LL / (h - 1));
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  sendInputs(in);
}

// Each character as a key press and release (a Unicode key event), to whatever window
// has the keyboard focus, as typing does.
void typeKeys(const std::wstring& text) {
  std::vector<INPUT> in;
  for (wchar_t c : text) {
    for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wScan = c;
      i.ki.dwFlags = KEYEVENTF_UNICODE | up;
      in.push_back(i);
    }
  }
  if (!in.empty()) sendInputs(in);
}

// ---- commands -----------------------------------------------------------------------

void run(const Args& args) {
  auto a = [&](size_t i) -> const std::wstring& {
    if (i >= args.size()) fail(L"missing argument " + num(static_cast<long long>(i)) + L" of " +
                               (args.empty() ? L"the command" : args[0]));
    return args[i];
  };
  const std::wstring& cmd = a(0);
  if (cmd == L"find") {  // find TITLE TIMEOUT_MS -> "HWND PID"
    HWND found = nullptr;
    if (!waitFor(a(2), [&] {
          // Only a shown window counts: a program builds its controls before showing it.
          found = FindWindowW(nullptr, a(1).c_str());
          return found != nullptr && IsWindowVisible(found);
        }))
      fail(L"no window titled \"" + a(1) + L"\"");
    emit(hexHandle(found) + L" " + num(processOf(found)));
  } else if (cmd == L"gettext") {  // gettext HWND ID -> text
    emit(escape(windowText(controlArg(a(1), a(2)))));
  } else if (cmd == L"settext") {  // settext HWND ID TEXT
    std::wstring text = unescape(a(3));
    if (!sendTimeout(controlArg(a(1), a(2)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())))
      fail(L"WM_SETTEXT refused");
  } else if (cmd == L"click") {  // click HWND ID
    post(controlArg(a(1), a(2)), BM_CLICK, 0, 0);
  } else if (cmd == L"mouseclick") {  // mouseclick HWND ID (a real click at its right end)
    mouseClickAtEnd(controlArg(a(1), a(2)));
  } else if (cmd == L"type") {  // type TEXT (real key presses to the focused window)
    typeKeys(unescape(a(1)));
  } else if (cmd == L"focused") {  // focused HWND -> id of the control with the keyboard
    // focus in the window's thread (0: none)
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(windowArg(a(1)), nullptr), &info))
      fail(L"GetGUIThreadInfo failed");
    emit(num(info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0));
  } else if (cmd == L"check") {  // check HWND ID -> 0/1/2
    emit(num(sendTimeout(controlArg(a(1), a(2)), BM_GETCHECK, 0, 0)));
  } else if (cmd == L"progress") {  // progress HWND ID -> "POS LOW HIGH"
    HWND bar = controlArg(a(1), a(2));
    emit(num(sendTimeout(bar, PBM_GETPOS, 0, 0)) + L" " +
         num(sendTimeout(bar, PBM_GETRANGE, TRUE, 0)) + L" " +
         num(sendTimeout(bar, PBM_GETRANGE, FALSE, 0)));
  } else if (cmd == L"listbox") {  // listbox HWND ID -> one item per line
    HWND lb = controlArg(a(1), a(2));
    LRESULT count = sendTimeout(lb, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      LRESULT len = sendTimeout(lb, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      if (len < 0) fail(L"LB_GETTEXTLEN failed");
      std::vector<wchar_t> buf(static_cast<size_t>(len) + 1, L'\0');
      // LB_GETTEXT is marshalled like WM_GETTEXT for list boxes without owner data.
      sendTimeout(lb, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
      emit(escape(buf.data()));
    }
  } else if (cmd == L"listview") {  // listview HWND ID COLUMNS [pictures] -> "[PICTURE<TAB>]CELL<TAB>CELL..." per row
    HWND list = controlArg(a(1), a(2));
    const bool pictures = args.size() > 4 && args[4] == L"pictures";
    RemoteBlock mem(processOf(list), sizeof(LVITEMW) + cellChars * sizeof(wchar_t));
    const LRESULT count = sendTimeout(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
      emit(reportRow(list, mem, static_cast<int>(i), static_cast<int>(number(a(3))), pictures));
  } else if (cmd == L"dblclick") {  // dblclick HWND ID ROW (-1: below the rows)
    HWND list = controlArg(a(1), a(2));
    RemoteBlock mem(processOf(list), sizeof(LVITEMW) + sizeof(RECT));
    doubleClickRow(list, mem, static_cast<int>(number(a(3))));
  } else if (cmd == L"tab") {  // tab HWND ID INDEX (posted: selects it and notifies, as a click)
    post(controlArg(a(1), a(2)), TCM_SETCURFOCUS, static_cast<WPARAM>(number(a(3))), 0);
  } else if (cmd == L"tabsel") {  // tabsel HWND ID -> selected tab
    emit(num(sendTimeout(controlArg(a(1), a(2)), TCM_GETCURSEL, 0, 0)));
  } else if (cmd == L"enabled") {  // enabled HWND ID -> 0/1
    emit(num(IsWindowEnabled(controlArg(a(1), a(2))) ? 1 : 0));
  } else if (cmd == L"ticks") {  // ticks HWND ID -> 0/1 per report-list row (its check box)
    HWND list = controlArg(a(1), a(2));
    LRESULT count = sendTimeout(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
      LRESULT state = sendTimeout(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
      emit((state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2) ? L"1" : L"0");
    }
  } else if (cmd == L"tickrow") {  // tickrow HWND ID ROW 0|1 (a report-list row's check box)
    HWND list = controlArg(a(1), a(2));
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(number(a(4)) ? 2 : 1);
    RemoteBlock mem(processOf(list), sizeof item);
    mem.put(0, &item, sizeof item);
    if (!sendTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(number(a(3))), reinterpret_cast<LPARAM>(mem.at)))
      fail(L"LVM_SETITEMSTATE refused");
  } else if (cmd == L"menu") {  // menu HWND COMMAND_ID (posted WM_COMMAND, as a menu click)
    post(windowArg(a(1)), WM_COMMAND, MAKEWPARAM(number(a(2)), 0), 0);
  } else if (cmd == L"menubar") {  // menubar HWND -> one title per line
    for (const auto& title : readMenu(windowArg(a(1)))) emit(escape(title[0]));
  } else if (cmd == L"menuitems") {  // menuitems HWND POSITION -> "ID TEXT" per entry
    // (ID -1 for a sub-menu, TEXT "-" for a separator)
    auto menu = readMenu(windowArg(a(1)));
    size_t pos = static_cast<size_t>(number(a(2)));
    if (pos >= menu.size()) fail(L"no drop-down menu at position " + a(2));
    for (size_t i = 1; i < menu[pos].size(); ++i) emit(menu[pos][i]);
  } else if (cmd == L"waitbox") {  // waitbox PID TIMEOUT_MS -> "HWND TITLE TEXT", first box
    std::pair<DWORD, HWND> search{static_cast<DWORD>(number(a(1))), nullptr};
    if (!waitFor(a(2), [&] {
          EnumWindows(collectBoxes, reinterpret_cast<LPARAM>(&search));
          return search.second != nullptr;
        }))
      fail(L"no message box appeared");
    wchar_t text[8192] = {};
    GetDlgItemTextW(search.second, 0xFFFF, text, 8192);
    emit(hexHandle(search.second) + L"\t" + escape(windowText(search.second)) + L"\t" +
         escape(text));
  } else if (cmd == L"answer") {  // answer BOX IDOK|IDYES|IDNO|IDCANCEL|number
    HWND box = windowArg(a(1));
    int id = answerId(a(2));
    HWND button = GetDlgItem(box, id);
    if (button == nullptr) fail(L"the box has no button " + a(2));
    post(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  } else if (cmd == L"close") {  // close HWND (posted WM_CLOSE, as the caption's cross)
    post(windowArg(a(1)), WM_CLOSE, 0, 0);
  } else if (cmd == L"waitgone") {  // waitgone HWND TIMEOUT_MS
    if (!waitFor(a(2), [&] { return !IsWindow(handle(a(1))); })) fail(L"window still there");
  } else {
    fail(L"unknown command: " + cmd);
  }
}

bool runAndReport(const Args& a, bool persistent) {
  pending.clear();
  std::wstring reason;
  try {
    run(a);
  } catch (const Failure& f) {
    reason = f.reason.empty() ? L"?" : f.reason;
  }
  if (persistent) pending += reason.empty() ? "OK\n" : "ERR " + toUtf8(escape(reason)) + "\n";
  writeRaw(GetStdHandle(STD_OUTPUT_HANDLE), pending);
  if (!persistent && !reason.empty())
    writeRaw(GetStdHandle(STD_ERROR_HANDLE), "velmo_driver: " + toUtf8(reason) + "\n");
  return reason.empty();
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
      if (line == "quit") return 0;
      if (!line.empty()) runAndReport(split(fromUtf8(line), L'\t'), true);
    }
    DWORD got = 0;
    if (!ReadFile(in, chunk, sizeof chunk, &got, nullptr) || got == 0) return 0;
    buffer.append(chunk, got);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return serveStdin();
  return runAndReport(Args(argv + 1, argv + argc), false) ? 0 : 1;
}
