#pragma once
// cloudwick-feed.conf, the optional options file beside the Windows program:
// one `name=value` a line with the long option names, for example
//   forecast-url=http://127.0.0.1:8089/v1/forecast
//   provider=sample
// Blank lines and lines starting with '#' or ';' are skipped; spaces around
// the name and the value are dropped; CR LF or LF line ends; a UTF-8 byte
// order mark (as Notepad writes) is skipped.
#include <string>
#include <vector>

struct ConfFileResult {
    bool ok = false;
    std::vector<std::string> args;  // "--name", "value", ... for ParseCommandLine
    std::string error;              // "line 3: ...", when !ok
};

ConfFileResult ReadConfFile(const std::string& text);

// The options in force: the file's first, then the command line's, which
// win because a later option overrides an earlier one.
std::vector<std::string> MergedArgs(const std::vector<std::string>& fileArgs,
                                    const std::vector<std::string>& commandLine);
