#include <gtest/gtest.h>

#include "common/tests/run_process.h"
#include "common/tests/test_files.h"

namespace ixan {
namespace {

const std::string kUsage =
    "\n"
    "IXAN Pollwerk - collects the event logs of IXAN devices\n"
    " usage: pollwerk command\n"
    " commands:\n"
    " installService       Installs the service\n"
    " uninstallService     Uninstalls the service\n"
    " configTest           Test the config file\n"
    "\n\n";

class PollwerkCommands : public testing::Test {
  protected:
    void SetUp() override {
        registry_ = dir_.file("registry");
        config_ = dir_.file("ixan.ini");
        log_ = dir_.file("ixansys.log");
    }
    test::ProcessResult run(const std::vector<std::string>& args) {
        // NOTIFY_SOCKET unset: started from a console, not by the service manager.
        return test::runProcess(POLLWERK_PATH, args,
                                {{"IXAN_REGISTRY", registry_}, {"NOTIFY_SOCKET", test::kUnset}}, "",
                                std::chrono::seconds(30));
    }
    test::TempDir dir_;
    std::string registry_, config_, log_;
};

TEST_F(PollwerkCommands, ConfigTestDumpsTheLoadedConfiguration) {
    test::writeFile(registry_, "path=" + config_ + "\nmdb_path=/var/lib/ixan/ixan_log.db\n");
    test::writeFile(config_,
                    "[Global]\r\nsystem=Haus A\r\ndsn=nodsn\r\nuser=dbuser\r\npass=dbpass\r\n"
                    "table=Z_servicelog\r\nlog=" +
                        log_ +
                        "\r\nsql=INSERT %s\r\n"
                        "[192.168.0.10]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n"
                        "[door]\r\nhost=10.0.0.7\r\nport=8080\r\nuri=/x.cgi\r\n");
    const std::string want = "dumping config file at '" + config_ +
                             "'\n"
                             "[Global]\n"
                             "\tsystem......: Haus A\n"
                             "\tdsn.........: nodsn\n"
                             "\tuser........: dbuser\n"
                             "\tpass........: dbpass\n"
                             "\ttable.......: Z_servicelog\n"
                             "\tlog.........: " +
                             log_ +
                             "\n"
                             "\n"
                             "[192.168.0.10]\n"
                             "\tuser........: Service\n"
                             "\tpass........: Fenwix\n"
                             "\turi.........: /cgi/lgexport.cgi\n"
                             "\tport........: 80\n"
                             "\tinterval....: 300\n"
                             "\n"
                             "[10.0.0.7]\n"
                             "\tuser........: \n"
                             "\tpass........: \n"
                             "\turi.........: /x.cgi\n"
                             "\tport........: 8080\n"
                             "\tinterval....: 180\n";
    for (const char* word : {"configTest", "CONFIGTEST", "ConfigTest"}) {
        const auto r = run({word});
        EXPECT_EQ(r.exitCode, 0) << word;
        EXPECT_EQ(r.out, want) << word;
    }
}

TEST_F(PollwerkCommands, ConfigTestWithoutDevicesReportsNoNodes) {
    test::writeFile(registry_, "path=" + config_ + "\n");
    test::writeFile(config_, "[Global]\nlog=" + log_ + "\n");
    const auto r = run({"configTest"});
    EXPECT_EQ(r.out, "dumping config file at '" + config_ +
                         "'\n[Global]\n\tsystem......: \n"
                         "\tdsn.........: \n\tuser........: \n\tpass........: \n"
                         "\ttable.......: \n\tlog.........: " +
                         log_ +
                         "\n\n"
                         " [error] no nodes in config\n");
}

TEST_F(PollwerkCommands, MissingSettingsStoreReportsThenDumpsDefaults) {
    // no registry file at all: empty path, the two failure lines, then the defaults
    const auto r = run({"configTest"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              " [error] unable to find config ()\n"
              "dumping config file at ''\n[Global]\n\tsystem......: \n"
              "\tdsn.........: \n\tuser........: \n\tpass........: \n"
              "\ttable.......: \n\tlog.........: /var/log/ixansys.log\n\n"
              " [error] no nodes in config\n");
}

TEST_F(PollwerkCommands, MissingConfigurationIsReportedInEveryMode) {
    const std::string missing = dir_.file("gone.ini");
    test::writeFile(registry_, "path=" + missing + "\n");
    const std::string failure = " [error] unable to find config (" + missing + ")\n";
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"debug"}, {"bogus"}, {"configTest", "now"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.substr(0, failure.size()), failure) << testing::PrintToString(args);
    }
}

TEST_F(PollwerkCommands, OtherWordsPrintTheUsageText) {
    test::writeFile(registry_, "path=" + config_ + "\n");
    test::writeFile(config_, "[Global]\nlog=" + log_ + "\n");
    const std::vector<std::vector<std::string>> cases = {
        {},                     // not started by the service manager
        {"configtest2"},        // no prefix matching
        {"configTest", "now"},  // two arguments
        {"help"},
        {""},
    };
    for (const auto& args : cases) {
        const auto r = run(args);
        EXPECT_EQ(r.exitCode, 0) << testing::PrintToString(args);
        EXPECT_EQ(r.out, kUsage) << testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace ixan
