#pragma once
// One SPIR-V shader module with the pipeline stage it serves. Owns the
// module uniquely: replacing it or dropping the holder destroys it, so a
// pipeline builder keeps its holders as locals. Main thread only.

#include <vulkan/vulkan.hpp>

#include <cstddef>
#include <cstdint>

struct ShaderModule {
    ShaderModule() = default;
    ~ShaderModule();
    ShaderModule(ShaderModule&& other) noexcept;
    ShaderModule& operator=(ShaderModule&& other) noexcept;
    ShaderModule(const ShaderModule&) = delete;
    ShaderModule& operator=(const ShaderModule&) = delete;

    vk::ShaderModule module;
    vk::Device owner;
    const vk::AllocationCallbacks* allocator = nullptr;
    vk::ShaderStageFlagBits stage = vk::ShaderStageFlagBits::eVertex;

    // codeSize in bytes (a multiple of 4). On failure the held module stays.
    void create(const vk::Device& device, const uint32_t* code, size_t codeSize,
                vk::ShaderStageFlagBits stage);

    // The pipeline stage description with entry point "main".
    vk::PipelineShaderStageCreateInfo stageInfo() const;

private:
    void release();
};
