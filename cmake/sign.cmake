# Signs a Windows executable in place with the maker's Authenticode certificate.
#
#   cmake -DFILE=viewer.exe [-DPFX=maker.pfx] [-DPASSWORD_FILE=file]
#         [-DDESCRIPTION=text] [-DURL=address] [-DTIMESTAMP_URL=address]
#         [-DLAUNCHER_BRAND=launcher-brand] [-DALLOW_UNSIGNED=ON] -P sign.cmake
#
# The certificate (PKCS#12) comes from PFX, or else from the environment
# variable LAUNCHER_SIGN_PFX. Its password comes from the file PASSWORD_FILE
# (or LAUNCHER_SIGN_PASSWORD_FILE in the environment), whose first line it is,
# or else from the environment variable LAUNCHER_SIGN_PASSWORD, which may be
# empty. It is never taken from a command line, where other users could read
# it, nor written beside the file or into a build tree: on Linux osslsigncode
# reads it from a pipe, and on Windows from a file in the user's %TEMP%,
# removed when signing ends. Without a certificate, signing fails:
# the file was meant to be signed. The build's own step passes ALLOW_UNSIGNED,
# with which the file is left unsigned and one line says so.
#
# On Linux the signed file keeps the mode the file had.
#
# The signature names the file DESCRIPTION, by default the ProductName of the
# file's own version resource, or else its file name; URL, when given, is the
# signature's link to the product. The ProductName is read by
# `launcher-brand --show`: the tool LAUNCHER_BRAND, else launcher-brand (or
# launcher-brand.exe on Windows) beside this script, else in the source tree's
# dist/; without one the file is described by its file name.
#
# TIMESTAMP_URL (or LAUNCHER_SIGN_TIMESTAMP_URL in the environment) names an
# RFC 3161 time-stamp authority that vouches for the signing time, so that the
# signature still verifies once the certificate has expired. Without one, the signing time is SOURCE_DATE_EPOCH when it is
# set, so that the same file and certificate give the same bytes, and else the
# current time.
#
# osslsigncode writes the signed file in a folder of its own in the temporary
# folder (TMPDIR, /tmp, or on Windows %TEMP%); only then is it copied beside
# the file and put in its place, so that a run stopped while an authority is
# awaited leaves nothing beside the file.
#
# One line tells what was done. A failure is one line under CMake's own
# "CMake Error at" header: each message starts with a space, which keeps CMake
# from wrapping it.

# The oldest CMake the Launcher package takes runs it too.
cmake_minimum_required(VERSION 3.20...3.25)

# Where this script lies: beside launcher-brand in the release's archives, in
# cmake/ of the source tree.
set(sign_dir "${CMAKE_CURRENT_LIST_DIR}")

# Sets NAME_OUT to the ProductName of FILE's version resource, as
# `launcher-brand --show` prints it (from the first string table that holds
# one). When there is none, sets NAME_OUT to "" and REASON_OUT to why. The tool
# is LAUNCHER_BRAND, else the one for this host beside this script, else the
# one in the source tree's dist/.
function(read_product_name name_out reason_out)
  set(${name_out} "" PARENT_SCOPE)
  set(tool "${LAUNCHER_BRAND}")
  if(CMAKE_HOST_WIN32)
    set(tool_name launcher-brand.exe)
  else()
    set(tool_name launcher-brand)
  endif()
  foreach(candidate IN ITEMS "${sign_dir}/${tool_name}" "${sign_dir}/../dist/${tool_name}")
    if(tool STREQUAL "" AND EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
      set(tool "${candidate}")
    endif()
  endforeach()
  if(tool STREQUAL "")
    set(${reason_out} "no ${tool_name} beside sign.cmake reads its ProductName; give one with -DLAUNCHER_BRAND="
      PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND "${tool}" --show "${FILE}" RESULT_VARIABLE status
    OUTPUT_VARIABLE shown ERROR_VARIABLE error ENCODING UTF8)
  if(NOT status EQUAL 0)
    string(REGEX REPLACE "^launcher-brand: |\n+$" "" error "${error}")
    if(error STREQUAL "")
      set(error "'${tool}' did not run (${status})")
    endif()
    set(${reason_out} "${error}" PARENT_SCOPE)
    return()
  endif()
  # Keys compare as Windows compares them, ignoring case; lowering ASCII
  # letters keeps every byte where it was. The strings come first, so no
  # later line can pass for one.
  set(shown "\n${shown}")
  string(TOLOWER "${shown}" lowered)
  string(FIND "${lowered}" "\nproductname: " at)
  if(at EQUAL -1)
    if(lowered MATCHES "\nversion information: none\n")
      set(${reason_out} "it has no version resource" PARENT_SCOPE)
    elseif(lowered MATCHES "\nversion information: malformed\n")
      set(${reason_out} "its version resource is malformed" PARENT_SCOPE)
    else()
      set(${reason_out} "its version resource has no ProductName" PARENT_SCOPE)
    endif()
    return()
  endif()
  math(EXPR at "${at} + 14")
  string(SUBSTRING "${shown}" ${at} -1 name)
  string(FIND "${name}" "\n" end)
  string(SUBSTRING "${name}" 0 ${end} name)
  if(name STREQUAL "")
    set(${reason_out} "its ProductName is empty" PARENT_SCOPE)
  endif()
  set(${name_out} "${name}" PARENT_SCOPE)
endfunction()

# Appends VALUE to the variable command as a bracket argument, which CMake
# takes byte for byte: neither ';' nor an unbalanced '[' splits it, as they
# would split a list.
function(add_argument value)
  set(equals "")
  while(TRUE)
    string(FIND "${value}]${equals}" "]${equals}]" at)
    if(at EQUAL -1)
      break()
    endif()
    string(APPEND equals "=")
  endwhile()
  # The newline after the opening bracket is not part of the argument.
  set(command "${command} [${equals}[\n${value}]${equals}]" PARENT_SCOPE)
endfunction()

if(DEFINED PASSWORD)
  message(FATAL_ERROR " sign.cmake: a password on the command line is refused; "
    "set LAUNCHER_SIGN_PASSWORD in the environment or give its file as PASSWORD_FILE")
endif()
if("${FILE}" STREQUAL "")
  message(FATAL_ERROR " sign.cmake: FILE is not set: name the file to sign with -DFILE=")
endif()
if(IS_DIRECTORY "${FILE}")
  message(FATAL_ERROR " sign.cmake: '${FILE}' is a folder, not a file to sign")
elseif(NOT EXISTS "${FILE}")
  message(FATAL_ERROR " sign.cmake: the file to sign '${FILE}' does not exist")
endif()
foreach(setting IN ITEMS PFX PASSWORD_FILE TIMESTAMP_URL)
  if("${${setting}}" STREQUAL "")
    set(${setting} "$ENV{LAUNCHER_SIGN_${setting}}")
  endif()
endforeach()

cmake_path(GET FILE FILENAME name)
if(PFX STREQUAL "")
  if(NOT ALLOW_UNSIGNED)
    message(FATAL_ERROR " sign.cmake: no certificate to sign ${name} with: "
      "set LAUNCHER_SIGN_PFX and LAUNCHER_SIGN_PASSWORD in the environment, or give -DPFX=")
  endif()
  message(STATUS "${name} left unsigned: no certificate (set LAUNCHER_SIGN_PFX and LAUNCHER_SIGN_PASSWORD)")
  return()
endif()
if(NOT EXISTS "${PFX}")
  message(FATAL_ERROR " sign.cmake: the certificate '${PFX}' does not exist")
endif()
find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR " sign.cmake: osslsigncode is not installed or not on PATH; install it (on Debian and Ubuntu, the osslsigncode package)")
endif()

# The password, from the first line of its file or from the environment. An
# empty one is given as none: osslsigncode refuses an empty password, and
# opens a certificate without a password all the same.
if(NOT PASSWORD_FILE STREQUAL "")
  if(NOT EXISTS "${PASSWORD_FILE}" OR IS_DIRECTORY "${PASSWORD_FILE}")
    message(FATAL_ERROR " sign.cmake: the password file '${PASSWORD_FILE}' does not exist")
  endif()
  file(READ "${PASSWORD_FILE}" password)
  string(REGEX REPLACE "[\r\n].*" "" password "${password}")
elseif(NOT DEFINED ENV{LAUNCHER_SIGN_PASSWORD})
  message(FATAL_ERROR " sign.cmake: no password for the certificate '${PFX}': "
    "set LAUNCHER_SIGN_PASSWORD in the environment, or LAUNCHER_SIGN_PASSWORD_FILE to a file holding it")
else()
  set(password "$ENV{LAUNCHER_SIGN_PASSWORD}")
endif()

set(time "")
if(NOT TIMESTAMP_URL STREQUAL "")
  set(time_report "time-stamped by '${TIMESTAMP_URL}'")
elseif("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(time_report "signing time now (SOURCE_DATE_EPOCH is not set)")
else()
  set(time "$ENV{SOURCE_DATE_EPOCH}")
  # Seconds since 1970 up to the end of the year 9999, which ASN.1 times hold.
  string(LENGTH "${time}" digits)
  if(NOT time MATCHES "^[0-9]+$" OR digits GREATER 12 OR time GREATER 253402300799)
    message(FATAL_ERROR " sign.cmake: SOURCE_DATE_EPOCH '${time}' is not a number of seconds since 1970")
  endif()
  math(EXPR time "${time}")
  string(TIMESTAMP date "%Y-%m-%d %H:%M:%S UTC" UTC)
  set(time_report "signing time ${date} (SOURCE_DATE_EPOCH)")
endif()

if(NOT "${DESCRIPTION}" STREQUAL "")
  set(description_report "(DESCRIPTION)")
elseif(NOT "${LAUNCHER_BRAND}" STREQUAL "" AND NOT EXISTS "${LAUNCHER_BRAND}")
  message(FATAL_ERROR " sign.cmake: the branding tool '${LAUNCHER_BRAND}' does not exist")
else()
  read_product_name(DESCRIPTION reason)
  set(description_report "(its ProductName)")
  if(DESCRIPTION STREQUAL "")
    set(DESCRIPTION "${name}")
    set(description_report "(its file name: ${reason})")
  endif()
endif()
set(description_report "as '${DESCRIPTION}' ${description_report}")
if(NOT "${URL}" STREQUAL "")
  string(APPEND description_report " for '${URL}'")
endif()

# A folder only its owner can read, outside the file's own folder.
string(RANDOM LENGTH 12 token)
if(CMAKE_HOST_WIN32)
  if("$ENV{TEMP}" STREQUAL "")
    message(FATAL_ERROR " sign.cmake: no folder for temporary files: TEMP is not set")
  endif()
  set(private_dir "$ENV{TEMP}/launcher-sign-${token}")
  file(MAKE_DIRECTORY "${private_dir}")
else()
  execute_process(COMMAND mktemp -d -t launcher-sign.XXXXXXXXXX RESULT_VARIABLE status
    OUTPUT_VARIABLE private_dir ERROR_VARIABLE error OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    string(STRIP "${error}" error)
    message(FATAL_ERROR " sign.cmake: no folder for temporary files: ${error}")
  endif()
endif()

set(command "")
# On Linux the password reaches osslsigncode through a pipe, from a shell
# that has it in its environment: no file holds it, no command line shows it.
if(NOT password STREQUAL "" AND NOT CMAKE_HOST_WIN32)
  set(ENV{LAUNCHER_SIGN_PASSWORD} "${password}")
  foreach(argument IN ITEMS sh -c [[printf '%s' "$LAUNCHER_SIGN_PASSWORD"]])
    add_argument("${argument}")
  endforeach()
  string(APPEND command "\nCOMMAND")
endif()
add_argument("${OSSLSIGNCODE}")
foreach(argument IN ITEMS sign -h sha256 -pkcs12)
  add_argument(${argument})
endforeach()
add_argument("${PFX}")
if(NOT password STREQUAL "" AND CMAKE_HOST_WIN32)
  file(WRITE "${private_dir}/password" "${password}")
  add_argument(-readpass)
  add_argument("${private_dir}/password")
elseif(NOT password STREQUAL "")
  add_argument(-readpass)
  add_argument(/dev/stdin)
endif()
add_argument(-n)
add_argument("${DESCRIPTION}")
if(NOT "${URL}" STREQUAL "")
  add_argument(-i)
  add_argument("${URL}")
endif()
if(NOT TIMESTAMP_URL STREQUAL "")
  add_argument(-ts)
  add_argument("${TIMESTAMP_URL}")
elseif(NOT time STREQUAL "")
  add_argument(-time)
  add_argument(${time})
endif()
add_argument(-in)
add_argument("${FILE}")
add_argument(-out)
add_argument("${private_dir}/signed.exe")
cmake_language(EVAL CODE
  "execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)")
# Put in place by a rename beside the file, which replaces it whole.
set(beside "${FILE}.signing-${token}")
if(status EQUAL 0)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy "${private_dir}/signed.exe" "${beside}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
# osslsigncode writes a new file with the default mode; a program's execute
# permissions are the file's to keep.
if(status EQUAL 0 AND CMAKE_HOST_SYSTEM_NAME STREQUAL "Linux")
  execute_process(COMMAND stat -c %a "${FILE}" RESULT_VARIABLE status OUTPUT_VARIABLE mode
    ERROR_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(status EQUAL 0)
    execute_process(COMMAND chmod "${mode}" "${beside}" RESULT_VARIABLE status
      OUTPUT_VARIABLE output ERROR_VARIABLE output)
  endif()
endif()
if(status EQUAL 0)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E rename "${beside}" "${FILE}" RESULT_VARIABLE status
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
file(REMOVE_RECURSE "${private_dir}" "${beside}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "sign.cmake: signing ${name} failed:\n${output}")
endif()
message(STATUS "${name} signed with '${PFX}' ${description_report}, ${time_report}")
