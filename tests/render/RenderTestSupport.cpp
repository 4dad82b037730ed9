#include "RenderTestSupport.h"

#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>

namespace rendertest {

namespace {
// Validation on lavapipe for every Vulkan object the tests (and the
// application they start) make, unless the caller chose otherwise.
const bool validationRequested = [] {
    setenv("VK_DRIVER_FILES", "/usr/share/vulkan/icd.d/lvp_icd.x86_64.json", 0);
    setenv("VK_INSTANCE_LAYERS", "VK_LAYER_KHRONOS_validation", 0);
    setenv("VK_LAYER_ENABLES", "VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT", 0);
    return true;
}();

std::ostringstream& logStream()
{
    static std::ostringstream stream;
    static std::once_flag registered;
    std::call_once(registered, [] {
        auto sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(stream);
        sink->set_pattern("%l %v");
        auto logger = std::make_shared<spdlog::logger>("tamrel_log", sink);
        logger->set_level(spdlog::level::debug);
        spdlog::register_logger(logger);
    });
    return stream;
}
} // namespace

std::string logText()
{
    std::ostringstream& stream = logStream();
    spdlog::get("tamrel_log")->flush();
    return stream.str();
}

void clearLog()
{
    logStream().str("");
}

vk::Instance HeadlessDevice::instance;
vk::PhysicalDevice HeadlessDevice::physicalDevice;
GpuInfo HeadlessDevice::gpuInfo;
vk::Device HeadlessDevice::device;
vk::CommandPool HeadlessDevice::pool;
uint32_t HeadlessDevice::family = 0;

void HeadlessDevice::SetUpTestSuite()
{
    logStream();
    // The swapchain extension the device enables depends on the surface one.
    const char* extensions[] = {VK_KHR_SURFACE_EXTENSION_NAME};
    const vk::ApplicationInfo appInfo("tamrel tests", 1, nullptr, 0, VK_API_VERSION_1_0);
    vk::InstanceCreateInfo createInfo({}, &appInfo);
    createInfo.setPEnabledExtensionNames(extensions);
    instance = vk::createInstance(createInfo);
    physicalDevice = instance.enumeratePhysicalDevices().front();
    gpuInfo = GpuInfo();
    gpuInfo.query(physicalDevice, nullptr);
    gpuInfo.presentFamily = gpuInfo.graphicsFamily;
    device = createLogicalDevice(physicalDevice, gpuInfo);
    family = static_cast<uint32_t>(gpuInfo.graphicsFamily);
    pool = device.createCommandPool(
        vk::CommandPoolCreateInfo(vk::CommandPoolCreateFlagBits::eResetCommandBuffer, family));
}

void HeadlessDevice::TearDownTestSuite()
{
    if (device) {
        device.waitIdle();
        device.destroyCommandPool(pool);
        device.destroy();
    }
    if (instance) instance.destroy();
    device = nullptr;
    instance = nullptr;
}

} // namespace rendertest
