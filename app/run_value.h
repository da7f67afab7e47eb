#pragma once
// Start with Windows: a value "Cloudwick" under the Run key, holding the
// exe's path. The machine-wide value (HKEY_LOCAL_MACHINE, for every user) is
// written when it can be; when it cannot (an account without administrator
// rights), the same value goes under HKEY_CURRENT_USER, for this user. The
// decisions are made here; the registry calls sit behind RunRegistry.
#include <string>

extern const char* const kRunKeyPath;    // "Software\Microsoft\Windows\CurrentVersion\Run"
extern const char* const kRunValueName;  // "Cloudwick"

enum class RunRoot { Machine, User };  // HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER

// The Windows error numbers the registry calls report that the user is told
// about in words; any other is shown as its number.
const long kRegKeyMissing = 2;      // ERROR_FILE_NOT_FOUND, on opening the key
const long kRegAccessDenied = 5;    // ERROR_ACCESS_DENIED
const long kRegValueTooLong = 234;  // ERROR_MORE_DATA: a value there is longer than the 1024 bytes read

class RunRegistry {
public:
    virtual ~RunRegistry() = default;
    // Writes `data` as the value; the key is opened, never created. 0, or
    // the error of the step that failed.
    virtual long Write(RunRoot root, const std::string& data) = 0;
    // The value exists and holds exactly `data`.
    virtual bool Holds(RunRoot root, const std::string& data) = 0;
    // Removes the value: 0 when none is left (none there counts), else the error.
    virtual long Remove(RunRoot root) = 0;
};

struct RunValueResult {
    bool starts = false;  // a value is in place: StartOnWindows 1
    std::string message;  // for the user; empty when it went as asked
};

// "Start on Windows" ticked (`on`) or not, on "Okay". Ticked: the machine
// value, or when that cannot be written (and does not already hold the
// path) the user value. With the machine value in place, a user value
// from earlier is removed, so that no second card starts. Unticked: both
// are removed. A message, naming the cause at each root, comes only when
// neither value could be written, or when one could not be removed.
RunValueResult SetStartOnWindows(RunRegistry& registry, bool on, const std::string& exePath);

// The Run value's data for the exe at `exePath` (the running exe's own
// path, whatever the file is called): the path in double quotes, so that
// Windows does not split it at a space ("C:\Program Files\...").
std::string RunCommand(const std::string& exePath);

// Empty, or why the exe at `exePath` (UTF-8, as the wide calls read it)
// cannot be started from the Run value: Windows did not say where it is.
// A folder named in any script is written as it is, through the wide call.
std::string RunPathProblem(const std::string& exePath);
