#include <gtest/gtest.h>

#include <sstream>

#include "common/config.h"
#include "common/tests/test_files.h"

namespace ixan {
namespace {

// A compact picture of the loaded devices: "host|user|pass|port|interval|uri" each.
std::vector<std::string> nodesOf(const Config& cfg) {
    std::vector<std::string> out;
    for (const NodeEntry& n : cfg.nodes) {
        std::ostringstream s;
        s << n.host << "|" << n.user << "|" << n.pass << "|" << n.port << "|" << n.interval << "|"
          << n.uri;
        out.push_back(s.str());
    }
    return out;
}

Config loadText(const std::string& text, ConfigReader reader = ConfigReader::Pollwerk) {
    test::TempDir dir;
    const std::string path = dir.file("ixan.ini");
    test::writeFile(path, text);
    Config cfg;
    EXPECT_TRUE(loadConfig(cfg, path, reader));
    return cfg;
}

const std::string kDefaults = "|||80|180|/cgi/lgexport.cgi";

struct LoaderCase {
    const char* name;
    std::string file;
    std::vector<std::string> nodes;
};

TEST(LoadConfig, DeviceSectionsFollowTheFileRules) {
    const LoaderCase cases[] = {
        {"empty file", "", {}},
        {"comments only", "# a\n#b=c\n", {}},
        {"global only", "[Global]\ndsn=nodsn\n", {}},
        {"lower-case global is a device", "[global]\n", {"global" + kDefaults}},
        {"blanks inside brackets stay", "[ Global ]\n", {" Global " + kDefaults}},
        {"blanks around header", "  [10.0.0.5]  \n", {"10.0.0.5" + kDefaults}},
        {"header with a value", "[10.0.0.5]=x\n", {"10.0.0.5" + kDefaults}},
        {"host line overrides section name", "[a]\nhost = 10.0.0.7\n", {"10.0.0.7" + kDefaults}},
        {"tab before = is part of the key", "[a]\nhost\t= 10.0.0.7\n", {"a" + kDefaults}},
        {"keys are case-sensitive", "[a]\nHost=10.0.0.7\n", {"a" + kDefaults}},
        {"section named host gets an empty host", "[host]\n", {kDefaults}},
        {"section named host with a host line", "[host]\nhost=h\n", {"h" + kDefaults}},
        {"numbers",
         "[a]\nport=8080\ninterval=-5\n[b]\nport=+81\n",
         {"a|||8080|-5|/cgi/lgexport.cgi", "b|||81|180|/cgi/lgexport.cgi"}},
        {"a number that is none keeps the value",
         "[a]\nport=9\nport=abc\ninterval=\n",
         {"a|||9|180|/cgi/lgexport.cgi"}},
        {"out of range keeps the value", "[a]\ninterval=99999999999\n", {"a" + kDefaults}},
        {"section without interval gets 180",
         "[a]\ninterval=5\n[b]\n",
         {"a|||80|5|/cgi/lgexport.cgi", "b" + kDefaults}},
        {"same section twice gives two devices", "[a]\n[a]\n", {"a" + kDefaults, "a" + kDefaults}},
        {"device keys before any header are ignored", "user=u\n[a]\n", {"a" + kDefaults}},
        {"all device keys",
         "[d]\nuser=Service\npass=Fenwix\nuri=/x\n",
         {"d|Service|Fenwix|80|180|/x"}},
        {"CR LF and a missing final line end",
         "[a]\r\nuser=u\r\n[b]\r\npass=p",
         {"a|u||80|180|/cgi/lgexport.cgi", "b||p|80|180|/cgi/lgexport.cgi"}},
        {"a comment in column one only", "[a]\n#user=x\n  #user=y\n", {"a" + kDefaults}},
    };
    for (const LoaderCase& c : cases) {
        EXPECT_EQ(nodesOf(loadText(c.file)), c.nodes) << c.name;
    }
}

TEST(LoadConfig, GlobalKeysAndProgramDefaults) {
    const std::string file =
        "[Global]\nsystem=s\ndsn=nodsn\nuser=dbu\npass=dbp\ntable=t\nlog=/tmp/x.log\n"
        "select=SELECT IP FROM Z_servicelog\n[a]\n[Global]\nsql=INSERT %s\n";
    const Config p = loadText(file, ConfigReader::Pollwerk);
    EXPECT_EQ(p.global.system, "s");
    EXPECT_EQ(p.global.dsn, "nodsn");
    EXPECT_EQ(p.global.user, "dbu");
    EXPECT_EQ(p.global.pass, "dbp");
    EXPECT_EQ(p.global.table, "t");
    EXPECT_EQ(p.global.log, "/tmp/x.log");
    // a second [Global] feeds the same settings; its keys are not the device's
    EXPECT_EQ(p.global.sql, "INSERT %s");
    EXPECT_EQ(nodesOf(p), std::vector<std::string>{"a" + kDefaults});
    // pollwerk does not read "select"
    EXPECT_EQ(p.global.select, kSelectDefault);
    EXPECT_EQ(loadText(file, ConfigReader::Export).global.select, "SELECT IP FROM Z_servicelog");
    EXPECT_EQ(loadText(file, ConfigReader::Wizard).global.select, "SELECT IP FROM Z_servicelog");

    const Config empty = loadText("");
    EXPECT_EQ(empty.global.log, "/var/log/ixansys.log");
    EXPECT_EQ(empty.global.sql, kPollwerkSqlDefault);
    EXPECT_EQ(loadText("", ConfigReader::Export).global.sql, kExportSqlDefault);
    EXPECT_EQ(loadText("", ConfigReader::Wizard).global.sql, kPollwerkSqlDefault);
}

TEST(LoadConfig, UserAndPassAfterGlobalAreDatabaseCredentials) {
    const Config cfg = loadText("[a]\nuser=dev\n[Global]\nuser=db\npass=secret\n");
    EXPECT_EQ(cfg.global.user, "db");
    EXPECT_EQ(cfg.global.pass, "secret");
    EXPECT_EQ(nodesOf(cfg), std::vector<std::string>{"a|dev||80|180|/cgi/lgexport.cgi"});
}

TEST(LoadConfig, LoadingTwiceAppendsDevicesAndResetsSettings) {
    test::TempDir dir;
    const std::string path = dir.file("ixan.ini");
    test::writeFile(path, "[Global]\ndsn=d\n[a]\n[b]\n");
    Config cfg;
    loadConfig(cfg, path, ConfigReader::Wizard);
    cfg.global.dsn = "changed";
    loadConfig(cfg, path, ConfigReader::Wizard);
    EXPECT_EQ(cfg.global.dsn, "d");
    EXPECT_EQ(nodesOf(cfg), (std::vector<std::string>{"a" + kDefaults, "b" + kDefaults,
                                                      "a" + kDefaults, "b" + kDefaults}));
}

TEST(LoadConfig, HostileFilesEndInTheSpecifiedOutcome) {
    // binary bytes, a 1 MB line, NUL bytes and thousands of sections
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage.push_back(static_cast<char>(i * 37 % 256));
    }
    const Config g = loadText(garbage + "\n[z]\n");
    EXPECT_EQ(g.nodes.back().host, "z");

    const std::string longValue(1 << 20, 'x');
    const Config l = loadText("[a]\nuser=" + longValue + "\npass=p\n");
    ASSERT_EQ(l.nodes.size(), 1u);
    EXPECT_EQ(l.nodes[0].user, longValue);
    EXPECT_EQ(l.nodes[0].pass, "p");

    const Config n = loadText(std::string("[a]\nuser=x\0y\n", 13));
    ASSERT_EQ(n.nodes.size(), 1u);
    EXPECT_EQ(n.nodes[0].user, std::string("x\0y", 3));

    std::string many;
    for (int i = 0; i < 5000; ++i) {
        many += "[10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "]\n";
        many += "interval=" + std::to_string(i) + "\n";
    }
    const Config m = loadText(many);
    ASSERT_EQ(m.nodes.size(), 5000u);
    EXPECT_EQ(m.nodes[4999].host, "10.0.19.135");
    EXPECT_EQ(m.nodes[4999].interval, 4999);
}

TEST(LoadConfig, MissingFileIsReportedPerProgram) {
    test::TempDir dir;
    const std::string missing = dir.file("nope.ini");
    for (const std::string& path : {missing, dir.path().string(), std::string()}) {
        Config cfg;
        cfg.global.dsn = "stale";
        testing::internal::CaptureStdout();
        EXPECT_FALSE(loadConfig(cfg, path, ConfigReader::Pollwerk));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  " [error] unable to find config (" + path + ")\n");
        EXPECT_EQ(cfg.global.dsn, "");
        EXPECT_EQ(cfg.global.log, "/var/log/ixansys.log");
        EXPECT_TRUE(cfg.nodes.empty());

        std::vector<std::string> shown;
        testing::internal::CaptureStdout();
        loadConfig(cfg, path, ConfigReader::Wizard,
                   [&](const std::string& m) { shown.push_back(m); });
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(shown,
                  std::vector<std::string>{"INI-Datei konnte nicht gefunden werden.\n" + path});
    }
}

}  // namespace
}  // namespace ixan
