#include "app/app_win.h"

#include "app/design_window_win.h"
#include "app/wide_path_win.h"

namespace {
// False once the file was there but could not be read: what it holds must survive this run.
bool mayWriteSettings = true;
std::string settingsPath;  // decided at the load
FileWrite lastFailure = FileWrite::Written;
const int kReadAttempts = 10;
const DWORD kReadRetryMs = 150;
const wchar_t kStateKey[] = L"Software\\Cloudwick";
const wchar_t kUntoldFailure[] = L"Unsaved";  // a FileWrite cause, as a number

std::string FolderSettingsPath() { return ExeFolder() + "\\" + kSettingsFileName; }

std::string ProfileSettingsFolder() {
    const std::string appData = AppDataFolder();
    return appData.empty() ? std::string() : appData + "\\Cloudwick";
}

// A failure at the end of a session, kept for the next start: the user's
// own registry key can be written when the settings' folder cannot.
void KeepUntold(FileWrite cause) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kStateKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const DWORD number = static_cast<DWORD>(cause);
    RegSetValueExW(key, kUntoldFailure, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegCloseKey(key);
}

FileWrite TakeUntold() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kStateKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return FileWrite::Written;
    DWORD number = 0, bytes = sizeof(number), type = 0;
    if (RegQueryValueExW(key, kUntoldFailure, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || number > static_cast<DWORD>(FileWrite::Failed))
        number = 0;
    RegDeleteValueW(key, kUntoldFailure);
    RegCloseKey(key);
    return static_cast<FileWrite>(number);
}

bool FolderLost(FileWrite cause) { return cause == FileWrite::FolderNotWritable || cause == FileWrite::FolderMissing; }

// One save; a folder that cannot (or can no longer) be written sends the
// settings to the user's profile, and the user is told where. `told` is
// what the user should hear, empty when nothing.
FileWrite Save(const AppSettings& settings, std::string& told) {
    FileWrite saved = SaveSettingsFile(settingsPath, settings);
    const std::string profile = ProfileSettingsFolder();
    const std::string profileFile = profile + "\\" + kSettingsFileName;
    if (FolderLost(saved) && !profile.empty() && settingsPath != profileFile) {
        const std::string from = settingsPath;
        settingsPath = profileFile;
        MakeFolder(profile);
        saved = SaveSettingsFile(settingsPath, settings);
        if (saved == FileWrite::Written) {
            told = SettingsMovedText(from.substr(0, from.find_last_of('\\')), settingsPath);
        }
    } else if (saved == FileWrite::FolderMissing && settingsPath == profileFile) {
        // The profile's folder deleted while the card runs: made again.
        MakeFolder(profile);
        saved = SaveSettingsFile(settingsPath, settings);
    }
    if (saved == FileWrite::Written) {
        lastFailure = FileWrite::Written;
    } else if (saved != lastFailure) {
        lastFailure = saved;
        told = SaveFailureText(saved, settingsPath);
    }
    return saved;
}
}  // namespace

std::string SettingsPath() { return settingsPath.empty() ? FolderSettingsPath() : settingsPath; }

void TellUser(HWND owner, const std::string& text) {
    MessageBoxW(owner, WideText(text).c_str(), L"Cloudwick", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

void LoadSettingsOrTell(AppSettings& settings) {

    // Beside the exe, as designed, while that folder can be written; else
    // the user's own copy in their profile, or, before there is one, the
    // file that came with the card (a copy on a read-only share).
    const std::string folderFile = FolderSettingsPath();
    const std::string profile = ProfileSettingsFolder();
    const std::string profileFile = profile + "\\" + kSettingsFileName;
    settingsPath = folderFile;
    bool moveNow = false;
    if (!profile.empty() && !CanReplaceFile(folderFile)) {
        std::string probe;
        if (ReadFileStart(profileFile, 1, probe) != FileRead::Missing)
            settingsPath = profileFile;
        else
            moveNow = true;
    }
    SettingsForm form = SettingsForm::Designed;
    FileRead read = LoadSettingsFile(settingsPath, settings, &form);
    for (int attempt = 1; read == FileRead::Unreadable && attempt < kReadAttempts; ++attempt) {
        Sleep(kReadRetryMs);
        read = LoadSettingsFile(settingsPath, settings, &form);
    }
    if (read == FileRead::Unreadable) {
        mayWriteSettings = false;
        TellUser(nullptr, "Cloudwick could not read its settings from\r\n" + settingsPath +
                              "\r\n\r\nAnother program may be holding the file. Cloudwick starts with its first "
                              "settings this time and leaves the file as it is: nothing you choose now is saved.");
        return;
    }
    const FileWrite untold = TakeUntold();
    if (untold != FileWrite::Written)
        TellUser(nullptr, SaveFailureText(untold, settingsPath));
    // A file saved by an editor in another form goes back in the designed
    // one; a card that cannot write its folder makes the profile's copy now,
    // so the user hears where once, at this start.
    if ((read == FileRead::Read && form != SettingsForm::Designed) || moveNow) SaveSettingsOrTell(nullptr, settings);
}

namespace {
void SaveSettings(HWND owner, const AppSettings& settings, bool sessionEnds) {
    if (!mayWriteSettings) return;
    std::string told;
    const FileWrite saved = Save(settings, told);
    if (sessionEnds) {
        if (saved != FileWrite::Written) KeepUntold(saved);
    } else if (!told.empty()) {
        TellUser(owner, told);
    }
}
}  // namespace

void SaveSettingsOrTell(HWND owner, const AppSettings& settings) { SaveSettings(owner, settings, false); }

void SaveSettingsAtSessionEnd(const AppSettings& settings) { SaveSettings(nullptr, settings, true); }

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (DesignWindow::TranslateDialogKeys(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
