# The browser build: the emulation and the page's host compiled to WebAssembly, the program
# folder of a native build (our ROMs, OSI.INI, KEY.DAT, the help text) preloaded at /quarzel,
# and the page, all in one static folder.
set(QUARZEL_NATIVE_DIR "${CMAKE_SOURCE_DIR}/build" CACHE PATH
    "The native build whose generated sources and program folder the page takes")
set(QUARZEL_WEB_DIR "${CMAKE_SOURCE_DIR}/build-web" CACHE PATH "The static folder the page is written to")
foreach(file monitor.rom basic.rom KEY.DAT OSI.INI osi.txt font_game.cpp font_alternate.cpp speedtest.cpp)
  if(NOT EXISTS "${QUARZEL_NATIVE_DIR}/${file}")
    message(FATAL_ERROR "${QUARZEL_NATIVE_DIR}/${file} is missing: build the native tree first (./build.sh web does)")
  endif()
endforeach()

include(cmake/core_sources.cmake)
add_executable(quarzel_web
  ${QUARZEL_CORE_SOURCES}
  ${QUARZEL_NATIVE_DIR}/font_game.cpp
  ${QUARZEL_NATIVE_DIR}/font_alternate.cpp
  ${QUARZEL_NATIVE_DIR}/speedtest.cpp
  tools/kcs/kcs.cpp
  src/frontend/web/web_host.cpp
  src/frontend/web/web_main.cpp)
target_include_directories(quarzel_web PRIVATE src)
target_compile_definitions(quarzel_web PRIVATE QUARZEL_VERSION="${PROJECT_VERSION}" KCS_NO_MAIN)
set_target_properties(quarzel_web PROPERTIES OUTPUT_NAME quarzel SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${QUARZEL_WEB_DIR})
set(preload)
foreach(file monitor.rom basic.rom KEY.DAT OSI.INI osi.txt)
  list(APPEND preload "SHELL:--preload-file ${QUARZEL_NATIVE_DIR}/${file}@/quarzel/${file}")
endforeach()
target_link_options(quarzel_web PRIVATE -sALLOW_MEMORY_GROWTH=1 -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=['FS','UTF8ToString','stringToUTF8','lengthBytesUTF8','ccall','HEAPU8']"
  ${preload})
set(pages)
foreach(page index.html page.js)
  add_custom_command(OUTPUT ${QUARZEL_WEB_DIR}/${page}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/src/frontend/web/${page} ${QUARZEL_WEB_DIR}/${page}
    DEPENDS src/frontend/web/${page})
  list(APPEND pages ${QUARZEL_WEB_DIR}/${page})
endforeach()
add_custom_target(web_page ALL DEPENDS ${pages})
