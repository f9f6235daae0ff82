// The restart through the real systemd service manager, with systemctl replaced by a
// recording script.
#include <gtest/gtest.h>

#include "config_wizard/service_helper.h"
#include "config_wizard/tests/fake_systemctl.h"
#include "service/systemd_service_manager.h"

namespace ixan {
namespace {

using Calls = std::vector<std::string>;

class ServiceRestart : public testing::Test {
  protected:
    SystemdServiceManager manager() const {
        SystemdSettings s;
        s.systemctl = fake_.program();
        s.unitDir = fake_.unitDir();
        return SystemdServiceManager(s);
    }
    test::FakeSystemctl fake_;
};

TEST_F(ServiceRestart, InstalledServiceGetsOneStopThenOneStart) {
    fake_.installService();
    auto m = manager();
    restartService(m);
    EXPECT_EQ(fake_.serviceRequests(), (Calls{"stop IXAN.service", "start IXAN.service"}));
}

TEST_F(ServiceRestart, StartFollowsOnlyOnceTheStopHasFinished) {
    fake_.installService();
    fake_.slowVerb("stop");
    auto m = manager();
    restartService(m);
    EXPECT_EQ(fake_.serviceRequests(),
              (Calls{"stop IXAN.service", "stop finished", "start IXAN.service"}));
}

TEST_F(ServiceRestart, FailedStopStillStartsAndFailedStartIsSilent) {
    fake_.installService();
    fake_.failVerb("stop");
    fake_.failVerb("start");
    auto m = manager();
    CServiceHelper helper(m);
    helper.RequestStop();
    helper.RequestStart();
    EXPECT_EQ(fake_.serviceRequests(), (Calls{"stop IXAN.service", "start IXAN.service"}));
}

TEST_F(ServiceRestart, NotInstalledRequestsNothing) {
    auto m = manager();
    restartService(m);
    EXPECT_EQ(fake_.serviceRequests(), Calls{});
}

TEST_F(ServiceRestart, UnreachableServiceManagerRequestsNothing) {
    fake_.installService();
    fake_.failVerb("show-environment");
    auto m = manager();
    restartService(m);
    EXPECT_EQ(fake_.serviceRequests(), Calls{});
}

TEST_F(ServiceRestart, MissingSystemctlIsSilent) {
    fake_.installService();
    SystemdSettings s;
    s.systemctl = fake_.unitDir() + "/no-such-systemctl";
    s.unitDir = fake_.unitDir();
    SystemdServiceManager m(s);
    restartService(m);
    EXPECT_EQ(fake_.calls(), Calls{});
}

}  // namespace
}  // namespace ixan
