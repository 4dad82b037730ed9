# The GUI overlay, part of the application library.
target_sources(tamrel_app PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/UiPanelStubs.cpp)
target_include_directories(tamrel_app PUBLIC ${CMAKE_CURRENT_LIST_DIR})
