# The test definitions of the platforms. The launcher's records process starts
# and message boxes and fails on command. Files are real: Windows' own runtime under Wine
# (platform_win32_files), the C library natively (platform_posix_files).
# Included by every build that needs them, defined once.
include_guard(GLOBAL)

if(NOT WIN32)
  add_library(platform_posix_files STATIC ${CMAKE_CURRENT_LIST_DIR}/platform_posix_files.cpp)
  target_link_libraries(platform_posix_files PRIVATE launch_core launcher_warnings)
endif()
add_library(platform_fake STATIC ${CMAKE_CURRENT_LIST_DIR}/platform_fake.cpp)
target_link_libraries(platform_fake PUBLIC launch_core PRIVATE launcher_warnings)
# launcher-brand's platform for its unit tests and fuzz target: files in
# memory, failures on command.
add_library(brand_platform_fake STATIC ${CMAKE_CURRENT_LIST_DIR}/brand_platform_fake.cpp)
target_include_directories(brand_platform_fake PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(brand_platform_fake PUBLIC brand_core PRIVATE launcher_warnings)
