# Sources of the drawers, shaders and camera; target_sources(tamrel_render PRIVATE ...)
