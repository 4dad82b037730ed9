# Sources of the remesher; target_sources(tamrel_mesh PRIVATE ...)
