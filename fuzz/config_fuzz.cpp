// The configuration file loader: any config.json either loads or leaves a store that refuses
// every access; reads of every kind and a write then behave (a write to a refused store must
// fail and leave the file as it was).

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config_store.h"

namespace {

std::string g_dir;

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is such a folder: every write is synced.
    char shm[] = "/dev/shm/fuzz_config.XXXXXX", tmp[] = "/tmp/fuzz_config.XXXXXX";
    char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    if (dir == nullptr) return 1;
    g_dir = dir;
    std::atexit(RemoveDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = g_dir + "/config.json";
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }
    ConfigStore store;
    store.Load(g_dir);
    int i = 0;
    unsigned u = 0;
    std::string s;
    value v;
    const bool usable = store.GetValue(v);
    store.GetInt(i, "settings", "ServerPort");
    store.GetUInt(u, "settings", "SMARTInterval");
    store.GetString(s, "password");
    store.FindInt(i, "domain0", "RebuildPriority");
    store.FindString(s, "mail", "SMTP_Server");
    std::vector<ScheduledTask> tasks;
    store.GetTasks(tasks);
    MailSettings mail;
    store.GetMailSettings(mail);
    const bool wrote = store.SetInt(1, "settings", "RestrictLocal");
    if (!usable && (wrote || ReadFile(file) != text)) __builtin_trap();
    std::remove(file.c_str());
    return 0;
}
