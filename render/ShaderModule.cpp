#include "ShaderModule.h"

#include <utility>

ShaderModule::~ShaderModule()
{
    release();
}

ShaderModule::ShaderModule(ShaderModule&& other) noexcept
    : module(std::exchange(other.module, nullptr)), owner(other.owner), allocator(other.allocator),
      stage(other.stage)
{
}

ShaderModule& ShaderModule::operator=(ShaderModule&& other) noexcept
{
    if (this != &other) {
        release();
        module = std::exchange(other.module, nullptr);
        owner = other.owner;
        allocator = other.allocator;
        stage = other.stage;
    }
    return *this;
}

void ShaderModule::create(const vk::Device& device, const uint32_t* code, size_t codeSize,
                          vk::ShaderStageFlagBits shaderStage)
{
    stage = shaderStage;
    const vk::ShaderModule created =
        device.createShaderModule(vk::ShaderModuleCreateInfo({}, codeSize, code));
    if (created != module) release();
    module = created;
    owner = device;
}

vk::PipelineShaderStageCreateInfo ShaderModule::stageInfo() const
{
    return vk::PipelineShaderStageCreateInfo({}, stage, module, "main");
}

void ShaderModule::release()
{
    if (module) {
        owner.destroyShaderModule(module, allocator);
        module = nullptr;
    }
}
