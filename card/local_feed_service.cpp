#include "card/local_feed_service.h"

const char* const kLocalServiceExe = "cloudwick-feed.exe";

namespace {
char LowerAscii(uint16_t c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c < 0x80 ? static_cast<char>(c) : '?';
}

// Whether units[from, from + n) starts with `prefix` (lower-case ASCII), ignoring case.
bool HasAt(const uint16_t* units, std::size_t from, std::size_t end, const char* prefix) {
    for (; *prefix; ++prefix, ++from)
        if (from >= end || LowerAscii(units[from]) != *prefix) return false;
    return true;
}

// Windows' error codes, by value: this file is built natively too.
const unsigned long kFileNotFound = 2, kPathNotFound = 3, kAccessDenied = 5, kBadFormat = 11,
                    kInvalidExeSignature = 191, kBadExeFormat = 193, kMachineMismatch = 216,
                    kVirusInfected = 225, kVirusDeleted = 226, kDisabledByPolicy = 1260,
                    kIntegrityFirst = 4550, kIntegrityLast = 4599;  // ERROR_SYSTEM_INTEGRITY_*

// '*' stands for the service's file name.
const char* const kNoServiceTexts[] = {
    "",
    "* is missing beside Cloudwick.exe",
    "Unpack the zip first",
    "Windows blocked *",
    "Antivirus blocked *",
    "Windows blocked *",  // a policy
    "Smart App Control blocked *",
    "* is damaged",
    "* ended at once (code ",
    "* never listened",
    "* failed (error ",
};
static_assert(sizeof(kNoServiceTexts) / sizeof(kNoServiceTexts[0]) == NoService::NotStarted + 1, "one text per kind");
}  // namespace

bool IsThisMachine(const std::string& host) {
    const char* const names[] = {"localhost", "127.0.0.1"};
    for (const char* name : names) {
        size_t i = 0;
        while (i < host.size() && name[i] && LowerAscii(static_cast<unsigned char>(host[i])) == name[i]) ++i;
        if (i == host.size() && !name[i]) return true;
    }
    return false;
}

bool UsesLocalService(const std::string& feedHost, const std::string& placeSearchHost) {
    return IsThisMachine(feedHost) || IsThisMachine(placeSearchHost);
}

void FolderKey(const uint16_t* units, std::size_t count, char out[9]) {
    uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < count; ++i) {
        h = (h ^ (units[i] & 0xFFu)) * 16777619u;
        h = (h ^ static_cast<uint32_t>(units[i] >> 8)) * 16777619u;
    }
    for (int i = 0; i < 8; ++i) out[i] = "0123456789abcdef"[(h >> (28 - 4 * i)) & 15];
    out[8] = 0;
}

bool LooksInsideZip(const uint16_t* folder, std::size_t count) {
    while (count > 0 && (folder[count - 1] == '\\' || folder[count - 1] == '/')) --count;
    std::size_t last = count;
    while (last > 0 && folder[last - 1] != '\\' && folder[last - 1] != '/') --last;
    // Any folder of the path named like a zip: Explorer's "Temp1_x.zip", or a zip opened as a folder.
    for (std::size_t i = 0; i + 4 <= count; ++i)
        if (HasAt(folder, i, count, ".zip") && (i + 4 == count || folder[i + 4] == '\\')) return true;
    return HasAt(folder, last, count, "7zo") || HasAt(folder, last, count, "rar$ex");
}

NoService StartRefusal(unsigned long error, bool insideZip) {
    NoService why;
    why.code = error;
    if (error == kFileNotFound || error == kPathNotFound)
        why.kind = insideZip ? NoService::InsideZip : NoService::Missing;
    else if (error == kAccessDenied)
        why.kind = NoService::Refused;
    else if (error == kVirusInfected || error == kVirusDeleted)
        why.kind = NoService::Antivirus;
    else if (error == kDisabledByPolicy)
        why.kind = NoService::Policy;
    else if (error >= kIntegrityFirst && error <= kIntegrityLast)
        why.kind = NoService::SmartAppControl;
    else if (error == kBadFormat || error == kBadExeFormat || error == kInvalidExeSignature || error == kMachineMismatch)
        why.kind = NoService::Damaged;
    else
        why.kind = NoService::NotStarted;
    return why;
}

std::string NoServiceText(const NoService& why) {
    char text[96];  // the longest text and a code fit
    char* out = text;
    for (const char* c = kNoServiceTexts[why.kind]; *c; ++c) {
        if (*c != '*') {
            *out++ = *c;
            continue;
        }
        for (const char* e = kLocalServiceExe; *e; ++e) *out++ = *e;
    }
    if (why.kind == NoService::EndedAtOnce || why.kind == NoService::NotStarted) {
        char digits[10];
        int n = 0;
        unsigned long v = why.code;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v > 0 && n < 10);
        while (n > 0) *out++ = digits[--n];
        *out++ = ')';
    }
    return std::string(text, static_cast<size_t>(out - text));
}
