#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "app/file_io.h"

FileRead ReadFileStart(const std::string& path, size_t maxBytes, std::string& text) {
    text.clear();
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
    text.resize(maxBytes);
    size_t got = 0;
    while (got < maxBytes) {
        ssize_t n = read(fd, &text[got], maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            text.clear();
            return FileRead::Unreadable;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    text.resize(got);
    return FileRead::Read;
}

namespace {
FileWrite CauseOf(int error) {
    switch (error) {
    case EBUSY:
    case ETXTBSY: return FileWrite::InUse;
    case EACCES:
    case EPERM:
    case EROFS: return FileWrite::FolderNotWritable;
    case ENOENT:
    case ENOTDIR: return FileWrite::FolderMissing;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileWrite::DiskFull;
    default: return FileWrite::Failed;
    }
}
}  // namespace

FileWrite ReplaceFileWith(const std::string& path, const std::string& text) {
    const std::string temp = path + ".new";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return CauseOf(errno);
    size_t put = 0;
    int error = 0;
    while (error == 0 && put < text.size()) {
        ssize_t n = write(fd, text.data() + put, text.size() - put);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        else if (n == 0) error = ENOSPC;
        else put += static_cast<size_t>(n);
    }
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) == 0) return FileWrite::Written;
    if (error == 0) error = errno;
    std::remove(temp.c_str());
    return CauseOf(error);
}

bool CanReplaceFile(const std::string& path) {
    if (access(path.c_str(), F_OK) == 0 && access(path.c_str(), W_OK) != 0) return false;
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    return access(folder.c_str(), W_OK) == 0;
}

std::string UnicodeToAnsi(const std::string& utf16) {
    // The tests' stand-in for the ANSI code page: Latin-1.
    std::string out;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const unsigned u = static_cast<unsigned char>(utf16[i]) | static_cast<unsigned char>(utf16[i + 1]) << 8;
        out += u < 0x100 ? static_cast<char>(u) : '?';
    }
    return out;
}
