// ixan-config run as a program with arguments: no display, exit codes, output.
#include <gtest/gtest.h>

#include "common/tests/run_process.h"
#include "common/tests/test_files.h"
#include "config_wizard/tests/fake_systemctl.h"

namespace ixan {
namespace {

using Calls = std::vector<std::string>;

std::string section(const std::string& address) {
    return "[" + address + "]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n";
}

class Headless : public testing::Test {
  protected:
    void SetUp() override {
        config_ = dir_.file("ixan.ini");
        test::writeFile(registry_, "path=" + config_ + "\n");
        fake_.installService();
    }
    test::ProcessResult run(const std::vector<std::string>& args) {
        // No display of any kind: the headless mode must not need one.
        return test::runProcess(IXAN_CONFIG_PATH, args,
                                {{"IXAN_REGISTRY", registry_},
                                 {"IXAN_SYSTEMCTL", fake_.program()},
                                 {"IXAN_SYSTEMD_UNIT_DIR", fake_.unitDir()},
                                 {"DISPLAY", test::kUnset},
                                 {"WAYLAND_DISPLAY", test::kUnset},
                                 {"QT_QPA_PLATFORM", test::kUnset}},
                                "", std::chrono::seconds(30));
    }

    test::TempDir dir_;
    std::string registry_ = dir_.file("registry");
    std::string config_;
    test::FakeSystemctl fake_;
};

TEST_F(Headless, WritesTheDevicesInOrderAndRestartsTheService) {
    test::writeFile(config_, "[Global]\ndsn=nodsn\nuser=db\npass=pw\n[old]\n");
    const auto r = run({"--log", "/var/log/ixansys.log", "--device", "10.0.0.2", "--device",
                        " 10.0.0.1 ", "--device=10.0.0.2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test::readFile(config_),
              "[Global]\r\ndsn=nodsn\r\nuser=db\r\npass=pw\r\nlog=/var/log/ixansys.log\r\n" +
                  section("10.0.0.2") + section("10.0.0.1") + section("10.0.0.2"));
    EXPECT_EQ(fake_.serviceRequests(), (Calls{"stop IXAN.service", "start IXAN.service"}));
}

TEST_F(Headless, NoRestartAndEmptyListLeaveTheServiceAlone) {
    const std::vector<std::vector<std::string>> runs = {
        {"--log", "/l.log", "--device", "a", "--no-restart"},
        {"--no-restart", "--log=/l.log", "--device", "a"},
        {"--log", "/l.log"},
    };
    for (const auto& args : runs) {
        const auto r = run(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        EXPECT_EQ(test::readFile(config_).rfind("[Global]\r\n", 0), 0u);
    }
    EXPECT_EQ(test::readFile(config_), "[Global]\r\ndsn=\r\nuser=\r\npass=\r\nlog=/l.log\r\n");
    EXPECT_EQ(fake_.serviceRequests(), Calls{});
}

TEST_F(Headless, ListPrintsTheLogPathAndTheDevices) {
    test::writeFile(config_,
                    "[Global]\nlog=/srv/ixansys.log\n[10.0.0.1]\n[door]\nhost=10.0.0.7\n"
                    "[blank]\nhost=\n");
    const auto r = run({"--list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "/srv/ixansys.log\n10.0.0.1\n10.0.0.7\n");
    EXPECT_EQ(r.err, "");

    ASSERT_EQ(run({"--log", "/l.log", "--device", "b", "--device", "a", "--no-restart"}).exitCode,
              0);
    EXPECT_EQ(run({"--list"}).out, "/l.log\nb\na\n") << "lists what was written";
    EXPECT_EQ(fake_.serviceRequests(), Calls{});
}

TEST_F(Headless, ListWithoutConfigurationFails) {
    const auto r = run({"--list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ixan-config: cannot read the configuration file " + config_ + "\n");
}

TEST_F(Headless, WrongArgumentsAreRefusedWithoutWriting) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"-x"}, "unknown option -x"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--log"}, "option --log needs a value"},
        {{"--log", "--device", "a"}, "option --log needs a value"},
        {{"--log", "/l.log", "--device"}, "option --device needs a value"},
        {{"--log", "/a.log", "--log", "/b.log"}, "option --log given more than once"},
        {{"--device", "a"}, "option --log is required to write the configuration"},
        {{"--no-restart"}, "option --log is required to write the configuration"},
        {{"--log", "/l.log", "--device", "  "}, "option --device needs a non-blank address"},
        {{"--list", "--log", "/l.log"}, "option --list cannot be combined with other options"},
        {{"--device", "a", "--list"}, "option --list cannot be combined with other options"},
        {{"--list=x"}, "option --list takes no value"},
        {{"--no-restart=yes", "--log", "/l.log"}, "option --no-restart takes no value"},
    };
    const std::string before = "[Global]\ndsn=keep\n";
    test::writeFile(config_, before);
    for (const Case& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[0];
        EXPECT_EQ(r.out, "") << c.args[0];
        EXPECT_EQ(r.err,
                  "ixan-config: " + c.error + "\nTry 'ixan-config --help' for more information.\n")
            << c.args[0];
    }
    EXPECT_EQ(test::readFile(config_), before);
    EXPECT_EQ(fake_.calls(), Calls{});
}

TEST_F(Headless, HelpPrintsTheUsage) {
    for (const char* word : {"--help", "-h"}) {
        const auto r = run({word});
        EXPECT_EQ(r.exitCode, 0) << word;
        EXPECT_EQ(r.out.rfind("usage: ixan-config", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--log PATH [--device ADDR]... [--no-restart]"), std::string::npos);
        EXPECT_NE(r.out.find("--list"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(std::filesystem::exists(config_));
}

TEST_F(Headless, FailedWriteExitsWithOneAndLeavesTheService) {
    struct Case {
        const char* what;
        std::string registry;
        std::vector<std::string> args;
        std::string reason;  // part of the error line
    };
    const std::vector<Case> cases = {
        {"no path value",
         "mdb_path=/x.db\n",
         {"--log", "/l.log", "--device", "a"},
         "has no value \"path\""},
        {"missing folder",
         "path=" + dir_.file("none/ixan.ini") + "\n",
         {"--log", "/l.log", "--device", "a"},
         "mkstemp"},
        {"unreadable address",
         "path=" + config_ + "\n",
         {"--log", "/l.log", "--device", "a=b"},
         "device address \"a=b\" contains \"=\""},
        {"unreadable log path",
         "path=" + config_ + "\n",
         {"--log", "/l\n[x]", "--device", "a"},
         "log path"},
    };
    for (const Case& c : cases) {
        test::writeFile(registry_, c.registry);
        const auto r = run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_EQ(r.err.rfind("ixan-config: the configuration file was not written: ", 0), 0u)
            << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.what << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(config_));
    EXPECT_EQ(fake_.serviceRequests(), Calls{});
}

}  // namespace
}  // namespace ixan
