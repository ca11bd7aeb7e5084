# The show in a browser (emscripten: emcmake cmake ...; scripts/web.sh): the
# system's code unchanged, and the platform's browser side: the runtime, the
# Win32 stand-in over the page, Direct3D 8 over WebGL 2 (the same state
# tracker and back end), D3DX with the browser's image decoder, BASS over Web
# Audio, and the host's page entry point. Writes bralmond.js, .wasm, .data
# (the generated Data/) and the page.
set(BRALMOND_DATA_DIR "${CMAKE_SOURCE_DIR}/Data" CACHE PATH "the generated Data/ folder packed with the page")

file(GLOB SYSTEM_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/resources/*.cpp
  ${CMAKE_SOURCE_DIR}/effects/*.cpp ${CMAKE_SOURCE_DIR}/parts/*.cpp)
set(P ${CMAKE_SOURCE_DIR}/platform)
set(WEB_PLATFORM_SOURCES
  ${P}/runtime/Runtime.cpp ${P}/testing/CallLog.cpp
  ${P}/win32/Window.cpp ${P}/win32/System.cpp ${P}/win32/Files.cpp ${P}/win32/DisplayWeb.cpp
  ${P}/d3d8/Direct3D8.cpp ${P}/d3d8/Device.cpp ${P}/d3d8/Resources.cpp ${P}/d3d8/FixedFunction.cpp
  ${P}/d3d8/GlBackend.cpp ${P}/d3d8/GlContextWeb.cpp ${P}/d3d8/PresentationWeb.cpp
  ${P}/d3dx8/D3DXMath.cpp ${P}/d3dx8/D3DXTexture.cpp ${P}/d3dx8/D3DXImage.cpp ${P}/d3dx8/D3DXBmpWeb.cpp
  ${P}/bass/BassWeb.cpp ${P}/bass/StreamSource.cpp
  ${P}/host/Host.cpp ${P}/host/Start.cpp ${P}/host/Options.cpp ${P}/host/Ffmpeg.cpp ${P}/host/ShotWeb.cpp
  ${P}/host/MainWeb.cpp)

add_executable(bralmond ${SYSTEM_SOURCES} ${WEB_PLATFORM_SOURCES})
set_target_properties(bralmond PROPERTIES SUFFIX ".js")
target_include_directories(bralmond PRIVATE
  ${CMAKE_SOURCE_DIR}/app ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/effects ${CMAKE_SOURCE_DIR}/parts
  ${P}/win32 ${P}/d3d8 ${P}/d3dx8 ${P}/bass ${P} ${P}/testing)
target_compile_options(bralmond PRIVATE ${BRALMOND_WARNINGS} -O2)
target_link_options(bralmond PRIVATE
  -O2 -sUSE_WEBGL2=1 -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=131072 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=134217728
  -sENVIRONMENT=web -sEXIT_RUNTIME=1 -sEXPORTED_RUNTIME_METHODS=[allocateUTF8,UTF8ToString,FS]
  "--preload-file=${BRALMOND_DATA_DIR}@Data")
add_custom_command(TARGET bralmond POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${P}/host/web/index.html ${CMAKE_BINARY_DIR}/index.html)
