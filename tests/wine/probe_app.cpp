// velmo_probe_app: a small window that has one of each kind of control the suite's
// programs use, so the Wine harness and velmo_driver can be checked without any of the
// product's code. Its French texts go through the ANSI (-A) calls from CP1252 literals,
// exactly like the programs' own texts, so an accent that survives here survives there.
//
// Behaviour the harness test relies on:
//  - "Vérifier" (102) shows "Information." with "Texte reçu : " + the edit field (101),
//    then writes "Confirmé : " + that text into the label (103).
//  - "Quitter" (104), the menu entry Fichier > Quitter (201) and the caption's close
//    cross ask "Voulez-vous quitter ?" (Yes/No); Yes ends the program with exit code 7.
//  - Aide > À propos (202) shows "À propos." with "Sonde du banc de test Wine.".
//  - "Avancer" (110) moves the progress bar (106) by 10 on a range 0..50.
//  - the check box (105) starts ticked; the button 109 is disabled.

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

namespace {

constexpr int kEdit = 101;
constexpr int kCheckButton = 102;
constexpr int kLabel = 103;
constexpr int kQuitButton = 104;
constexpr int kCheckBox = 105;
constexpr int kProgress = 106;
constexpr int kList = 107;
constexpr int kListView = 108;
constexpr int kDisabled = 109;
constexpr int kStep = 110;
constexpr int kMenuQuit = 201;
constexpr int kMenuAbout = 202;
constexpr int kExitCode = 7;

HWND mainWindow = nullptr;

HWND child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w,
           int h, int id) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr);
}

void addListViewRow(HWND lv, int row, const char* name, const char* size, bool checked) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<char*>(name);
  SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  item.iSubItem = 1;
  item.pszText = const_cast<char*>(size);
  SendMessageA(lv, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  ListView_SetCheckState(lv, row, checked ? TRUE : FALSE);
}

void build(HWND w) {
  child(w, "EDIT", "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 10, 10, 250, 22, kEdit);
  child(w, "BUTTON", "Vérifier", BS_PUSHBUTTON | WS_TABSTOP, 270, 10, 110, 24, kCheckButton);
  child(w, "STATIC", "En attente", SS_LEFT, 10, 42, 370, 20, kLabel);
  HWND box = child(w, "BUTTON", "Mode passif", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 66, 150, 20,
                   kCheckBox);
  SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
  HWND bar = child(w, PROGRESS_CLASSA, "", 0, 10, 92, 250, 18, kProgress);
  SendMessageA(bar, PBM_SETRANGE32, 0, 50);
  SendMessageA(bar, PBM_SETPOS, 20, 0);
  child(w, "BUTTON", "Avancer", BS_PUSHBUTTON, 270, 90, 110, 24, kStep);

  HWND list = child(w, "LISTBOX", "", WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 10, 120, 120, 80,
                    kList);
  for (const char* s : {"skins", "chmod_perso", "données"})
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));

  HWND lv = child(w, WC_LISTVIEWA, "", WS_BORDER | LVS_REPORT, 140, 120, 240, 80, kListView);
  ListView_SetExtendedListViewStyle(lv, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.cx = 140;
  col.pszText = const_cast<char*>("Fichier");
  SendMessageA(lv, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
  col.cx = 80;
  col.pszText = const_cast<char*>("Taille");
  SendMessageA(lv, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&col));
  addListViewRow(lv, 0, "livre_lire.php", "1 024", true);
  addListViewRow(lv, 1, "écrire.txt", "7", false);

  HWND off = child(w, "BUTTON", "Indisponible", BS_PUSHBUTTON, 10, 210, 110, 24, kDisabled);
  EnableWindow(off, FALSE);
  child(w, "BUTTON", "Quitter", BS_PUSHBUTTON, 270, 210, 110, 24, kQuitButton);
}

HMENU buildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kMenuQuit, "Quitter");
  HMENU help = CreatePopupMenu();
  AppendMenuA(help, MF_STRING, kMenuAbout, "À propos");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "Fichier");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "Aide");
  return bar;
}

void askToQuit(HWND w) {
  if (MessageBoxA(w, "Voulez-vous quitter ?", "Attention.", MB_YESNO | MB_ICONWARNING) == IDYES)
    DestroyWindow(w);
}

LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      build(w);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kCheckButton: {
          char text[256] = {};
          GetDlgItemTextA(w, kEdit, text, sizeof text);
          char message[320] = "Texte reçu : ";
          lstrcatA(message, text);
          MessageBoxA(w, message, "Information.", MB_OK | MB_ICONINFORMATION);
          char label[320] = "Confirmé : ";
          lstrcatA(label, text);
          SetDlgItemTextA(w, kLabel, label);
          return 0;
        }
        case kStep: {
          HWND bar = GetDlgItem(w, kProgress);
          SendMessageA(bar, PBM_SETPOS, SendMessageA(bar, PBM_GETPOS, 0, 0) + 10, 0);
          return 0;
        }
        case kQuitButton:
        case kMenuQuit:
          askToQuit(w);
          return 0;
        case kMenuAbout:
          MessageBoxA(w, "Sonde du banc de test Wine.", "À propos.", MB_OK | MB_ICONINFORMATION);
          return 0;
      }
      break;
    case WM_CLOSE:
      askToQuit(w);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(kExitCode);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);

  WNDCLASSA wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "VelmoProbe";
  RegisterClassA(&wc);

  // A fixed client area of 390 x 245 so the harness can check the size it reads.
  RECT r{0, 0, 390, 245};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&r, style, TRUE);
  mainWindow = CreateWindowExA(0, "VelmoProbe", "Sonde Velmo é", style, 40, 40, r.right - r.left,
                               r.bottom - r.top, nullptr, buildMenu(), instance, nullptr);
  if (mainWindow == nullptr) return 1;
  ShowWindow(mainWindow, show);
  UpdateWindow(mainWindow);

  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(mainWindow, &m)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  return static_cast<int>(m.wParam);
}
