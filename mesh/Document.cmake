# Sources of the mesh document; target_sources(tamrel_mesh PRIVATE ...)
