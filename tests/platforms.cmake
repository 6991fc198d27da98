# The test definition of the platform: records process starts and message
# boxes and fails on command. Files are real: Windows' own runtime under Wine
# (platform_win32_files), the C library natively (platform_posix_files).
# Included by every build that needs them, defined once.
include_guard(GLOBAL)

if(NOT WIN32)
  add_library(platform_posix_files STATIC ${CMAKE_CURRENT_LIST_DIR}/platform_posix_files.cpp)
  target_link_libraries(platform_posix_files PRIVATE launch_core launcher_warnings)
endif()
add_library(platform_fake STATIC ${CMAKE_CURRENT_LIST_DIR}/platform_fake.cpp)
target_link_libraries(platform_fake PUBLIC launch_core PRIVATE launcher_warnings)
