# Signs a Windows executable in place with the maker's Authenticode certificate.
#
#   cmake -DFILE=viewer.exe [-DPFX=maker.pfx] [-DPASSWORD_FILE=file]
#         [-DDESCRIPTION=text] [-DURL=address] [-DTIMESTAMP_URL=address]
#         [-DALLOW_UNSIGNED=ON] -P sign.cmake
#
# The certificate (PKCS#12) comes from PFX, or else from the environment
# variable LAUNCHER_SIGN_PFX. Its password comes from the file PASSWORD_FILE
# (or LAUNCHER_SIGN_PASSWORD_FILE in the environment), whose first line it is,
# or else from the environment variable LAUNCHER_SIGN_PASSWORD, which may be
# empty. It is never taken from a command line, where other users could read
# it, nor written into a build tree. Without a certificate, signing fails:
# the file was meant to be signed. The build's own step passes ALLOW_UNSIGNED,
# with which the file is left unsigned and one line says so.
#
# On Linux the signed file keeps the mode the file had.
#
# The signature names the file DESCRIPTION, by default the ProductName of the
# file's own version resource, or else its file name; URL, when given, is the
# signature's link to the product. TIMESTAMP_URL (or LAUNCHER_SIGN_TIMESTAMP_URL
# in the environment) names an RFC 3161 time-stamp authority that vouches for
# the signing time, so that the signature still verifies once the certificate
# has expired. Without one, the signing time is SOURCE_DATE_EPOCH when it is
# set, so that the same file and certificate give the same bytes, and else the
# current time.
#
# One line tells what was done. A failure is one line under CMake's own
# "CMake Error at" header: each message starts with a space, which keeps CMake
# from wrapping it.
cmake_minimum_required(VERSION 3.25)

# Sets OUT to the little-endian unsigned number of SIZE bytes at OFFSET (an
# expression) of FILE, or to "" when they lie beyond its end.
function(read_number offset size out)
  math(EXPR offset "${offset}")
  file(READ "${FILE}" hex OFFSET ${offset} LIMIT ${size} HEX)
  string(LENGTH "${hex}" length)
  math(EXPR expected "${size} * 2")
  set(number "")
  if(length EQUAL expected)
    string(REGEX MATCHALL ".." bytes "${hex}")
    list(REVERSE bytes)
    list(JOIN bytes "" hex)
    math(EXPR number "0x${hex}")
  endif()
  set(${out} "${number}" PARENT_SCOPE)
endfunction()

# Sets OUT to the UTF-8 encoding of the code point POINT.
function(utf8_of point out)
  if(point LESS 128)
    string(ASCII ${point} text)
  elseif(point LESS 2048)
    math(EXPR lead "192 | (${point} >> 6)")
    math(EXPR last "128 | (${point} & 63)")
    string(ASCII ${lead} ${last} text)
  elseif(point LESS 65536)
    math(EXPR lead "224 | (${point} >> 12)")
    math(EXPR middle "128 | ((${point} >> 6) & 63)")
    math(EXPR last "128 | (${point} & 63)")
    string(ASCII ${lead} ${middle} ${last} text)
  else()
    math(EXPR lead "240 | (${point} >> 18)")
    math(EXPR second "128 | ((${point} >> 12) & 63)")
    math(EXPR third "128 | ((${point} >> 6) & 63)")
    math(EXPR last "128 | (${point} & 63)")
    string(ASCII ${lead} ${second} ${third} ${last} text)
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets OUT to the UTF-8 text of HEX, UTF-16LE code units without a NUL. A
# surrogate that is not part of a pair becomes U+FFFD.
function(utf8_from_utf16le hex out)
  string(REGEX MATCHALL "...." units "${hex}")
  set(text "")
  set(high "")
  foreach(unit IN LISTS units)
    string(REGEX REPLACE "(..)(..)" "0x\\2\\1" unit "${unit}")
    math(EXPR unit "${unit}")
    set(point ${unit})
    if(NOT high STREQUAL "")
      if(unit GREATER_EQUAL 56320 AND unit LESS_EQUAL 57343)
        math(EXPR point "65536 + ((${high} - 55296) << 10) + ${unit} - 56320")
        set(unit "")
      else()
        utf8_of(65533 character)
        string(APPEND text "${character}")
      endif()
      set(high "")
    endif()
    if(unit STREQUAL "")
    elseif(unit GREATER_EQUAL 55296 AND unit LESS_EQUAL 56319)
      set(high ${unit})
      continue()
    elseif(unit GREATER_EQUAL 56320 AND unit LESS_EQUAL 57343)
      set(point 65533)
    endif()
    utf8_of(${point} character)
    string(APPEND text "${character}")
  endforeach()
  if(NOT high STREQUAL "")
    utf8_of(65533 character)
    string(APPEND text "${character}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets OUT to the file offset of SIZE bytes at the address RVA of the image,
# or to "" when no section holds them in the file. Reads the section table
# at section_table, section_count entries.
function(file_offset_of rva size out)
  file(SIZE "${FILE}" file_size)
  set(i 0)
  while(i LESS section_count)
    math(EXPR header "${section_table} + 40 * ${i}")
    math(EXPR i "${i} + 1")
    read_number("${header} + 12" 4 address)
    read_number("${header} + 16" 4 raw_size)
    read_number("${header} + 20" 4 raw_offset)
    if(raw_offset STREQUAL "")
      break()
    endif()
    math(EXPR past "${rva} + ${size}")
    math(EXPR section_past "${address} + ${raw_size}")
    if(rva GREATER_EQUAL address AND past LESS_EQUAL section_past)
      math(EXPR offset "${raw_offset} + ${rva} - ${address}")
      math(EXPR past "${offset} + ${size}")
      if(past LESS_EQUAL file_size)
        set(${out} ${offset} PARENT_SCOPE)
        return()
      endif()
    endif()
  endwhile()
  set(${out} "" PARENT_SCOPE)
endfunction()

# Sets OUT to the target of the entry whose ID is ID ("first": the first
# entry) in the resource directory at DIRECTORY, relative to the resource
# section at the address resources: "none" when there is no such entry, ""
# when the directory does not fit in the file.
function(resource_entry directory id out)
  set(${out} "" PARENT_SCOPE)
  math(EXPR rva "${resources} + ${directory}")
  file_offset_of(${rva} 16 header)
  if(header STREQUAL "")
    return()
  endif()
  read_number("${header} + 12" 2 named)
  read_number("${header} + 14" 2 numbered)
  math(EXPR count "${named} + ${numbered}")
  math(EXPR rva "${rva} + 16")
  math(EXPR size "8 * ${count}")
  file_offset_of(${rva} ${size} entries)
  if(entries STREQUAL "")
    return()
  endif()
  set(i 0)
  while(i LESS count)
    math(EXPR entry "${entries} + 8 * ${i}")
    math(EXPR i "${i} + 1")
    read_number(${entry} 4 name)
    if(id STREQUAL "first" OR name EQUAL id)
      read_number("${entry} + 4" 4 target)
      set(${out} ${target} PARENT_SCOPE)
      return()
    endif()
  endwhile()
  set(${out} none PARENT_SCOPE)
endfunction()

# Reads the version block at OFFSET of the version resource (at version_base
# in the file), which must end by END: sets block_end, block_key (its key,
# as text), block_value (where its value starts) and block_children (where
# its children start), all relative to the resource. block_end is "" when the
# block does not fit; a length of 0, padding, ends the blocks of its parent
# with block_end 0.
function(read_version_block offset end)
  set(block_end "" PARENT_SCOPE)
  read_number("${version_base} + ${offset}" 2 length)
  read_number("${version_base} + ${offset} + 2" 2 value_length)
  read_number("${version_base} + ${offset} + 4" 2 type)
  if(type STREQUAL "")
    return()
  elseif(length EQUAL 0)
    set(block_end 0 PARENT_SCOPE)
    return()
  endif()
  math(EXPR past "${offset} + ${length}")
  # The header and at least the NUL of a key.
  if(length LESS 8 OR past GREATER end)
    return()
  endif()
  math(EXPR key_offset "${version_base} + ${offset} + 6")
  math(EXPR key_room "${length} - 6")
  file(READ "${FILE}" hex OFFSET ${key_offset} LIMIT ${key_room} HEX)
  string(REGEX REPLACE "(....)" "\\1;" units "${hex}")
  list(FIND units "0000" key_units)
  if(key_units EQUAL -1)
    return()
  endif()
  list(SUBLIST units 0 ${key_units} key)
  list(JOIN key "" key)
  utf8_from_utf16le("${key}" key)
  math(EXPR value "(${offset} + 6 + 2 * ${key_units} + 2 + 3) & ~3")
  if(type EQUAL 1)
    math(EXPR value_length "2 * ${value_length}")
  endif()
  math(EXPR children "(${value} + ${value_length} + 3) & ~3")
  set(block_end ${past} PARENT_SCOPE)
  set(block_key "${key}" PARENT_SCOPE)
  set(block_value ${value} PARENT_SCOPE)
  set(block_children ${children} PARENT_SCOPE)
endfunction()

# Ends the reading function it is used in, with WHY as its REASON_OUT.
macro(stop_reading why)
  set(${reason_out} "${why}" PARENT_SCOPE)
  return()
endmacro()

# Reads NUMBER as read_number does; ends the reading with WHY when the file is
# too short.
macro(read_or_stop number offset size why)
  read_number("${offset}" ${size} ${number})
  if("${${number}}" STREQUAL "")
    stop_reading("${why}")
  endif()
endmacro()

# Sets BASE_OUT and SIZE_OUT to the file offset and size of FILE's version
# resource: the first name of type 16 (RT_VERSION), in its first language.
# When there is none, sets BASE_OUT to "" and REASON_OUT to why.
function(locate_version_resource base_out size_out reason_out)
  set(${base_out} "" PARENT_SCOPE)
  set(not_a_program "it is not a Windows program")
  set(none "it has no version resource")
  set(malformed "its version resource is malformed")
  read_or_stop(mz 0 2 "${not_a_program}")
  read_or_stop(pe 60 4 "${not_a_program}")
  read_or_stop(signature "${pe}" 4 "${not_a_program}")
  # "MZ" and "PE\0\0"
  if(NOT mz EQUAL 23117 OR NOT signature EQUAL 17744)
    stop_reading("${not_a_program}")
  endif()
  read_or_stop(section_count "${pe} + 6" 2 "${not_a_program}")
  read_or_stop(optional_size "${pe} + 20" 2 "${not_a_program}")
  math(EXPR optional "${pe} + 24")
  math(EXPR section_table "${optional} + ${optional_size}")
  read_or_stop(magic ${optional} 2 "${not_a_program}")
  # The data directories of PE32 (0x10b) and PE32+ (0x20b) optional headers;
  # the resource table is the third.
  if(magic EQUAL 267)
    set(directories 96)
  elseif(magic EQUAL 523)
    set(directories 112)
  else()
    stop_reading("${not_a_program}")
  endif()
  read_or_stop(directory_count "${optional} + ${directories} - 4" 4 "${not_a_program}")
  math(EXPR resource_directory_end "${directories} + 24")
  if(directory_count LESS 3 OR optional_size LESS resource_directory_end)
    stop_reading("${none}")
  endif()
  read_or_stop(resources "${optional} + ${directories} + 16" 4 "${not_a_program}")
  if(resources EQUAL 0)
    stop_reading("${none}")
  endif()

  # The type and the name lead to directories, the language to the data
  # entry; the high bit of a target marks a directory.
  set(entry 0)
  set(level 0)
  foreach(id IN ITEMS 16 first first)
    math(EXPR level "${level} + 1")
    resource_entry(${entry} ${id} target)
    if(target STREQUAL "none")
      stop_reading("${none}")
    elseif(target STREQUAL "" OR (level LESS 3 AND target LESS 2147483648)
           OR (level EQUAL 3 AND target GREATER_EQUAL 2147483648))
      stop_reading("${malformed}")
    endif()
    math(EXPR entry "${target} & 0x7FFFFFFF")
  endforeach()
  math(EXPR entry "${resources} + ${entry}")
  file_offset_of(${entry} 8 entry)
  if(entry STREQUAL "")
    stop_reading("${malformed}")
  endif()
  read_number(${entry} 4 data)
  read_number("${entry} + 4" 4 size)
  file_offset_of(${data} ${size} base)
  if(base STREQUAL "")
    stop_reading("${malformed}")
  endif()
  set(${base_out} ${base} PARENT_SCOPE)
  set(${size_out} ${size} PARENT_SCOPE)
endfunction()

# Sets OUT to the text from VALUE to the end END of a version block of the
# version resource at version_base: up to its NUL, whatever its length field
# says, since writers count it in bytes or in characters.
function(read_version_text value end out)
  set(text "")
  if(value LESS end)
    math(EXPR offset "${version_base} + ${value}")
    math(EXPR room "${end} - ${value}")
    file(READ "${FILE}" hex OFFSET ${offset} LIMIT ${room} HEX)
    string(REGEX REPLACE "(....)" "\\1;" units "${hex}")
    list(FIND units "0000" length)
    if(NOT length EQUAL -1)
      list(SUBLIST units 0 ${length} units)
    endif()
    list(JOIN units "" hex)
    utf8_from_utf16le("${hex}" text)
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# In a loop over the version blocks from the variable POSITION to END: reads
# the block at POSITION as read_version_block does, sets key to its key in
# lower case and POSITION to its next sibling. Padding ends the loop; a block
# that does not fit ends the reading as malformed.
macro(read_next_block position end)
  read_version_block(${${position}} ${end})
  if(block_end STREQUAL "")
    stop_reading("${malformed}")
  elseif(block_end EQUAL 0)
    break()
  endif()
  math(EXPR ${position} "(${block_end} + 3) & ~3")
  string(TOLOWER "${block_key}" key)
endmacro()

# Sets NAME_OUT to the ProductName of FILE's version resource, from the first
# string table that holds one. When there is none, sets NAME_OUT to "" and
# REASON_OUT to why.
function(read_product_name name_out reason_out)
  set(${name_out} "" PARENT_SCOPE)
  locate_version_resource(version_base size reason)
  if(version_base STREQUAL "")
    stop_reading("${reason}")
  endif()
  set(malformed "its version resource is malformed")

  # VS_VERSIONINFO, then its StringFileInfo children, their string tables,
  # and their strings. Keys compare as Windows compares them, ignoring case.
  read_version_block(0 ${size})
  string(TOLOWER "${block_key}" key)
  if(block_end STREQUAL "" OR block_end EQUAL 0 OR NOT key STREQUAL "vs_version_info")
    stop_reading("${malformed}")
  endif()
  set(info ${block_children})
  set(info_end ${block_end})
  while(info LESS info_end)
    read_next_block(info ${info_end})
    if(NOT key STREQUAL "stringfileinfo")
      continue()
    endif()
    set(table ${block_children})
    set(table_end ${block_end})
    while(table LESS table_end)
      read_next_block(table ${table_end})
      set(string ${block_children})
      set(string_end ${block_end})
      while(string LESS string_end)
        read_next_block(string ${string_end})
        if(key STREQUAL "productname")
          read_version_text(${block_value} ${block_end} name)
          if(name STREQUAL "")
            stop_reading("its ProductName is empty")
          endif()
          set(${name_out} "${name}" PARENT_SCOPE)
          return()
        endif()
      endwhile()
    endwhile()
  endwhile()
  stop_reading("its version resource has no ProductName")
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
  message(FATAL_ERROR " sign.cmake: osslsigncode is not installed (scripts/setup installs it)")
endif()

# osslsigncode reads a password from a file. An empty one is given as none:
# osslsigncode refuses an empty password file, and opens a certificate
# without a password all the same.
set(password_from_environment FALSE)
if(NOT PASSWORD_FILE STREQUAL "")
  if(NOT EXISTS "${PASSWORD_FILE}")
    message(FATAL_ERROR " sign.cmake: the password file '${PASSWORD_FILE}' does not exist")
  endif()
elseif(NOT DEFINED ENV{LAUNCHER_SIGN_PASSWORD})
  message(FATAL_ERROR " sign.cmake: no password for the certificate '${PFX}': "
    "set LAUNCHER_SIGN_PASSWORD in the environment, or LAUNCHER_SIGN_PASSWORD_FILE to a file holding it")
elseif(NOT "$ENV{LAUNCHER_SIGN_PASSWORD}" STREQUAL "")
  set(password_from_environment TRUE)
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

string(RANDOM LENGTH 12 token)
set(private_dir "${FILE}.signing-${token}")
file(MAKE_DIRECTORY "${private_dir}")
file(CHMOD "${private_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# A password from the environment is written to a file only its owner can
# read, removed with the directory.
if(password_from_environment)
  set(PASSWORD_FILE "${private_dir}/password")
  file(WRITE "${PASSWORD_FILE}" "$ENV{LAUNCHER_SIGN_PASSWORD}")
endif()

set(command "")
add_argument("${OSSLSIGNCODE}")
foreach(argument IN ITEMS sign -h sha256 -pkcs12)
  add_argument(${argument})
endforeach()
add_argument("${PFX}")
if(NOT PASSWORD_FILE STREQUAL "")
  add_argument(-readpass)
  add_argument("${PASSWORD_FILE}")
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
# osslsigncode writes a new file with the default mode; a program's execute
# permissions are the file's to keep.
if(status EQUAL 0 AND CMAKE_HOST_SYSTEM_NAME STREQUAL "Linux")
  execute_process(COMMAND stat -c %a "${FILE}" RESULT_VARIABLE status OUTPUT_VARIABLE mode
    ERROR_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(status EQUAL 0)
    execute_process(COMMAND chmod "${mode}" "${private_dir}/signed.exe" RESULT_VARIABLE status
      OUTPUT_VARIABLE output ERROR_VARIABLE output)
  endif()
endif()
if(status EQUAL 0)
  file(RENAME "${private_dir}/signed.exe" "${FILE}")
endif()
file(REMOVE_RECURSE "${private_dir}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "sign.cmake: signing ${name} failed:\n${output}")
endif()
message(STATUS "${name} signed with '${PFX}' ${description_report}, ${time_report}")
