# The Windows build (cmake/mingw-i686.cmake): the core's system libraries, and the application
# folder of the 32-bit Windows program. Included from the top-level CMakeLists.txt.

# nlohmann's header-only library is taken from the build machine's Debian package, without
# putting the machine's own include folder on the cross compiler's path.
find_path(PARVELA_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(PARVELA_NLOHMANN_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-include)
file(MAKE_DIRECTORY ${PARVELA_NLOHMANN_INCLUDE})
file(CREATE_LINK ${PARVELA_NLOHMANN_DIR}/nlohmann ${PARVELA_NLOHMANN_INCLUDE}/nlohmann SYMBOLIC)

target_include_directories(parvela_core SYSTEM PRIVATE ${PARVELA_NLOHMANN_INCLUDE})
# GCC 12 for 32-bit targets warns of overlapping copies and uninitialised bytes inside its own
# string code when optimising (known false alarms); every target of the build links the H.264
# reader, so the switch travels with it.
target_compile_options(parvela_h264 PUBLIC -Wno-restrict -Wno-maybe-uninitialized)
target_compile_definitions(parvela_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(parvela_core PUBLIC parvela_h264 ole32 oleaut32 uuid strmiids psapi)

# The release programs go without their symbol tables: a third of their size.
add_link_options($<$<CONFIG:Release>:-s>)

function(parvela_windows_front_ends)
  add_executable(parvela-cli ${CMAKE_SOURCE_DIR}/src/app/main_cli.cpp)
  target_link_libraries(parvela-cli PRIVATE parvela_core)
  set_target_properties(parvela-cli PROPERTIES ENABLE_EXPORTS ON RUNTIME_OUTPUT_DIRECTORY ${PARVELA_APP_DIR})

  add_subdirectory(${CMAKE_SOURCE_DIR}/src/dshow/components ${CMAKE_BINARY_DIR}/components)

  # The window: a native Win32 view over Form1 (Debian has no Qt for mingw).
  file(GLOB PARVELA_WIN32_VIEW ${CMAKE_SOURCE_DIR}/src/ui/win32/*.cpp)
  list(FILTER PARVELA_WIN32_VIEW EXCLUDE REGEX "/main_win32\\.cpp$")
  add_library(parvela_win32_view STATIC ${PARVELA_WIN32_VIEW})
  target_link_libraries(parvela_win32_view PUBLIC parvela_core comctl32 comdlg32 shell32)
  add_executable(parvela WIN32 ${CMAKE_SOURCE_DIR}/src/ui/win32/main_win32.cpp)
  target_link_libraries(parvela PRIVATE parvela_win32_view)
  # A window program: main() as its entry, no console.
  target_link_options(parvela PRIVATE -mwindows)
  set_target_properties(parvela PROPERTIES ENABLE_EXPORTS ON RUNTIME_OUTPUT_DIRECTORY ${PARVELA_APP_DIR})

  # The AVI muxer's script template, and the list of the programs the tool folders must hold.
  file(MAKE_DIRECTORY ${PARVELA_APP_DIR}/avimux)
  configure_file(${CMAKE_SOURCE_DIR}/data/avimux/parvela.amg ${PARVELA_APP_DIR}/avimux/parvela.amg COPYONLY)
  configure_file(${CMAKE_SOURCE_DIR}/data/windows/TOOLS.txt ${PARVELA_APP_DIR}/TOOLS.txt COPYONLY)
endfunction()
