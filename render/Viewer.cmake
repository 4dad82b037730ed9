# Sources of the drawers, shaders and camera.

# Each GLSL module is compiled to SPIR-V at build time and embedded as a
# C initialiser list of 32-bit words; nothing is read at run time.
set(tamrelShaderDir ${CMAKE_CURRENT_SOURCE_DIR}/shaders)
set(tamrelShaderGenDir ${CMAKE_CURRENT_BINARY_DIR}/shaders)
set(tamrelShaderSources
  matcap.vert
  matcap_wireframe.geom
  matcap.frag
  phong.vert
  phong_wireframe.geom
  phong.frag
  color.vert
  color.frag
  line.vert
  line.frag
  screen_quad.vert
  sobel_edge.frag
  ui.vert
  ui.frag
  normals.vert
  normals.geom
  normals.frag
  phong_matcap_uv_wireframe.geom)
set(tamrelShaderOutputs)
foreach(shader IN LISTS tamrelShaderSources)
  set(out ${tamrelShaderGenDir}/${shader}.inc)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tamrelShaderGenDir}
    COMMAND Vulkan::glslc --target-env=vulkan1.0 -O -mfmt=c -c ${tamrelShaderDir}/${shader} -o ${out}
    MAIN_DEPENDENCY ${tamrelShaderDir}/${shader}
    COMMENT "Compiling shader ${shader}"
    VERBATIM)
  list(APPEND tamrelShaderOutputs ${out})
endforeach()

target_sources(tamrel_render PRIVATE
  ${tamrelShaderOutputs}
  Camera.cpp
  DrawerSkeleton.cpp
  EdgeDetectDrawer.cpp
  EmbeddedShaders.cpp
  LineDrawer.cpp
  LineGeometry.cpp
  MatcapTexturePack.cpp
  MeshDrawer.cpp)
target_include_directories(tamrel_render PRIVATE ${tamrelShaderGenDir} ${PROJECT_SOURCE_DIR}/mesh)
