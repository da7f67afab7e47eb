#include "app/file_io.h"
#include "app/settings.h"

namespace {
// Eight short lines; anything past this is never read.
const size_t kMaxSettingsBytes = 64 * 1024;

}  // namespace

FileRead LoadSettingsFile(const std::string& path, AppSettings& s, SettingsForm* form) {
    std::string bytes;
    const FileRead read = ReadFileStart(path, kMaxSettingsBytes, bytes);
    SettingsForm found = SettingsForm::Designed;
    const std::string text = SettingsBytesAsAnsi(bytes, found);
    if (form) *form = found;
    if (read != FileRead::Read) {
        CopyFileFields(s, FirstRunSettings());
        return read;
    }
    // Lines the file lacks keep the program's start values, not earlier ones.
    CopyFileFields(s, AppSettings{});
    ParseSettingsText(text, s);
    return read;
}

FileWrite SaveSettingsFile(const std::string& path, const AppSettings& s) {
    return ReplaceFileWith(path, FormatSettingsText(s));
}

std::string SaveFailureText(FileWrite cause, const std::string& path) {
    const std::string head = "Cloudwick could not save your settings to\r\n" + path + "\r\n\r\n";
    switch (cause) {
    case FileWrite::Written: return std::string();
    case FileWrite::InUse:
        return head + "Another program is using the file (an editor, a backup or virus scanner). Close it: "
                      "Cloudwick saves again at your next change.";
    case FileWrite::FolderNotWritable:
        return head + "Cloudwick may not write in its folder. Move Cloudwick to a folder you can write to.";
    case FileWrite::FolderMissing:
        return head + "Its folder is gone.";
    case FileWrite::DiskFull:
        return head + "The disk is full. Make room on it: Cloudwick saves again at your next change.";
    case FileWrite::Failed: break;
    }
    return head + "Windows did not say why.";
}

std::string SettingsMovedText(const std::string& exeFolder, const std::string& path) {
    return "Cloudwick may not write in its folder\r\n" + exeFolder + "\r\n\r\nso it keeps your settings in\r\n" +
           path;
}
