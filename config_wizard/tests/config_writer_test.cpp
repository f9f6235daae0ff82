#include "config_wizard/config_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/config.h"
#include "common/tests/test_files.h"

namespace ixan {
namespace {

namespace fs = std::filesystem;

const std::string kNotFound = "INI-Datei konnte nicht gefunden werden.\n";
const std::string kWriteFailed = kConfigWriteFailedMessage;

std::string deviceSection(const std::string& address) {
    return "[" + address + "]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n";
}

std::string globalLines(const std::string& dsn, const std::string& user, const std::string& pass,
                        const std::string& log) {
    return "[Global]\r\ndsn=" + dsn + "\r\nuser=" + user + "\r\npass=" + pass + "\r\nlog=" + log +
           "\r\n";
}

class ConfigWriter : public testing::Test {
  protected:
    void SetUp() override {
        processConfig() = Config{};
        config_ = dir_.file("ixan.ini");
        test::writeFile(registry_, "path=" + config_ + "\n");
    }
    void TearDown() override { processConfig() = Config{}; }

    bool write(const std::string& log, const std::vector<std::string>& devices) {
        messages_.clear();
        reason_.clear();
        return WriteConfiguration(
            log, devices, [this](const std::string& m) { messages_.push_back(m); }, &reason_);
    }
    std::vector<std::string> tempFilesLeft() const {
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(dir_.path())) {
            if (e.path().filename().string().rfind(".ixan.ini.", 0) == 0) {
                left.push_back(e.path().string());
            }
        }
        return left;
    }

    test::TempDir dir_;
    std::string registry_ = dir_.file("registry");
    test::ScopedEnv env_{"IXAN_REGISTRY", registry_};
    std::string config_;
    std::vector<std::string> messages_;
    std::string reason_;
};

TEST_F(ConfigWriter, TwoDevicesGiveTheThirteenLines) {
    test::writeFile(config_, "[Global]\r\ndsn=nodsn\r\nuser=\r\npass=\r\nlog=c:\\ixansys.log\r\n");
    ASSERT_TRUE(write("c:\\ixansys.log", {"192.168.0.10", "192.168.0.11"})) << reason_;
    EXPECT_EQ(test::readFile(config_),
              "[Global]\r\n"
              "dsn=nodsn\r\n"
              "user=\r\n"
              "pass=\r\n"
              "log=c:\\ixansys.log\r\n"
              "[192.168.0.10]\r\n"
              "user=Service\r\n"
              "pass=Fenwix\r\n"
              "interval=300\r\n"
              "[192.168.0.11]\r\n"
              "user=Service\r\n"
              "pass=Fenwix\r\n"
              "interval=300\r\n");
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(tempFilesLeft().empty());
}

TEST_F(ConfigWriter, ComposesTheListAsGiven) {
    struct Case {
        const char* what;
        std::string log;
        std::vector<std::string> devices;
        std::string sections;
    };
    const std::vector<Case> cases = {
        {"empty list: the five [Global] lines", "/var/log/ixansys.log", {}, ""},
        {"blanks around an address are trimmed",
         "/l.log",
         {"  10.0.0.5 \t"},
         deviceSection("10.0.0.5")},
        {"all white space is trimmed",
         "/l.log",
         {"\t\r\n10.0.0.6\v\f "},
         deviceSection("10.0.0.6")},
        {"blank entries write nothing",
         "/l.log",
         {"", "   ", "\t", "10.0.0.7", " \r\n "},
         deviceSection("10.0.0.7")},
        {"duplicates stay, in list order",
         "/l.log",
         {"b", "a", "b"},
         deviceSection("b") + deviceSection("a") + deviceSection("b")},
        {"blanks inside stay", "/l.log", {" tuer lager "}, deviceSection("tuer lager")},
        {"the log path is not trimmed of tabs, and may be empty", "", {"x"}, deviceSection("x")},
        {"UTF-8 bytes pass unchanged",
         "/var/log/Tür.log",
         {"tür-süd.lan"},
         deviceSection("tür-süd.lan")},
    };
    for (const Case& c : cases) {
        GlobalSettings global;
        global.dsn = "d";
        global.user = "u";
        global.pass = "p";
        EXPECT_EQ(composeConfiguration(global, c.log, c.devices),
                  globalLines("d", "u", "p", c.log) + c.sections)
            << c.what;
    }
}

TEST_F(ConfigWriter, EmptyListWritesFiveLines) {
    test::writeFile(config_, "[Global]\ndsn=nodsn\n[10.0.0.1]\n");
    ASSERT_TRUE(write("/var/log/ixansys.log", {})) << reason_;
    EXPECT_EQ(test::readFile(config_), globalLines("nodsn", "", "", "/var/log/ixansys.log"));
}

TEST_F(ConfigWriter, WithoutPreviousFileTheDatabaseSettingsAreEmpty) {
    ASSERT_TRUE(write("/var/log/ixansys.log", {"10.0.0.5"})) << reason_;
    EXPECT_EQ(test::readFile(config_),
              globalLines("", "", "", "/var/log/ixansys.log") + deviceSection("10.0.0.5"));
    // The reload reports the missing file as at start; the write itself succeeds.
    EXPECT_EQ(messages_, std::vector<std::string>{kNotFound + config_});
    struct stat st {};
    ASSERT_EQ(::stat(config_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "a new file holds passwords";
}

TEST_F(ConfigWriter, HandMadeDatabaseSettingsSurviveAndNothingElse) {
    test::writeFile(config_,
                    "# written by hand\n"
                    "[Global]\n"
                    "system=Haus A\n"
                    "dsn=ixan_pg\n"
                    "user=dbuser\n"
                    "pass=geheim\n"
                    "table=Z_servicelog\n"
                    "log=/old/ixansys.log\n"
                    "sql=INSERT INTO x VALUES (%s,%s,%s,%s,%s,%s,%s,%s)\n"
                    "select=SELECT * FROM x\n"
                    "[door]\n"
                    "host=10.0.0.7\n"
                    "user=admin\n"
                    "pass=secret\n"
                    "port=8080\n"
                    "interval=60\n"
                    "uri=/cgi/other.cgi\n");
    ASSERT_TRUE(write("/new/ixansys.log", {"10.0.0.7"})) << reason_;
    EXPECT_EQ(
        test::readFile(config_),
        globalLines("ixan_pg", "dbuser", "geheim", "/new/ixansys.log") + deviceSection("10.0.0.7"));
}

TEST_F(ConfigWriter, ReplacedFileKeepsItsMode) {
    test::writeFile(config_, "[Global]\n");
    ASSERT_EQ(::chmod(config_.c_str(), 0600), 0);
    ASSERT_TRUE(write("/l.log", {"a"})) << reason_;
    struct stat st {};
    ASSERT_EQ(::stat(config_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(ConfigWriter, ReplacedFileKeepsItsOwnerAndGroupWherePermitted) {
    test::writeFile(config_, "[Global]\n");
    if (::chown(config_.c_str(), 4321, 8765) != 0) {
        GTEST_SKIP() << "changing the owner needs root";
    }
    ASSERT_TRUE(write("/l.log", {"a"})) << reason_;
    struct stat st {};
    ASSERT_EQ(::stat(config_.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
}

TEST_F(ConfigWriter, SymbolicLinkTargetIsReplacedAndTheLinkStays) {
    const std::string real = dir_.file("real.ini");
    test::writeFile(real, "[Global]\ndsn=linked\n");
    fs::remove(config_);
    fs::create_symlink(real, config_);
    ASSERT_TRUE(write("/l.log", {"a"})) << reason_;
    EXPECT_TRUE(fs::is_symlink(config_));
    EXPECT_EQ(test::readFile(real), globalLines("linked", "", "", "/l.log") + deviceSection("a"));
}

TEST_F(ConfigWriter, RepeatedWritesGiveTheSameFile) {
    test::writeFile(config_, "[Global]\ndsn=nodsn\n[10.0.0.1]\n");
    ASSERT_TRUE(write("/l.log", {"10.0.0.1", "10.0.0.2"}));
    const std::string first = test::readFile(config_);
    ASSERT_TRUE(write("/l.log", {"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(test::readFile(config_), first);
}

TEST_F(ConfigWriter, UnwritablePathShowsTheMessage) {
    const std::string aFile = dir_.file("plain-file");
    test::writeFile(aFile, "x");
    const std::string aFolder = dir_.file("folder");
    fs::create_directory(aFolder);
    struct Case {
        const char* what;
        std::string registry;
        std::string path;  // where nothing may appear
    };
    const std::vector<Case> cases = {
        {"no value \"path\"", "mdb_path=/x.db\n", ""},
        {"missing folder", "path=" + dir_.file("no/such/ixan.ini") + "\n",
         dir_.file("no/such/ixan.ini")},
        {"folder part is a file", "path=" + aFile + "/ixan.ini\n", aFile + "/ixan.ini"},
        {"path is a folder", "path=" + aFolder + "\n", ""},
    };
    for (const Case& c : cases) {
        test::writeFile(registry_, c.registry);
        processConfig() = Config{};
        EXPECT_FALSE(write("/l.log", {"10.0.0.5"})) << c.what;
        ASSERT_FALSE(messages_.empty()) << c.what;
        EXPECT_EQ(messages_.back(), kWriteFailed) << c.what;
        EXPECT_FALSE(reason_.empty()) << c.what;
        if (!c.path.empty()) {
            EXPECT_FALSE(fs::exists(c.path)) << c.what;
        }
    }
    EXPECT_EQ(test::readFile(aFile), "x");
    EXPECT_TRUE(fs::is_empty(aFolder));
}

TEST_F(ConfigWriter, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::string old = "[Global]\r\ndsn=keep\r\n[10.0.0.1]\r\n";
    test::writeFile(config_, old);
    std::vector<std::string> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back("10.0.1." + std::to_string(i));
    }
    // The new text exceeds the file size limit, so the write fails half-way.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* savedHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = write("/l.log", many);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(messages_, std::vector<std::string>{kWriteFailed});
    EXPECT_NE(reason_.find("write"), std::string::npos) << reason_;
    EXPECT_EQ(test::readFile(config_), old);
    EXPECT_TRUE(tempFilesLeft().empty());
}

TEST_F(ConfigWriter, EntriesTheReaderCannotGiveBackAreRefused) {
    struct Case {
        std::string log;
        std::vector<std::string> devices;
        std::string named;  // the entry the message names
    };
    const std::vector<Case> cases = {
        {"/l.log", {"ok", "a=b"}, "a=b"},
        {"/l.log", {"a\tb"}, "a\tb"},
        {"/l.log", {"a\nb"}, "a\nb"},
        {"/l.log", {"Global"}, "Global"},
        {"/l.log", {" host "}, "host"},
        {"/l.log", {"uri"}, "uri"},
        {"/var/log/a=b.log", {"x"}, "/var/log/a=b.log"},
        {"/l.log\r\n[evil]", {"x"}, "/l.log\r\n[evil]"},
        {" /l.log", {"x"}, " /l.log"},
        {"/l.log ", {}, "/l.log "},
    };
    const std::string old = "[Global]\r\ndsn=keep\r\n";
    for (const Case& c : cases) {
        test::writeFile(config_, old);
        EXPECT_FALSE(write(c.log, c.devices)) << c.named;
        ASSERT_EQ(messages_.size(), 1u) << c.named;
        EXPECT_EQ(messages_[0].rfind(kWriteFailed + "\n", 0), 0u) << messages_[0];
        EXPECT_NE(messages_[0].find("\"" + c.named + "\""), std::string::npos) << messages_[0];
        EXPECT_NE(reason_.find(c.named), std::string::npos) << reason_;
        EXPECT_EQ(test::readFile(config_), old) << c.named;
    }
    // Names that are harmless as sections are fine.
    for (const char* name : {"user", "pass", "port", "interval", "global", "[x]", "#x"}) {
        EXPECT_FALSE(findUnreadableEntry("/l.log", {name}).has_value()) << name;
    }
}

TEST_F(ConfigWriter, PollwerkReadsBackWhatIsWritten) {
    struct Case {
        const char* what;
        std::string previous;
        std::string log;
        std::vector<std::string> devices;
        std::vector<std::string> hosts;
    };
    const std::vector<Case> cases = {
        {"the example",
         "[Global]\ndsn=nodsn\n",
         "c:\\ixansys.log",
         {"192.168.0.10", "192.168.0.11"},
         {"192.168.0.10", "192.168.0.11"}},
        {"no previous file", "", "/var/log/ixansys.log", {"a"}, {"a"}},
        {"credentials carried over", "[Global]\ndsn=pg\nuser=u\npass=p w\n", "/l.log", {}, {}},
        {"trimmed, blanks skipped, duplicates kept",
         "",
         "/l.log",
         {" b ", "", "a", "b\t", "  "},
         {"b", "a", "b"}},
        {"odd but legal names",
         "",
         "/log dir/x.log",
         {"[x]", "#x", "user", "global", "a b"},
         {"[x]", "#x", "user", "global", "a b"}},
        {"empty log path", "", "", {"a"}, {"a"}},
    };
    for (const Case& c : cases) {
        fs::remove(config_);
        if (!c.previous.empty()) {
            test::writeFile(config_, c.previous);
        }
        processConfig() = Config{};
        ASSERT_TRUE(write(c.log, c.devices)) << c.what << ": " << reason_;
        const GlobalSettings before = processConfig().global;

        Config back;
        ASSERT_TRUE(loadConfig(back, config_, ConfigReader::Pollwerk)) << c.what;
        EXPECT_EQ(back.global.dsn, before.dsn) << c.what;
        EXPECT_EQ(back.global.user, before.user) << c.what;
        EXPECT_EQ(back.global.pass, before.pass) << c.what;
        EXPECT_EQ(back.global.log, c.log) << c.what;
        ASSERT_EQ(back.nodes.size(), c.hosts.size()) << c.what;
        for (std::size_t i = 0; i < c.hosts.size(); ++i) {
            const NodeEntry& n = back.nodes[i];
            EXPECT_EQ(n.host, c.hosts[i]) << c.what;
            EXPECT_EQ(n.user, "Service") << c.what;
            EXPECT_EQ(n.pass, "Fenwix") << c.what;
            EXPECT_EQ(n.interval, 300) << c.what;
            EXPECT_EQ(n.port, 80) << c.what;
            EXPECT_EQ(n.uri, kDefaultUri) << c.what;
        }
    }
}

}  // namespace
}  // namespace ixan
