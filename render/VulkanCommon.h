#pragma once
// Small pieces shared by the Vulkan core: the logger handle, the two-call
// read of variable-length Vulkan lists and the checked release of a handle.

#include <vulkan/vulkan.hpp>

#include <spdlog/logger.h>

#include <cstdint>
#include <memory>
#include <vector>

// The shared "tamrel_log" logger, fetched from the registry once it exists.
spdlog::logger& renderLogger();

// Reads a Vulkan list in the two-call form: count, then fetch, both repeated
// while the driver answers VK_INCOMPLETE (the list grew in between); the list
// is trimmed to the count of the last fetch. A failing result throws the
// Vulkan error of that result with `callName` as its text.
template <typename T, typename Fetch>
std::vector<T> enumerateTwoCall(Fetch fetch, const char* callName)
{
    std::vector<T> items;
    uint32_t count = 0;
    VkResult result;
    do {
        result = fetch(&count, nullptr);
        if (result == VK_SUCCESS && count > 0) {
            items.resize(count);
            result = fetch(&count, items.data());
        }
    } while (result == VK_INCOMPLETE);
    vk::resultCheck(static_cast<vk::Result>(result), callName);
    if (count < items.size()) items.resize(count);
    return items;
}

// Destroys a handle only when it is set, then nulls it, so that a destroy
// may run twice and a create may release what it held first.
template <typename Handle, typename Destroy>
void releaseHandle(Handle& handle, Destroy destroy)
{
    if (handle) {
        destroy(handle);
        handle = nullptr;
    }
}
