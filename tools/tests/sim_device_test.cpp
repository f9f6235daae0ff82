// A simulated device inside the test process, as benchmarks use it.

#include <gtest/gtest.h>

#include <string>

#include "tools/sim_event.h"
#include "tools/sim_export_body.h"
#include "tools/sim_render.h"
#include "tools/sim_server.h"
#include "tools/tests/sim_client.h"

namespace ixan::sim {
namespace {

TEST(SimDeviceInProcess, ServesItsLogUntilStopped) {
    SimOptions options;
    options.events = 20;
    options.seed = 8;
    SimDevice device(options, 1, nullptr);
    std::string error;
    ASSERT_TRUE(device.bind({"127.0.0.1", 0}, error)) << error;
    ASSERT_GT(device.port(), 0);
    device.start();
    const test::HttpReply reply = test::post(device.port(), test::kExportPath, test::kGoodBody);
    ASSERT_EQ(reply.code, CURLE_OK) << reply.error;
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, renderExport(generateEvents(9, 1, 0, 20), {}))
        << "device 1 uses seed + 1";
    device.stop();
    device.stop();
    test::PostOptions quick;
    quick.timeoutMs = 2000;
    EXPECT_NE(test::post(device.port(), test::kExportPath, test::kGoodBody, quick).code, CURLE_OK)
        << "nothing listens after the stop";
}

TEST(SimDeviceInProcess, BoundButNeverStartedReleasesItsPort) {
    SimOptions options;
    int port = 0;
    {
        SimDevice device(options, 0, nullptr);
        std::string error;
        ASSERT_TRUE(device.bind({"127.0.0.1", 0}, error)) << error;
        port = device.port();
    }
    SimDevice again(options, 0, nullptr);
    std::string error;
    EXPECT_TRUE(again.bind({"127.0.0.1", port}, error)) << error;
}

TEST(SimDeviceInProcess, BadAddressIsReported) {
    SimDevice device(SimOptions{}, 0, nullptr);
    std::string error;
    EXPECT_FALSE(device.bind({"no-such-host.invalid", 0}, error));
    EXPECT_NE(error.find("cannot listen on no-such-host.invalid:0"), std::string::npos) << error;
}

}  // namespace
}  // namespace ixan::sim
