#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/process.h"
#include "platform/text_codec.h"

namespace velmo::process {
namespace {

std::wstring wide(const std::string& s) { return text::cp1252ToWide(s); }

}  // namespace

bool createProcess(const std::string& commandLine, const std::string& workingDirectory) {
    std::wstring line = wide(commandLine);
    std::wstring dir = wide(workingDirectory);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                             nullptr, dir.empty() ? nullptr : dir.c_str(), &si, &pi);
    if (!ok) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool shellOpen(const std::string& target, const std::string& arguments,
               const std::string& workingDirectory) {
    std::wstring t = wide(target), a = wide(arguments), d = wide(workingDirectory);
    HINSTANCE r = ShellExecuteW(nullptr, L"open", t.c_str(), a.empty() ? nullptr : a.c_str(),
                                d.empty() ? nullptr : d.c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

OsVersion osVersion() {
    OsVersion v;
    // GetVersionEx lies to programs without a compatibility manifest; RtlGetVersion does not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                          reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                    : nullptr;
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (fn && fn(&info) == 0) {
        v.major = static_cast<int>(info.dwMajorVersion);
        v.minor = static_cast<int>(info.dwMinorVersion);
        v.workstation = info.wProductType == VER_NT_WORKSTATION;
    }
    return v;
}

}  // namespace velmo::process
