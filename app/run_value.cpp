#include "app/run_value.h"

const char* const kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunValueName = "Cloudwick";

namespace {

std::string RootName(RunRoot root) {
    return std::string(root == RunRoot::Machine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + kRunKeyPath;
}

std::string Cause(long error) {
    switch (error) {
    case kRegAccessDenied: return "access is denied.";
    case kRegKeyMissing: return "the key does not exist.";
    case kRegValueTooLong:
        return std::string("a \"") + kRunValueName +
               "\" value is already there, too long to read; delete it with the Registry Editor.";
    default: return "Windows error " + std::to_string(error) + ".";
    }
}

// A paragraph for each key that failed: who it is for, where, and why; then
// what to do once the cause is gone.
std::string Causes(long machine, long user, const char* again) {
    std::string text;
    if (machine != 0) text += "For all users (" + RootName(RunRoot::Machine) + "): " + Cause(machine) + "\r\n\r\n";
    if (user != 0) text += "For you (" + RootName(RunRoot::User) + "): " + Cause(user) + "\r\n\r\n";
    return text + (machine != 0 && user != 0 ? "Once one of these is fixed, " : "Once that is fixed, ") + again;
}

}  // namespace

std::string RunCommand(const std::string& exePath) { return "\"" + exePath + "\""; }

std::string RunPathProblem(const std::string& exePath) {
    if (exePath.empty())
        return "Cloudwick could not set itself to start with Windows: Windows did not tell it where it is.";
    return std::string();
}

RunValueResult SetStartOnWindows(RunRegistry& registry, bool on, const std::string& exePath) {
    RunValueResult result;
    if (!on) {
        const long machine = registry.Remove(RunRoot::Machine);
        const long user = registry.Remove(RunRoot::User);
        result.starts = machine != 0 || user != 0;
        if (result.starts)
            result.message = "Cloudwick could not remove itself from starting with Windows, and will still "
                             "start with Windows.\r\n\r\n" +
                             Causes(machine, user, "untick \"Start on Windows\" again.");
        return result;
    }
    const long machine = registry.Write(RunRoot::Machine, exePath);
    if (machine == 0 || registry.Holds(RunRoot::Machine, exePath)) {
        registry.Remove(RunRoot::User);
        result.starts = true;
        return result;
    }
    const long user = registry.Write(RunRoot::User, exePath);
    result.starts = user == 0;
    if (!result.starts)
        result.message = "Cloudwick could not set itself to start with Windows.\r\n\r\n" +
                         Causes(machine, user, "tick \"Start on Windows\" again.");
    return result;
}
