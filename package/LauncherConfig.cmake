# The launcher's CMake package, at lib/cmake/Launcher/ of each release archive.
# With CMAKE_PREFIX_PATH at the unpacked archive's folder (or the folder that
# holds it),
#
#   find_package(Launcher 1.0 REQUIRED CONFIG)
#
# sets Launcher_EXECUTABLE (the archive's launcher.exe),
# Launcher_BRAND_EXECUTABLE (its launcher-brand for this host) and
# Launcher_SIGN_SCRIPT (its sign.cmake), and defines
#
#   launcher_add_copy(<name> OUTPUT <file.exe>
#                     [ICON <file.ico or logo.png> | ICON_FROM <program.exe or target>]
#                     [PRODUCT_NAME <text>] [DESCRIPTION <text>] [COMPANY <text>]
#                     [COPYRIGHT <text>] [TRADEMARKS <text>] [VERSION <a.b.c.d>]
#                     [PRODUCT_VERSION <text>] [INI_LINE <template>] [SIGN])
#
# which adds the target <name>, built by default, that writes OUTPUT, a copy of
# launcher.exe branded by launcher-brand with the options of the same names,
# and with INI_LINE the copy's .ini: OUTPUT up to its .exe, plus .ini, holding
# that one line in UTF-8 and CR LF. With SIGN, sign.cmake signs the copy once
# it is branded. The target's property LAUNCHER_FILES lists OUTPUT and its
# .ini, for install(FILES).
#
# A relative OUTPUT lies in the current binary folder, a relative ICON or
# ICON_FROM file in the current source folder. ICON_FROM names an executable
# target when one of that name exists once the project is configured, declared
# before the call or after it, and a file otherwise.
#
# Each build compares the digests of the tool, the launcher, the icon file or
# program, the certificate and the arguments with those it recorded: the copy
# is branded (and signed) again exactly when one of them changed, whatever the
# files' times, and a build with nothing changed writes nothing. A changed
# INI_LINE writes the .ini again and leaves the copy as it is.
#
# Arguments are checked at configure time: each mistake stops the
# configuration with one line naming the argument; an INI_LINE that leaves a
# [.] or [..] path unquoted draws one warning.
#
# The package needs no compiler (a project of LANGUAGES NONE may use it) and
# CMake 3.20 or later. LauncherConfigVersion.cmake refuses a folder without
# this host's tool, so that find_package looks further.

if(CMAKE_VERSION VERSION_LESS 3.20)
  set(Launcher_FOUND FALSE)
  set(Launcher_NOT_FOUND_MESSAGE "the Launcher package needs CMake 3.20 or later")
  return()
endif()

# Inside a function CMAKE_CURRENT_LIST_DIR is the caller's folder: the
# archive's folder is taken here, where it is this file's.
cmake_path(SET _launcher_root NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../../../")
set(Launcher_EXECUTABLE "${_launcher_root}launcher.exe")
set(Launcher_BRAND_EXECUTABLE "${_launcher_root}launcher-brand")
if(CMAKE_HOST_WIN32)
  string(APPEND Launcher_BRAND_EXECUTABLE ".exe")
endif()
set(Launcher_SIGN_SCRIPT "${_launcher_root}sign.cmake")
set_property(GLOBAL PROPERTY LAUNCHER_PACKAGE_DIR "${CMAKE_CURRENT_LIST_DIR}")
set_property(GLOBAL PROPERTY LAUNCHER_PACKAGE_TOOL "${Launcher_BRAND_EXECUTABLE}")
set_property(GLOBAL PROPERTY LAUNCHER_PACKAGE_LAUNCHER "${Launcher_EXECUTABLE}")
set_property(GLOBAL PROPERTY LAUNCHER_PACKAGE_SIGN "${Launcher_SIGN_SCRIPT}")

# Stops the configuration with one line naming the copy's target. The leading
# space keeps CMake from wrapping the line.
function(_launcher_refuse name text)
  message(FATAL_ERROR " launcher_add_copy(${name}): ${text}")
endfunction()

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

# Appends "COMMAND" and each of its arguments to the variable code. Each
# argument is taken whole, as ARGN would not be: a list splits at a ';' and
# keeps an unbalanced '[' with what follows.
function(_launcher_append_command)
  string(APPEND code "\nCOMMAND")
  math(EXPR last "${ARGC} - 1")
  foreach(at RANGE ${last})
    _launcher_append_word("${ARGV${at}}")
  endforeach()
  set(code "${code}" PARENT_SCOPE)
endfunction()

# Adds a custom command from code, OUTPUT files and DEPENDS files.
function(_launcher_add_command outputs depends comment)
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
  _launcher_append_word("${comment}")
  cmake_language(EVAL CODE "${code} VERBATIM)")
endfunction()

# Refuses a VERSION launcher-brand would refuse: one to four numbers up to
# 65535, separated by dots.
function(_launcher_check_version name keyword version)
  string(REPLACE "." ";" numbers "${version}")
  list(LENGTH numbers count)
  if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)*$" OR count GREATER 4)
    _launcher_refuse(${name} "${keyword} '${version}' is not one to four numbers separated by dots, such as 2.1")
  endif()
  foreach(number IN LISTS numbers)
    if(number GREATER 65535)
      _launcher_refuse(${name} "${keyword} '${version}' has a number above 65535")
    endif()
  endforeach()
endfunction()

# Warns when INI_LINE holds [.] or [..] outside quotes: installed under a
# folder with a space, that word reaches the application split in two. The
# warning shows the line with each such word quoted.
function(_launcher_check_quoting name line)
  set(quoted FALSE)
  set(raw "")
  set(bare "")
  set(exposed FALSE)
  set(suggested "")
  set(warn FALSE)
  string(LENGTH "${line}" length)
  # One step past the end closes the last word.
  foreach(at RANGE ${length})
    string(SUBSTRING "${line}" ${at} 1 char)
    if(NOT quoted AND char MATCHES "^[ \t]?$")
      if(exposed)
        string(APPEND suggested "\"${bare}\"${char}")
        set(warn TRUE)
      else()
        string(APPEND suggested "${raw}${char}")
      endif()
      set(raw "")
      set(bare "")
      set(exposed FALSE)
      continue()
    endif()
    string(APPEND raw "${char}")
    if(char STREQUAL "\"")
      if(quoted)
        set(quoted FALSE)
      else()
        set(quoted TRUE)
      endif()
      continue()
    endif()
    string(APPEND bare "${char}")
    string(SUBSTRING "${line}" ${at} 4 ahead)
    if(NOT quoted AND ahead MATCHES "^\\[\\.\\.?\\]")
      set(exposed TRUE)
    endif()
  endforeach()
  if(warn)
    message(WARNING " launcher_add_copy(${name}): INI_LINE leaves [.] or [..] outside quotes, "
      "so a folder with a space splits that argument; quote it: ${suggested}")
  endif()
endfunction()

# Run once the project is configured: ICON_FROM names the executable target
# of that name when there is one, else a file that must exist.
function(_launcher_resolve_icon_from name inputs icon_from file)
  if(NOT TARGET "${icon_from}")
    if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
      _launcher_refuse(${name} "ICON_FROM '${icon_from}' is no target of the project, and no file '${file}'")
    endif()
    return()
  endif()
  get_target_property(type "${icon_from}" TYPE)
  if(NOT type STREQUAL "EXECUTABLE")
    _launcher_refuse(${name} "ICON_FROM '${icon_from}' is a ${type} target, not an executable")
  endif()
  get_target_property(imported "${icon_from}" IMPORTED)
  if(NOT imported)
    add_dependencies("${inputs}" "${icon_from}")
  endif()
endfunction()

# The signing settings, fixed at configure time: the cache's, else the
# environment's. The password is read only at build time, by sign.cmake.
function(_launcher_signing_settings)
  set(LAUNCHER_SIGN_PFX "" CACHE FILEPATH
    "The code-signing certificate (PKCS#12) of copies marked SIGN; else the environment's LAUNCHER_SIGN_PFX")
  set(LAUNCHER_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "A file whose first line is the certificate's password; else the build's environment gives it")
  set(LAUNCHER_SIGN_TIMESTAMP_URL "" CACHE STRING
    "An RFC 3161 time-stamp authority's address; else the environment's LAUNCHER_SIGN_TIMESTAMP_URL")
  option(LAUNCHER_ALLOW_UNSIGNED "Leave copies marked SIGN unsigned when there is no certificate" OFF)
  if(DEFINED CACHE{LAUNCHER_SIGN_PASSWORD})
    unset(LAUNCHER_SIGN_PASSWORD CACHE)
    message(WARNING " LAUNCHER_SIGN_PASSWORD is not kept in the build tree and was removed from the cache: "
      "set it in the environment of the build, or give its file as LAUNCHER_SIGN_PASSWORD_FILE")
  endif()
  foreach(setting IN ITEMS PFX TIMESTAMP_URL)
    set(value "${LAUNCHER_SIGN_${setting}}")
    if(value STREQUAL "")
      set(value "$ENV{LAUNCHER_SIGN_${setting}}")
    endif()
    set(sign_${setting} "${value}" PARENT_SCOPE)
  endforeach()
  get_property(warned GLOBAL PROPERTY LAUNCHER_UNSIGNED_WARNED)
  if("${LAUNCHER_SIGN_PFX}$ENV{LAUNCHER_SIGN_PFX}" STREQUAL "" AND LAUNCHER_ALLOW_UNSIGNED AND NOT warned)
    set_property(GLOBAL PROPERTY LAUNCHER_UNSIGNED_WARNED TRUE)
    message(WARNING " no certificate (LAUNCHER_SIGN_PFX): the launcher copies marked SIGN are left unsigned, "
      "as LAUNCHER_ALLOW_UNSIGNED allows")
  endif()
endfunction()

function(launcher_add_copy name)
  # Each text is launcher-brand's option of the same name.
  set(texts PRODUCT_NAME DESCRIPTION COMPANY COPYRIGHT TRADEMARKS VERSION PRODUCT_VERSION)
  set(paths OUTPUT ICON ICON_FROM)
  cmake_parse_arguments(PARSE_ARGV 1 arg "SIGN" "${paths};INI_LINE;${texts}" "")
  if(DEFINED arg_UNPARSED_ARGUMENTS)
    _launcher_refuse(${name} "unexpected argument '${arg_UNPARSED_ARGUMENTS}'")
  elseif(DEFINED arg_KEYWORDS_MISSING_VALUES)
    _launcher_refuse(${name} "${arg_KEYWORDS_MISSING_VALUES} needs a value")
  elseif(NOT DEFINED arg_OUTPUT)
    _launcher_refuse(${name} "OUTPUT names no file")
  elseif(NOT arg_OUTPUT MATCHES "\\.[Ee][Xx][Ee]$")
    _launcher_refuse(${name} "OUTPUT '${arg_OUTPUT}' does not end in .exe: \
a launcher's copy finds its .ini through the .exe in its name")
  elseif(DEFINED arg_ICON AND DEFINED arg_ICON_FROM)
    _launcher_refuse(${name} "ICON and ICON_FROM cannot be given together")
  endif()
  # A path holding ';' would reach CMake as two.
  foreach(keyword IN LISTS paths)
    if("${arg_${keyword}}" MATCHES ";")
      _launcher_refuse(${name} "${keyword} '${arg_${keyword}}' holds ';', which CMake takes as two paths")
    endif()
  endforeach()
  foreach(keyword IN ITEMS INI_LINE ${texts})
    if("${arg_${keyword}}" MATCHES "[\r\n]")
      _launcher_refuse(${name} "${keyword} must be one line")
    endif()
  endforeach()
  if(DEFINED arg_VERSION)
    _launcher_check_version(${name} VERSION "${arg_VERSION}")
  endif()
  get_property(package GLOBAL PROPERTY LAUNCHER_PACKAGE_DIR)
  get_property(tool GLOBAL PROPERTY LAUNCHER_PACKAGE_TOOL)
  get_property(launcher GLOBAL PROPERTY LAUNCHER_PACKAGE_LAUNCHER)
  cmake_path(ABSOLUTE_PATH arg_OUTPUT BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE
    OUTPUT_VARIABLE output)
  cmake_path(GET output PARENT_PATH folder)
  set(state "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/launcher_add_copy/${name}")
  set(inputs "${name}_launcher_inputs")
  set(files "${output}")

  set(code "")
  _launcher_append_command("${CMAKE_COMMAND}" -E make_directory "${folder}")
  _launcher_append_command("${tool}" "${launcher}" "${output}")
  if(DEFINED arg_ICON)
    cmake_path(ABSOLUTE_PATH arg_ICON BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
      OUTPUT_VARIABLE icon)
    if(NOT EXISTS "${icon}" OR IS_DIRECTORY "${icon}")
      _launcher_refuse(${name} "ICON '${arg_ICON}' names no file: '${icon}' does not exist")
    endif()
    _launcher_append_word(--icon)
  elseif(DEFINED arg_ICON_FROM)
    cmake_path(ABSOLUTE_PATH arg_ICON_FROM BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
      OUTPUT_VARIABLE icon)
    # Whether a target of that name exists is known once the project is
    # configured; $<IF:...> would evaluate $<TARGET_FILE:...> either way.
    if(arg_ICON_FROM MATCHES "^[A-Za-z0-9_.+-]+$")
      set(target "${arg_ICON_FROM}")
      cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]]
        CALL _launcher_resolve_icon_from [[${name}]] [[${inputs}]] [[${target}]] [[${icon}]])")
      set(icon "$<$<TARGET_EXISTS:${target}>:$<TARGET_FILE:${target}>>$<$<NOT:$<TARGET_EXISTS:${target}>>:${icon}>")
    elseif(NOT EXISTS "${icon}" OR IS_DIRECTORY "${icon}")
      _launcher_refuse(${name} "ICON_FROM '${arg_ICON_FROM}' names no file: '${icon}' does not exist")
    endif()
    _launcher_append_word(--icon-from)
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
  # The branding command, kept in a file that changes only when it does: its
  # digest stands for the arguments.
  file(CONFIGURE OUTPUT "${state}.command" CONTENT "@code@\n" @ONLY)

  # The digests of what the copy is made from, taken at every build; the
  # custom target always runs, and its file changes only with a digest.
  set(digests "${state}.digests")
  set(brand_code "${code}")
  set(code "add_custom_target(${inputs}")
  _launcher_append_command("${CMAKE_COMMAND}" "-DDIGESTS=${digests}" "-DTOOL=${tool}"
    "-DLAUNCHER=${launcher}" "-DARGUMENTS=${state}.command")
  if(DEFINED icon)
    _launcher_append_word("-DICON=${icon}")
  endif()
  if(arg_SIGN)
    _launcher_signing_settings()
    _launcher_append_word("-DCERTIFICATE=${sign_PFX}")
  endif()
  _launcher_append_word(-P)
  _launcher_append_word("${package}/LauncherInputs.cmake")
  string(APPEND code "\nBYPRODUCTS")
  _launcher_append_word("${digests}")
  string(APPEND code "\nCOMMENT")
  _launcher_append_word("Comparing the digests of what ${output} is made from")
  cmake_language(EVAL CODE "${code} VERBATIM)")
  set(code "${brand_code}")

  if(arg_SIGN)
    # Signing keeps a stamp of its own, so that a failed signing is tried
    # again at the next build, and a branded copy is signed once. The stamp
    # of branding comes first: Makefiles touch the other outputs when they
    # are older than the first, and signing makes the copy newer.
    _launcher_append_command("${CMAKE_COMMAND}" -E touch "${state}.branded")
    _launcher_add_command("${state}.branded;${output}" "${digests}" "Branding ${output}")
    get_property(sign GLOBAL PROPERTY LAUNCHER_PACKAGE_SIGN)
    # The certificate and the time-stamp authority are the configuration's,
    # not whatever the build's environment says.
    set(code "")
    _launcher_append_command("${CMAKE_COMMAND}" -E env --unset=LAUNCHER_SIGN_PFX
      --unset=LAUNCHER_SIGN_TIMESTAMP_URL "${CMAKE_COMMAND}" "-DFILE=${output}" "-DPFX=${sign_PFX}"
      "-DPASSWORD_FILE=${LAUNCHER_SIGN_PASSWORD_FILE}" "-DTIMESTAMP_URL=${sign_TIMESTAMP_URL}"
      "-DLAUNCHER_BRAND=${tool}" "-DALLOW_UNSIGNED=${LAUNCHER_ALLOW_UNSIGNED}" -P "${sign}")
    _launcher_append_command("${CMAKE_COMMAND}" -E touch "${state}.signed")
    _launcher_add_command("${state}.signed" "${state}.branded" "Signing ${output}")
    list(APPEND files "${state}.signed")
  else()
    _launcher_add_command("${output}" "${digests}" "Branding ${output}")
  endif()

  set(installed "${output}")
  if(DEFINED arg_INI_LINE)
    _launcher_check_quoting(${name} "${arg_INI_LINE}")
    # Copied from a file, so that the line meets no shell on its way.
    string(REGEX REPLACE "\\.[Ee][Xx][Ee]$" ".ini" ini "${output}")
    set(line "${arg_INI_LINE}")
    file(CONFIGURE OUTPUT "${state}.ini" CONTENT "@line@\n" @ONLY NEWLINE_STYLE CRLF)
    set(code "")
    _launcher_append_command("${CMAKE_COMMAND}" -E copy "${state}.ini" "${ini}")
    _launcher_add_command("${ini}" "${state}.ini" "Writing ${ini}")
    list(APPEND files "${ini}")
    list(APPEND installed "${ini}")
  endif()
  add_custom_target(${name} ALL DEPENDS ${files})
  add_dependencies(${name} ${inputs})
  set_property(TARGET ${name} PROPERTY LAUNCHER_FILES "${installed}")
endfunction()
