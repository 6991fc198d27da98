# The launcher's CMake package, at lib/cmake/Launcher/ of each release archive.
# With CMAKE_PREFIX_PATH at the unpacked archive's folder,
#
#   find_package(Launcher 1.0 REQUIRED CONFIG)
#
# defines
#
#   launcher_add_copy(<name> OUTPUT <file.exe>
#                     [ICON <file.ico or logo.png> | ICON_FROM <program.exe or target>]
#                     [PRODUCT_NAME <text>] [DESCRIPTION <text>] [COMPANY <text>]
#                     [COPYRIGHT <text>] [TRADEMARKS <text>] [VERSION <a.b.c.d>]
#                     [PRODUCT_VERSION <text>] [INI_LINE <template>])
#
# which adds the target <name>, built by default, that writes OUTPUT, a copy of
# the archive's launcher.exe branded by the archive's launcher-brand for this
# host (launcher-brand.exe on Windows, launcher-brand on Linux) with the
# options of the same names, and with INI_LINE writes the copy's .ini: OUTPUT
# up to its .exe, plus .ini, holding that one line in UTF-8 and CR LF. A
# relative OUTPUT lies in the current binary folder, a relative ICON or
# ICON_FROM file in the current source folder; ICON_FROM may name an
# executable target of the project. The copy is written again when the tool,
# the launcher, the icon or any argument changes, and not otherwise.
#
# The package needs no compiler (a project of LANGUAGES NONE may use it) and
# CMake 3.20 or later. Without the tool for this host, Launcher_FOUND is false
# and the message names the archive that has it.

if(CMAKE_VERSION VERSION_LESS 3.20)
  set(Launcher_FOUND FALSE)
  set(Launcher_NOT_FOUND_MESSAGE "the Launcher package needs CMake 3.20 or later")
  return()
endif()

# Inside a function CMAKE_CURRENT_LIST_DIR is the caller's folder: the
# archive's folder is taken here, where it is this file's.
cmake_path(SET _launcher_root NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../../../")
if(CMAKE_HOST_WIN32)
  set(_launcher_tool "${_launcher_root}launcher-brand.exe")
  set(_launcher_archive "launcher-${Launcher_VERSION}-windows-x64.zip")
elseif(CMAKE_HOST_SYSTEM_NAME STREQUAL "Linux")
  set(_launcher_tool "${_launcher_root}launcher-brand")
  set(_launcher_archive "launcher-brand-${Launcher_VERSION}-linux-x86_64.tar.gz")
else()
  set(Launcher_FOUND FALSE)
  set(Launcher_NOT_FOUND_MESSAGE
    "launcher-brand runs on Windows and on Linux x86-64, not on ${CMAKE_HOST_SYSTEM_NAME}")
  return()
endif()
foreach(_launcher_file IN ITEMS "${_launcher_tool}" "${_launcher_root}launcher.exe")
  if(NOT EXISTS "${_launcher_file}")
    set(Launcher_FOUND FALSE)
    string(CONCAT Launcher_NOT_FOUND_MESSAGE "${_launcher_file} is missing: this host's launcher-brand "
      "and launcher.exe come together in ${_launcher_archive} (or its -unsigned form); "
      "set CMAKE_PREFIX_PATH to the folder it unpacks into")
    return()
  endif()
endforeach()
set_property(GLOBAL PROPERTY LAUNCHER_PACKAGE_TOOL "${_launcher_tool}")
set_property(GLOBAL PROPERTY LAUNCHER_PACKAGE_LAUNCHER "${_launcher_root}launcher.exe")

# Stops the configuration with one line naming the copy's target.
macro(_launcher_refuse name)
  message(FATAL_ERROR "launcher_add_copy(${name}): " ${ARGN})
endmacro()

# Appends VALUE to the variable code as a bracket argument, which CMake takes
# byte for byte: neither ';', '[' nor '\' in a product's texts changes it, as
# they would change a list.
function(_launcher_append_word value)
  set(equals "")
  while(TRUE)
    string(FIND "${value}]${equals}" "]${equals}]" at)
    if(at EQUAL -1)
      break()
    endif()
    string(APPEND equals "=")
  endwhile()
  # The newline after the opening bracket is not part of the argument.
  set(code "${code} [${equals}[\n${value}]${equals}]" PARENT_SCOPE)
endfunction()

function(launcher_add_copy name)
  set(texts PRODUCT_NAME DESCRIPTION COMPANY COPYRIGHT TRADEMARKS VERSION PRODUCT_VERSION)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT;ICON;ICON_FROM;INI_LINE;${texts}" "")
  if(DEFINED arg_UNPARSED_ARGUMENTS)
    _launcher_refuse(${name} "unexpected argument '${arg_UNPARSED_ARGUMENTS}'")
  elseif(DEFINED arg_KEYWORDS_MISSING_VALUES)
    _launcher_refuse(${name} "${arg_KEYWORDS_MISSING_VALUES} needs a value")
  elseif(NOT DEFINED arg_OUTPUT)
    _launcher_refuse(${name} "OUTPUT names no file")
  elseif(NOT arg_OUTPUT MATCHES "\\.[Ee][Xx][Ee]$")
    _launcher_refuse(${name} "OUTPUT '${arg_OUTPUT}' does not end in .exe: "
      "a launcher's copy finds its .ini through the .exe in its name")
  elseif(DEFINED arg_ICON AND DEFINED arg_ICON_FROM)
    _launcher_refuse(${name} "ICON and ICON_FROM cannot be given together")
  endif()
  foreach(keyword IN ITEMS INI_LINE ${texts})
    if("${arg_${keyword}}" MATCHES "[\r\n]")
      _launcher_refuse(${name} "${keyword} must be one line")
    endif()
  endforeach()
  get_property(tool GLOBAL PROPERTY LAUNCHER_PACKAGE_TOOL)
  get_property(launcher GLOBAL PROPERTY LAUNCHER_PACKAGE_LAUNCHER)
  cmake_path(ABSOLUTE_PATH arg_OUTPUT BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
    OUTPUT_VARIABLE output)
  cmake_path(GET output PARENT_PATH folder)
  set(state "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/launcher_add_copy/${name}")
  set(outputs "${output}")
  set(depends "${tool}" "${launcher}" "${state}.command")

  set(code "COMMAND")
  foreach(word IN ITEMS "${CMAKE_COMMAND}" -E make_directory "${folder}")
    _launcher_append_word("${word}")
  endforeach()
  string(APPEND code "\nCOMMAND")
  foreach(word IN ITEMS "${tool}" "${launcher}" "${output}")
    _launcher_append_word("${word}")
  endforeach()
  if(DEFINED arg_ICON)
    cmake_path(ABSOLUTE_PATH arg_ICON BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
      OUTPUT_VARIABLE icon)
    _launcher_append_word(--icon)
    list(APPEND depends "${icon}")
  elseif(DEFINED arg_ICON_FROM AND TARGET "${arg_ICON_FROM}")
    set(icon "$<TARGET_FILE:${arg_ICON_FROM}>")
    _launcher_append_word(--icon-from)
    list(APPEND depends "${arg_ICON_FROM}")
  elseif(DEFINED arg_ICON_FROM)
    cmake_path(ABSOLUTE_PATH arg_ICON_FROM BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
      OUTPUT_VARIABLE icon)
    _launcher_append_word(--icon-from)
    list(APPEND depends "${icon}")
  endif()
  if(DEFINED icon)
    _launcher_append_word("${icon}")
  endif()
  foreach(keyword IN LISTS texts)
    if(DEFINED arg_${keyword})
      string(TOLOWER "--${keyword}" option)
      string(REPLACE "_" "-" option "${option}")
      _launcher_append_word("${option}")
      _launcher_append_word("${arg_${keyword}}")
    endif()
  endforeach()
  if(DEFINED arg_INI_LINE)
    # Copied from a file, so that the line meets no shell on its way.
    string(REGEX REPLACE "\\.[Ee][Xx][Ee]$" ".ini" ini "${output}")
    set(line "${arg_INI_LINE}")
    file(CONFIGURE OUTPUT "${state}.ini" CONTENT "@line@\n" @ONLY NEWLINE_STYLE CRLF)
    list(APPEND outputs "${ini}")
    list(APPEND depends "${state}.ini")
    string(APPEND code "\nCOMMAND")
    foreach(word IN ITEMS "${CMAKE_COMMAND}" -E copy "${state}.ini" "${ini}")
      _launcher_append_word("${word}")
    endforeach()
  endif()
  # The commands, kept in a file that changes only when they do: a changed
  # argument brands the copy again, an unchanged one does not.
  file(CONFIGURE OUTPUT "${state}.command" CONTENT "@code@\n" @ONLY)

  set(command "${code}")
  set(code "add_custom_command(OUTPUT")
  foreach(file IN LISTS outputs)
    _launcher_append_word("${file}")
  endforeach()
  string(APPEND code "\n${command}\nDEPENDS")
  foreach(file IN LISTS depends)
    _launcher_append_word("${file}")
  endforeach()
  string(APPEND code "\nCOMMENT")
  _launcher_append_word("Branding ${output}")
  cmake_language(EVAL CODE "${code} VERBATIM)")
  add_custom_target(${name} ALL DEPENDS ${outputs})
endfunction()
