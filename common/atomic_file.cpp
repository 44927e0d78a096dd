#include "atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "log.h"

namespace {

constexpr int kMaxLinkHops = 40;
// mkostemp's pattern: the file's name, a dot and six letters or digits.
constexpr char kTempSuffix[] = ".XXXXXX";
constexpr size_t kTempLetters = 6;

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a write must replace: a symbolic link is followed to its final target (which need
// not exist yet), so the link stays a link. Empty on a loop or an unreadable link.
std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char target[PATH_MAX];
        ssize_t n = readlink(current.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return std::string();
        std::string next(target, static_cast<size_t>(n));
        current = next[0] == '/' ? next : folderOf(current) + "/" + next;
    }
    return std::string();
}

bool writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text) {
    const std::string target = resolveLinks(path);
    if (target.empty()) {
        logPrint(kLogError, "fail to write config file %s: cannot resolve link", path.c_str());
        return false;
    }

    // The file holds the password: the temporary stays 0600 (as mkostemp makes it) until the
    // text is in it; only then does a rewrite give it the old file's mode and owner.
    mode_t mode = 0600;
    bool keepOwner = false;
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            logPrint(kLogError, "fail to write config file %s: not a regular file", target.c_str());
            return false;
        }
        mode = old.st_mode & 07777;
        keepOwner = geteuid() == 0;
    } else if (errno != ENOENT) {
        logPrint(kLogError, "fail to write config file %s: %s", target.c_str(), strerror(errno));
        return false;
    }

    const std::string folder = folderOf(target);
    std::string temp = target + kTempSuffix;
    // mkostemp creates exclusively, so a planted link at the name is never followed.
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        logPrint(kLogError, "fail to write config file %s: %s", target.c_str(), strerror(errno));
        return false;
    }
    bool ok = writeAll(fd, text) && (!keepOwner || fchown(fd, old.st_uid, old.st_gid) == 0) &&
              fchmod(fd, mode) == 0 && fsync(fd) == 0;
    int savedErrno = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        logPrint(kLogError, "fail to write config file %s: %s", target.c_str(),
                 strerror(savedErrno));
        return false;
    }

    // The new file is in place; only its durability across a power loss is in question here.
    int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0 || fsync(dirFd) != 0) {
        logPrint(kLogWarning, "config file %s written, folder not synced: %s", target.c_str(),
                 strerror(errno));
    }
    if (dirFd >= 0) close(dirFd);
    return true;
}

void removeStaleTemporaries(const std::string& path) {
    const std::string target = resolveLinks(path);
    if (target.empty()) return;
    const std::string folder = folderOf(target);
    const std::string prefix = target.substr(folder == "/" ? 1 : folder.size() + 1) + ".";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kTempLetters ||
            name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool letters = true;
        for (size_t i = prefix.size(); i < name.size(); ++i) {
            const char c = name[i];
            letters = letters &&
                      ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        }
        const std::string full = folder + "/" + name;
        struct stat st;
        // Only plain files of our own pattern; a link or folder of that name is not ours.
        if (!letters || lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (unlink(full.c_str()) == 0) {
            logPrint(kLogWarning, "removed %s, left by an interrupted configuration write",
                     full.c_str());
        }
    }
    closedir(dir);
}
