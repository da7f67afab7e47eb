// The state folder's file operations on Linux (state_store.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "state/state_store.h"

bool MakeStateFolder(const std::string& folder, std::string& error) {
    if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
    error = std::strerror(errno);
    return false;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temp = path + ".new";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == bytes.size() && fsync(fd) == 0;
    const int writeErrno = errno;
    close(fd);
    if (!written || rename(temp.c_str(), path.c_str()) != 0) {
        error = std::strerror(written ? errno : writeErrno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReadFileContents(const std::string& path, std::size_t limit, std::string& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[8192];
    std::size_t n;
    while (out.size() <= limit && (n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return true;
}
