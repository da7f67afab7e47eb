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
        return head + "Another program is using the file (an editor, a backup or virus scanner). Close it "
                      "before you end Cloudwick next time: this time's choices are not saved.";
    case FileWrite::FolderNotWritable:
        return head + "Cloudwick may not write in its folder. Move Cloudwick to a folder you can write to "
                      "(for example one in your Documents).";
    case FileWrite::FolderMissing:
        return head + "Its folder is gone (deleted or moved while Cloudwick ran). Start Cloudwick again from "
                      "where it is now.";
    case FileWrite::DiskFull:
        return head + "The disk is full. Make room on it before you end Cloudwick next time: this time's "
                      "choices are not saved.";
    case FileWrite::Failed: break;
    }
    return head + "Windows did not say why. Check that the folder still exists and can be written to.";
}

std::string SettingsMovedText(const std::string& exeFolder, const std::string& path) {
    return "Cloudwick may not write in its folder\r\n" + exeFolder +
           "\r\n\r\nso it keeps your settings (the place, the units and where the card stands) for you in\r\n" +
           path + "\r\n\r\nand reads them from there each time it starts.";
}
