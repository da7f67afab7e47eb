#include "config/conf_file.h"

#include "config/command_line.h"
#include "model/ascii.h"

ConfFileResult ReadConfFile(const std::string& text) {
    ConfFileResult r;
    std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int lineNo = 1; start < text.size(); ++lineNo) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = AsciiTrim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        const std::size_t eq = line.find('=');
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (eq == std::string::npos) {
            r.error = where + "wants name=value, for example provider=sample";
            return r;
        }
        const std::string name = AsciiTrim(line.substr(0, eq));
        if (!IsFileOption(name)) {
            r.error = where + "unknown option name \"" + name.substr(0, 40) + "\"";
            return r;
        }
        r.args.push_back("--" + name);
        r.args.push_back(AsciiTrim(line.substr(eq + 1)));
    }
    r.ok = true;
    return r;
}

std::vector<std::string> MergedArgs(const std::vector<std::string>& fileArgs,
                                    const std::vector<std::string>& commandLine) {
    std::vector<std::string> all = fileArgs;
    all.insert(all.end(), commandLine.begin(), commandLine.end());
    return all;
}
