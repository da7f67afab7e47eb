#pragma once
// cloudwick-feed.log beside the program: lines appended as they come,
// capped in size (the last part is kept). Other programs may read it, and
// delete it, while the service runs.
#include <mutex>
#include <string>

#include "http/log_tail.h"

class LogFile {
public:
    explicit LogFile(const std::string& path, LogCap cap = {});
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Appends `text` (whole lines); safe from any thread. Without a file
    // (a folder the user cannot write to) it does nothing.
    void Write(const std::string& text);

private:
    void Trim();

    LogCap cap_;
    std::mutex mutex_;
    void* file_;  // HANDLE
};
