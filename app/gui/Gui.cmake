# The GUI overlay, part of the application library.
target_sources(tamrel_app PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FileDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LicenceTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PanelRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiLogWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiMenuBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiRemeshPanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiDrawer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiInfoOverlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UiInput.cpp
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

# Licence texts generated from the installed Debian files.
tamrel_embed_file(tamrel_app /usr/share/common-licenses/Apache-2.0 LicenceApacheBytes)
set(licenceSources
  licenceAssimp=copyright:/usr/share/doc/libassimp5/copyright
  licenceGlfw=copyright:/usr/share/doc/libglfw3/copyright
  licenceGlm=copyright:/usr/share/doc/libglm-dev/copyright
  licenceImgui=copyright:/usr/share/doc/libimgui-dev/copyright
  licenceJson=copyright:/usr/share/doc/nlohmann-json3-dev/copyright
  licenceOpenMesh=copyright:/usr/share/doc/libopenmesh1/copyright
  licenceSpdlog=copyright:/usr/share/doc/libspdlog1.10/copyright
  licenceXxhash=copyright:/usr/share/doc/libxxhash0/copyright)
set(licenceFiles)
foreach(entry ${licenceSources})
  string(REGEX REPLACE "^[^:]*:" "" file ${entry})
  list(APPEND licenceFiles ${file})
endforeach()
set(licenceOutput ${CMAKE_CURRENT_BINARY_DIR}/generated/LicenceTexts.cpp)
add_custom_command(
  OUTPUT ${licenceOutput}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND tamrel-make-licences ${licenceOutput} ${licenceSources}
  DEPENDS tamrel-make-licences ${licenceFiles}
  COMMENT "Generating the licence texts"
  VERBATIM)
target_sources(tamrel_app PRIVATE ${licenceOutput})

# The help page opened from the Help menu, beside the executable.
set(helpPage ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/resources/help/index.html)
add_custom_command(
  OUTPUT ${helpPage}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/help/index.html ${helpPage}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/help/index.html
  COMMENT "Placing the help page")
add_custom_target(tamrel_help_page DEPENDS ${helpPage})
add_dependencies(tamrel_runtime_files tamrel_help_page)
