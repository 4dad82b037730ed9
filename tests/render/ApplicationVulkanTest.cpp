// The built application brings its Vulkan context up on the test display,
// with the validation layer on, and releases it cleanly when the window is
// closed.

#include "ProcessRunner.h"
#include "XWindows.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(ApplicationVulkan, StartsOnTheGpuAndClosesCleanly)
{
    ChildProcess app(TAMREL_EXE, {},
                     {{"VK_INSTANCE_LAYERS", "VK_LAYER_KHRONOS_validation"},
                      {"VK_LAYER_ENABLES", "VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT"}});
    ASSERT_TRUE(xwin::waitForTitle("Tamrel", 60)) << app.output();
    // Let the main loop run a while before asking the window to close.
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(xwin::requestClose("Tamrel"));
    const ProcessResult r = xwin::waitForClose(app, "Tamrel", 60s);

    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Selected GPU device: llvmpipe"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Validation"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("Validation"), std::string::npos) << r.err;
    EXPECT_EQ(r.err, "");
}
