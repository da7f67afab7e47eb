#include "app/app_win.h"

#include "app/design_window_win.h"

std::string ExePath() {
    // A path longer than MAX_PATH is cut to the buffer without an error on
    // Windows XP-era rules: grow the buffer until the whole path fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

std::string ExeFolder() {
    const std::string p = ExePath();
    size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

std::string SettingsPath() { return ExeFolder() + "\\" + kSettingsFileName; }

namespace {
// False once the file was there but could not be read: what it holds must survive this run.
bool mayWriteSettings = true;
const int kReadAttempts = 10;
const DWORD kReadRetryMs = 150;

void Tell(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), "Cloudwick", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}
}  // namespace

void LoadSettingsOrTell(AppSettings& settings) {
    const std::string path = SettingsPath();
    FileRead read = LoadSettingsFile(path, settings);
    for (int attempt = 1; read == FileRead::Unreadable && attempt < kReadAttempts; ++attempt) {
        Sleep(kReadRetryMs);
        read = LoadSettingsFile(path, settings);
    }
    if (read != FileRead::Unreadable) return;
    mayWriteSettings = false;
    Tell(nullptr, "Cloudwick could not read its settings from\r\n" + path +
                      "\r\n\r\nAnother program may be holding the file. Cloudwick starts with its first "
                      "settings this time and leaves the file as it is: nothing you choose now is saved.");
}

void SaveSettingsOrTell(HWND owner, const AppSettings& settings) {
    if (!mayWriteSettings) return;
    const std::string path = SettingsPath();
    const FileWrite saved = SaveSettingsFile(path, settings);
    if (saved != FileWrite::Written) Tell(owner, SaveFailureText(saved, path));
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (DesignWindow::TranslateDialogKeys(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
