#include "sg_sys.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

class CLibcSgSys : public CSgSys {
public:
    int ListDir(const char* dir, std::vector<std::string>& names) override {
        DIR* d = opendir(dir);
        if (d == nullptr) return -1;
        int rc = 0;
        try {
            names.clear();
            while (const dirent64* e = readdir64(d)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
                names.emplace_back(e->d_name);
            }
        } catch (...) {
            rc = -1;
        }
        closedir(d);
        return rc;
    }

    int Open(const char* path, int flags) override { return open64(path, flags); }

    int Ioctl(int fd, unsigned long request, sg_io_hdr* hdr) override {
        return ioctl(fd, request, hdr);
    }

    int Close(int fd) override { return close(fd); }
};

CLibcSgSys g_libcSgSys;
std::atomic<CSgSys*> g_sgSys{&g_libcSgSys};

}  // namespace

CSgSys& SgSys() {
    return *g_sgSys.load(std::memory_order_acquire);
}

void SetSgSys(CSgSys* sys) {
    g_sgSys.store(sys != nullptr ? sys : &g_libcSgSys, std::memory_order_release);
}
