// Stand-in for a tool in the Wine tests: writes the folder it runs in (UTF-8) and its
// command line into "started.txt" in that folder, then ends. The launcher's test reads it
// to see that the tool was started, and where.
#include <windows.h>

#include <string>

#include "utf8_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t folder[MAX_PATH * 2] = L"";
    GetCurrentDirectoryW(MAX_PATH * 2, folder);
    std::string record = toUtf8(folder) + "\n" + toUtf8(GetCommandLineW()) + "\n";
    // Written under a temporary name and renamed, so a reader never sees half a file.
    HANDLE f = CreateFileW(L"started.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(f, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(f);
    return MoveFileExW(L"started.tmp", L"started.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
