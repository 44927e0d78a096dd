#include "config_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "log.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class ConfigStoreTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "configtest.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        dir = root / "etc";
        fs::create_directories(dir);
        file = dir / "config.json";
        logPath = root / "service.log";
        ASSERT_EQ(logOpen(logPath.c_str(), nullptr, 0), 0);
    }
    void TearDown() override {
        logClose();
        fs::remove_all(root);
    }
    std::string log() { return readFile(logPath); }

    fs::path root, dir, file, logPath;
    ConfigStore store;
};

TEST_F(ConfigStoreTest, NoFileGivesDefaultsAndFirstWriteCreatesPrivateFile) {
    ASSERT_TRUE(store.Load(dir.string()));
    EXPECT_EQ(store.Path(), file.string());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_NE(log().find("<12>"), std::string::npos);  // level 4 notice
    EXPECT_NE(log().find("fail to load config file - using default settings"), std::string::npos);

    // The admin's password is the empty one, not the text "null".
    std::string password = "x";
    EXPECT_EQ(store.FindString(password, "password"), ConfigRead::kFound);
    EXPECT_EQ(password, "");
    int port = -1;
    EXPECT_EQ(store.FindInt(port, "settings", "ServerPort"), ConfigRead::kMissing);
    EXPECT_EQ(port, -1);
    EXPECT_TRUE(store.GetInt(port, "settings", "ServerPort"));
    EXPECT_EQ(port, 0);

    mode_t oldMask = umask(0);  // the mode must not depend on the caller's umask
    EXPECT_TRUE(store.SetInt(8080, "settings", "ServerPort"));
    umask(oldMask);
    ASSERT_TRUE(fs::exists(file));
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(filesIn(dir), std::set<std::string>{"config.json"});

    value onDisk;
    ASSERT_TRUE(json::parse(readFile(file), onDisk));
    EXPECT_EQ(onDisk, value({{"password", ""}, {"settings", {{"ServerPort", 8080}}}}));

    ConfigStore reloaded;
    ASSERT_TRUE(reloaded.Load(dir.string()));
    EXPECT_EQ(reloaded.FindString(password, "password"), ConfigRead::kFound);
    EXPECT_EQ(password, "");
    EXPECT_TRUE(reloaded.GetInt(port, "settings", "ServerPort"));
    EXPECT_EQ(port, 8080);
}

TEST_F(ConfigStoreTest, TypedReadsFollowTheConversionRules) {
    writeFile(file, R"({
        "password": "pw",
        "settings": {"ServerPort": "0x3C", "RestrictLocal": true, "SMARTInterval": 30.9,
                     "Octal": "017", "Zero": 0, "Null": null, "Neg": -1, "Name": "box 1"},
        "domain1": {"RebuildPriority": 2}
    })");
    ASSERT_TRUE(store.Load(dir.string()));
    struct Case {
        const char* section;
        const char* key;
        int asInt;
        unsigned asUInt;
        const char* asText;
        ConfigRead presence;
    };
    const Case cases[] = {
        {"settings", "ServerPort", 60, 60, "0x3C", ConfigRead::kFound},
        {"settings", "RestrictLocal", 1, 1, "true", ConfigRead::kFound},
        {"settings", "SMARTInterval", 30, 30, "30.9", ConfigRead::kFound},
        {"settings", "Octal", 15, 15, "017", ConfigRead::kFound},
        {"settings", "Zero", 0, 0, "0", ConfigRead::kFound},  // a stored 0 is present
        {"settings", "Neg", -1, 0xFFFFFFFFu, "-1", ConfigRead::kFound},
        {"settings", "Name", 0, 0, "box 1", ConfigRead::kFound},
        {"settings", "Null", 0, 0, "null", ConfigRead::kMissing},
        {"settings", "Absent", 0, 0, "null", ConfigRead::kMissing},
        {"domain1", "RebuildPriority", 2, 2, "2", ConfigRead::kFound},
        {"domain0", "RebuildPriority", 0, 0, "null", ConfigRead::kMissing},  // no section
        {"password", "deeper", 0, 0, "null", ConfigRead::kMissing},          // not an object
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.section << "/" << c.key);
        int i = -5;
        unsigned u = 5;
        std::string text;
        ASSERT_TRUE(store.GetInt(i, c.section, c.key));
        ASSERT_TRUE(store.GetUInt(u, c.section, c.key));
        ASSERT_TRUE(store.GetString(text, c.section, c.key));
        EXPECT_EQ(i, c.asInt);
        EXPECT_EQ(u, c.asUInt);
        EXPECT_EQ(text, c.asText);
        int found = -5;
        EXPECT_EQ(store.FindInt(found, c.section, c.key), c.presence);
        EXPECT_EQ(found, c.presence == ConfigRead::kFound ? c.asInt : -5);
    }
    value all;
    ASSERT_TRUE(store.GetValue(all));
    EXPECT_EQ(json::member(all, "password"), "pw");
}

TEST_F(ConfigStoreTest, UnusableFileFailsEveryAccessAndIsKept) {
    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"syntax error", [&] { writeFile(file, "{\"password\": \"secret\",}"); }},
        {"empty file", [&] { writeFile(file, ""); }},
        {"not an object", [&] { writeFile(file, "[\"password\", \"\"]"); }},
        {"invalid UTF-8", [&] { writeFile(file, "{\"password\": \"\xC3\x28\"}"); }},
        {"unreadable (a folder)", [&] { fs::create_directory(file); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file);
        writeFile(logPath, "");
        c.plant();
        const bool isDir = fs::is_directory(file);
        const std::string before = isDir ? "" : readFile(file);

        ConfigStore s;
        ASSERT_TRUE(s.Load(dir.string()));  // the service still starts
        EXPECT_NE(log().find("<11>"), std::string::npos) << log();

        int i = 7;
        std::string text = "untouched";
        value v = "untouched";
        MailSettings mail;
        mail.Sender = "untouched";
        std::vector<ScheduledTask> tasks(1);
        EXPECT_FALSE(s.GetInt(i, "settings", "ServerPort"));
        EXPECT_FALSE(s.GetString(text, "password"));
        EXPECT_EQ(s.FindString(text, "password"), ConfigRead::kUnreadable);
        EXPECT_FALSE(s.GetValue(v, "settings"));
        EXPECT_FALSE(s.GetTasks(tasks));
        EXPECT_FALSE(s.GetMailSettings(mail));
        EXPECT_EQ(i, 7);
        EXPECT_EQ(text, "untouched");
        EXPECT_EQ(v, "untouched");
        EXPECT_EQ(mail.Sender, "untouched");
        EXPECT_TRUE(tasks.empty());

        EXPECT_FALSE(s.SetString("", "password"));
        EXPECT_FALSE(s.SetValue(value::object({{"password", ""}})));
        EXPECT_EQ(fs::is_directory(file), isDir);
        if (!isDir) {
            EXPECT_EQ(readFile(file), before);
        }
        EXPECT_EQ(filesIn(dir), std::set<std::string>{"config.json"});
    }

    // Once repaired, loading again brings the store back.
    fs::remove_all(file);
    writeFile(file, R"({"password": "secret"})");
    ASSERT_TRUE(store.Load(dir.string()));
    std::string password;
    EXPECT_TRUE(store.GetString(password, "password"));
    EXPECT_EQ(password, "secret");
}

TEST_F(ConfigStoreTest, NotLoadedStoreRefusesAccess) {
    int i = 3;
    EXPECT_FALSE(store.GetInt(i, "settings", "ServerPort"));
    EXPECT_FALSE(store.SetInt(1, "settings", "ServerPort"));
    EXPECT_EQ(i, 3);
}

// A write that fails leaves the old file whole, no temporary file behind, and the document as
// it was.
TEST_F(ConfigStoreTest, FailedWriteKeepsOldFileAndDocument) {
    const std::string original = R"({"password": "secret", "settings": {"ServerPort": 8080}})";
    struct Case {
        const char* name;
        std::function<void()> before;
        std::function<void()> after;
    };
    const Case cases[] = {
        {"file size limit hit in the middle of the write",
         [] {
             // A real short write: the kernel refuses bytes beyond the limit.
             signal(SIGXFSZ, SIG_IGN);
             rlimit lim;
             getrlimit(RLIMIT_FSIZE, &lim);
             lim.rlim_cur = 100;
             setrlimit(RLIMIT_FSIZE, &lim);
         },
         [] {
             rlimit lim;
             getrlimit(RLIMIT_FSIZE, &lim);
             lim.rlim_cur = lim.rlim_max;
             setrlimit(RLIMIT_FSIZE, &lim);
             signal(SIGXFSZ, SIG_DFL);
         }},
        {"link loop",
         [&] {
             fs::rename(file, dir / "saved.json");
             fs::create_symlink("config.json", file);
         },
         [&] {
             fs::remove(file);
             fs::rename(dir / "saved.json", file);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(file, original);
        ConfigStore s;
        ASSERT_TRUE(s.Load(dir.string()));
        const auto filesBefore = filesIn(dir);

        c.before();
        bool written = s.SetString(std::string(4096, 'b'), "settings", "Banner");
        c.after();

        EXPECT_FALSE(written);
        EXPECT_EQ(readFile(file), original);
        EXPECT_EQ(filesIn(dir), std::set<std::string>{"config.json"});
        std::string banner;
        int port = 0;
        EXPECT_EQ(s.FindString(banner, "settings", "Banner"), ConfigRead::kMissing);
        EXPECT_TRUE(s.GetInt(port, "settings", "ServerPort"));
        EXPECT_EQ(port, 8080);

        // Nothing is stuck: the next write goes through.
        EXPECT_TRUE(s.SetInt(9090, "settings", "ServerPort"));
        ConfigStore reloaded;
        ASSERT_TRUE(reloaded.Load(dir.string()));
        EXPECT_TRUE(reloaded.GetInt(port, "settings", "ServerPort"));
        EXPECT_EQ(port, 9090);
    }
}

TEST_F(ConfigStoreTest, FolderRemovedAfterLoadFailsTheWrite) {
    ASSERT_TRUE(store.Load(dir.string()));
    fs::remove_all(dir);
    EXPECT_FALSE(store.SetInt(1, "settings", "RestrictLocal"));
    int v = 5;
    EXPECT_EQ(store.FindInt(v, "settings", "RestrictLocal"), ConfigRead::kMissing);
}

TEST_F(ConfigStoreTest, RewriteKeepsModeAndOwner) {
    writeFile(file, R"({"password": "pw"})");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(chown(file.c_str(), 1234, 5678), 0);
    }
    ASSERT_TRUE(store.Load(dir.string()));
    ASSERT_TRUE(store.SetString("new", "password"));

    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (asRoot) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 5678u);
    }
}

TEST_F(ConfigStoreTest, LinkedFileIsReplacedAtItsTarget) {
    const fs::path real = root / "real";
    fs::create_directories(real);
    struct Case {
        const char* name;
        fs::path linkText;
        bool targetExists;
    };
    const Case cases[] = {
        {"relative link", fs::path("..") / "real" / "cfg.json", true},
        {"absolute link", real / "cfg.json", true},
        {"dangling link", real / "cfg.json", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(file);
        fs::remove(real / "cfg.json");
        if (c.targetExists) writeFile(real / "cfg.json", R"({"password": "pw"})");
        fs::create_symlink(c.linkText, file);

        ConfigStore s;
        ASSERT_TRUE(s.Load(dir.string()));
        ASSERT_TRUE(s.SetInt(1, "settings", "RestrictLocal"));

        EXPECT_TRUE(fs::is_symlink(file));
        EXPECT_EQ(fs::read_symlink(file), c.linkText);
        value onDisk;
        ASSERT_TRUE(json::parse(readFile(real / "cfg.json"), onDisk));
        EXPECT_EQ(json::member(json::member(onDisk, "settings"), "RestrictLocal"), 1);
        EXPECT_EQ(json::member(onDisk, "password"), c.targetExists ? "pw" : "");
        EXPECT_EQ(filesIn(real), std::set<std::string>{"cfg.json"});
    }
}

TEST_F(ConfigStoreTest, SetValueReplacesNodesAndRefusesToClobberNonObjects) {
    writeFile(file,
              R"({"password": "pw", "settings": 5, "domain1": {"HBAMode": 1, "SpinupCount": 2}})");
    ASSERT_TRUE(store.Load(dir.string()));
    const std::string before = readFile(file);

    // A scalar on the way is not silently turned into an object.
    EXPECT_FALSE(store.SetInt(8080, "settings", "ServerPort"));
    EXPECT_FALSE(store.SetValue(value::array()));  // the document stays an object
    EXPECT_EQ(readFile(file), before);

    // A section is replaced whole.
    ASSERT_TRUE(store.SetValue(value({{"RebuildPriority", 3}}), "domain1"));
    value d1;
    ASSERT_TRUE(store.GetValue(d1, "domain1"));
    EXPECT_EQ(d1, value({{"RebuildPriority", 3}}));

    // Deep paths are created on the way.
    ASSERT_TRUE(store.SetUInt(0xFFFFFFFFu, "a", "b", "c", "d"));
    unsigned u = 0;
    ASSERT_TRUE(store.GetUInt(u, "a", "b", "c", "d"));
    EXPECT_EQ(u, 0xFFFFFFFFu);

    // What is read back is what the file holds, even for bytes that are not UTF-8.
    ASSERT_TRUE(store.SetString("ST\xff", "model"));
    std::string model;
    ASSERT_TRUE(store.GetString(model, "model"));
    EXPECT_EQ(model, "ST\xEF\xBF\xBD");
    ConfigStore reloaded;
    ASSERT_TRUE(reloaded.Load(dir.string()));
    value a, b;
    ASSERT_TRUE(store.GetValue(a));
    ASSERT_TRUE(reloaded.GetValue(b));
    EXPECT_EQ(a, b);

    // Replacing the whole document.
    ASSERT_TRUE(store.SetValue(value({{"password", "x"}})));
    int priority = -1;
    EXPECT_EQ(store.FindInt(priority, "domain1", "RebuildPriority"), ConfigRead::kMissing);
    std::string password;
    ASSERT_TRUE(store.GetString(password, "password"));
    EXPECT_EQ(password, "x");
}

TEST_F(ConfigStoreTest, TasksAreConvertedEntryByEntry) {
    writeFile(file, R"({"tasks": [
        {"domain": 1, "id": 7, "signature": "0xDEADBEEF", "memberIndex": -1, "type": 3,
         "days": 65, "startdate": 1700000000, "date": 5000000000},
        {"domain": "2", "signature": 4294967295, "type": 1.7, "date": true},
        {}
    ]})");
    ASSERT_TRUE(store.Load(dir.string()));
    std::vector<ScheduledTask> tasks;
    ASSERT_TRUE(store.GetTasks(tasks));
    ASSERT_EQ(tasks.size(), 3u);
    EXPECT_EQ(tasks[0].domain, 1);
    EXPECT_EQ(tasks[0].id, 7u);
    EXPECT_EQ(tasks[0].signature, 0xDEADBEEFu);
    EXPECT_EQ(tasks[0].memberIndex, -1);
    EXPECT_EQ(tasks[0].type, 3);
    EXPECT_EQ(tasks[0].days, 65u);
    EXPECT_EQ(tasks[0].startdate, 1700000000);
    EXPECT_EQ(tasks[0].date, 5000000000);  // beyond 32 bits
    EXPECT_EQ(tasks[1].domain, 2);
    EXPECT_EQ(tasks[1].id, 0u);
    EXPECT_EQ(tasks[1].signature, 0xFFFFFFFFu);
    EXPECT_EQ(tasks[1].type, 1);
    EXPECT_EQ(tasks[1].date, 1);
    EXPECT_EQ(tasks[2].domain, 0);
    EXPECT_EQ(tasks[2].date, 0);

    struct Case {
        const char* name;
        const char* text;
    };
    const Case notLists[] = {
        {"tasks is an object", R"({"tasks": {"domain": 1}})"},
        {"no tasks", R"({"password": ""})"},
    };
    for (const auto& c : notLists) {
        SCOPED_TRACE(c.name);
        writeFile(file, c.text);
        ConfigStore s;
        ASSERT_TRUE(s.Load(dir.string()));
        std::vector<ScheduledTask> out(2);
        EXPECT_FALSE(s.GetTasks(out));
        EXPECT_TRUE(out.empty());
    }
}

TEST_F(ConfigStoreTest, MailSettingsWithRecipients) {
    writeFile(file, R"({"email_notification": {
        "SMTP_Server": "mail.example.org", "SMTP_Port": "587", "Protocol": 1,
        "SMTP_User": "raid", "SMTP_Password": "p\"w", "Sender": "raid@example.org",
        "Receipients": [
            {"email": "ops@example.org", "enable": true, "mask": 12},
            {"email": "off@example.org", "enable": false, "mask": "0xE"},
            {"email": "num@example.org", "enable": 1}
        ]}})");
    ASSERT_TRUE(store.Load(dir.string()));
    MailSettings mail;
    mail.Receipients.resize(5);
    ASSERT_TRUE(store.GetMailSettings(mail));
    EXPECT_EQ(mail.SMTP_Server, "mail.example.org");
    EXPECT_EQ(mail.SMTP_Port, 587);
    EXPECT_EQ(mail.Protocol, 1);
    EXPECT_EQ(mail.SMTP_User, "raid");
    EXPECT_EQ(mail.SMTP_Password, "p\"w");
    EXPECT_EQ(mail.Sender, "raid@example.org");
    ASSERT_EQ(mail.Receipients.size(), 3u);
    EXPECT_EQ(mail.Receipients[0].email, "ops@example.org");
    EXPECT_TRUE(mail.Receipients[0].enable);
    EXPECT_EQ(mail.Receipients[0].mask, 12u);
    EXPECT_FALSE(mail.Receipients[1].enable);
    EXPECT_EQ(mail.Receipients[1].mask, 0xEu);
    EXPECT_TRUE(mail.Receipients[2].enable);
    EXPECT_EQ(mail.Receipients[2].mask, 0u);

    // Without a list: settings are read, nobody is mailed.
    writeFile(file, R"({"email_notification": {"SMTP_Server": "mx"}})");
    ASSERT_TRUE(store.Load(dir.string()));
    ASSERT_TRUE(store.GetMailSettings(mail));
    EXPECT_TRUE(mail.Receipients.empty());
    EXPECT_EQ(mail.SMTP_Server, "mx");
    EXPECT_EQ(mail.SMTP_User, "");  // a missing text is empty, never "null"
    EXPECT_EQ(mail.SMTP_Password, "");
    EXPECT_EQ(mail.Sender, "");
    EXPECT_EQ(mail.SMTP_Port, 0);

    // Not a record: nothing is touched.
    writeFile(file, R"({"email_notification": [1]})");
    ASSERT_TRUE(store.Load(dir.string()));
    EXPECT_FALSE(store.GetMailSettings(mail));
    EXPECT_EQ(mail.SMTP_Server, "mx");
}

TEST_F(ConfigStoreTest, ConcurrentWritesToDifferentSectionsAllSurvive) {
    ASSERT_TRUE(store.Load(dir.string()));
    constexpr int kThreads = 8, kWrites = 40;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            const std::string section = "domain" + std::to_string(t);
            for (int n = 0; n < kWrites; ++n) {
                EXPECT_TRUE(store.SetInt(n, section.c_str(), "n"));
                EXPECT_TRUE(store.SetValue(value({{"w", n}}), section.c_str(), "obj"));
                int read = -1;
                EXPECT_TRUE(store.GetInt(read, section.c_str(), "n"));
                EXPECT_EQ(read, n);  // nobody else writes this section
                std::vector<ScheduledTask> tasks;
                store.GetTasks(tasks);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(filesIn(dir), std::set<std::string>{"config.json"});

    ConfigStore reloaded;
    ASSERT_TRUE(reloaded.Load(dir.string()));
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE(t);
        const std::string section = "domain" + std::to_string(t);
        int n = -1, w = -1;
        EXPECT_TRUE(reloaded.GetInt(n, section.c_str(), "n"));
        EXPECT_TRUE(reloaded.GetInt(w, section.c_str(), "obj", "w"));
        EXPECT_EQ(n, kWrites - 1);
        EXPECT_EQ(w, kWrites - 1);
    }
}

}  // namespace

namespace {

// A write cut short by a kill leaves its temporary file, which holds the password; the next
// start-up removes it, and only files of that exact pattern.
TEST_F(ConfigStoreTest, LoadRemovesTemporariesLeftByAnInterruptedWrite) {
    writeFile(file, R"({"password":"new"})");
    writeFile(dir / "config.json.k1LmN0", R"({"password":"old")");
    writeFile(dir / "config.json.000000", "");
    writeFile(dir / "config.json.tmp", "kept: not six letters");
    writeFile(dir / "config.json.abcdefg", "kept: seven");
    writeFile(dir / "config.json.ab-def", "kept: not a letter");
    writeFile(dir / "other.json.abcdef", "kept: another file's");
    fs::create_directory(dir / "config.json.Folder");
    fs::create_symlink(root / "service.log", dir / "config.json.Linked");
    ASSERT_TRUE(store.Load(dir.string()));
    EXPECT_EQ(filesIn(dir),
              (std::set<std::string>{"config.json", "config.json.tmp", "config.json.abcdefg",
                                     "config.json.ab-def", "other.json.abcdef",
                                     "config.json.Folder", "config.json.Linked"}));
    EXPECT_TRUE(fs::exists(root / "service.log"));
    std::string password;
    ASSERT_TRUE(store.GetString(password, "password"));
    EXPECT_EQ(password, "new");
    EXPECT_NE(log().find("config.json.k1LmN0"), std::string::npos) << log();
}

}  // namespace
