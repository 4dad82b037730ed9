# Sources of the Vulkan core; target_sources(tamrel_render PRIVATE ...)
target_sources(tamrel_render PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Buffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GpuInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OneShotCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Screenshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShaderModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Swapchain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SwapchainContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VulkanCommon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VulkanInstance.cpp)
target_link_libraries(tamrel_render PRIVATE glfw)
