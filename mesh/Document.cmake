# Sources of the mesh document; target_sources(tamrel_mesh PRIVATE ...)
target_sources(tamrel_mesh PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TriMesh.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TaskEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Import.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InputCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VertexMerge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeshChecks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Normals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Export.cpp)
target_link_libraries(tamrel_mesh
  PUBLIC assimp::assimp
  PRIVATE PkgConfig::XXHASH)
