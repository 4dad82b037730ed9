# Sources of the remesher; target_sources(tamrel_mesh PRIVATE ...)
target_sources(tamrel_mesh PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MeshConversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeshReorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RefSurface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Remesher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemesherSizing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemesherPasses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemesherSmooth.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemesherCleanup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemesherProjection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemesherDrivers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../TriMeshRemesh.cpp)
target_link_libraries(tamrel_mesh PRIVATE embree)
