# Sources of the Vulkan core; target_sources(tamrel_render PRIVATE ...)
