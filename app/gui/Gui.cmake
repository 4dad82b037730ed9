# The GUI overlay, part of the application library.
target_sources(tamrel_app PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/UiDrawer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiInfoOverlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiPanelStubs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiStyle.cpp)
target_include_directories(tamrel_app PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tamrel_app PUBLIC PkgConfig::IMGUI)

# The text and icon fonts are compiled in from the installed Debian fonts.
set(tamrelTextFont /usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf)
set(tamrelIconFont /usr/share/fonts/truetype/font-awesome/fontawesome-webfont.ttf)
foreach(font IN ITEMS ${tamrelTextFont} ${tamrelIconFont})
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} is missing: install fonts-roboto-unhinted and fonts-font-awesome")
  endif()
endforeach()
tamrel_embed_file(tamrel_app ${tamrelTextFont} UiTextFontBytes)
tamrel_embed_file(tamrel_app ${tamrelIconFont} UiIconFontBytes)
