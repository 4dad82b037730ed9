// Which devices get their vertex and index data written in place rather
// than through a staging buffer: only those whose device-local memory is
// all host-visible and coherent.

#include "DrawerSkeleton.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

using Flag = vk::MemoryPropertyFlagBits;

vk::PhysicalDeviceMemoryProperties memoryTypes(std::initializer_list<vk::MemoryPropertyFlags> types)
{
    vk::PhysicalDeviceMemoryProperties properties;
    for (vk::MemoryPropertyFlags flags : types) {
        properties.memoryTypes[properties.memoryTypeCount++] = vk::MemoryType(flags, 0);
    }
    properties.memoryHeapCount = 1;
    return properties;
}

} // namespace

TEST(UploadPath, UnifiedMemoryIsWrittenInPlace)
{
    // A software device: one type with every flag.
    EXPECT_TRUE(drawer::deviceMemoryIsHostVisible(memoryTypes(
        {Flag::eDeviceLocal | Flag::eHostVisible | Flag::eHostCoherent | Flag::eHostCached})));
    // An integrated GPU with an extra host-only type.
    EXPECT_TRUE(drawer::deviceMemoryIsHostVisible(memoryTypes(
        {Flag::eDeviceLocal | Flag::eHostVisible | Flag::eHostCoherent,
         Flag::eHostVisible | Flag::eHostCoherent | Flag::eHostCached})));
}

TEST(UploadPath, DedicatedMemoryGoesThroughStaging)
{
    // A discrete GPU with a small host-visible window into its memory.
    EXPECT_FALSE(drawer::deviceMemoryIsHostVisible(memoryTypes(
        {Flag::eDeviceLocal, Flag::eHostVisible | Flag::eHostCoherent,
         Flag::eDeviceLocal | Flag::eHostVisible | Flag::eHostCoherent})));
    // Device-local and mapped, but not coherent.
    EXPECT_FALSE(drawer::deviceMemoryIsHostVisible(memoryTypes({Flag::eDeviceLocal | Flag::eHostVisible})));
    // No device-local memory at all.
    EXPECT_FALSE(drawer::deviceMemoryIsHostVisible(memoryTypes({Flag::eHostVisible | Flag::eHostCoherent})));
    EXPECT_FALSE(drawer::deviceMemoryIsHostVisible(memoryTypes({})));
}
