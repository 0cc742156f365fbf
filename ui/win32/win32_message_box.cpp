// Message boxes of the Win32 backend: modal for the whole program, owned by the program's
// window in front.
#include "ui/win32/win32_internal.h"

namespace velmo::ui::win32 {

namespace {

struct DisableContext {
    HWND owner;
    std::vector<HWND> disabled;
};

BOOL CALLBACK disableThreadWindow(HWND h, LPARAM lp) {
    auto* ctx = reinterpret_cast<DisableContext*>(lp);
    if (h != ctx->owner && IsWindowVisible(h) && IsWindowEnabled(h) && isOurWindow(h)) {
        EnableWindow(h, FALSE);
        ctx->disabled.push_back(h);
    }
    return TRUE;
}

}  // namespace

MessageBoxResult showMessageBox(const std::string& title, const std::string& text, MessageIcon icon,
                                MessageButtons buttons) {
    HWND owner = GetForegroundWindow();
    DWORD pid = 0;
    if (owner) GetWindowThreadProcessId(owner, &pid);
    if (pid != GetCurrentProcessId()) owner = nullptr;
    if (owner) owner = GetAncestor(owner, GA_ROOT);
    DisableContext ctx{owner, {}};
    EnumThreadWindows(GetCurrentThreadId(), disableThreadWindow, reinterpret_cast<LPARAM>(&ctx));
    UINT flags = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
        case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
        case MessageIcon::Warning: flags |= MB_ICONWARNING; break;
        case MessageIcon::Error: flags |= MB_ICONERROR; break;
        case MessageIcon::None: break;
    }
    if (!owner) flags |= MB_TASKMODAL;
    int r = MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), flags | MB_SETFOREGROUND);
    for (HWND h : ctx.disabled) {
        if (IsWindow(h)) EnableWindow(h, TRUE);
    }
    if (r == IDYES) return MessageBoxResult::Yes;
    if (r == IDNO) return MessageBoxResult::No;
    return MessageBoxResult::Ok;
}

}  // namespace velmo::ui::win32
