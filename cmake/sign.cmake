# Signs a Windows executable in place with the maker's Authenticode certificate.
#
#   cmake -DFILE=launcher.exe [-DPFX=maker.pfx] [-DPASSWORD_FILE=file] -P sign.cmake
#
# The certificate (PKCS#12) comes from PFX, or else from the environment
# variable LAUNCHER_SIGN_PFX. Its password comes from the file PASSWORD_FILE
# (or LAUNCHER_SIGN_PASSWORD_FILE in the environment), whose first line it is,
# or else from the environment variable LAUNCHER_SIGN_PASSWORD. It is never
# taken from a command line, where other users could read it, nor written into
# a build tree. Without a certificate the file is left unsigned, and one line
# says so.
cmake_minimum_required(VERSION 3.25)

if(NOT FILE)
  message(FATAL_ERROR "sign.cmake: FILE is not set")
endif()
if(DEFINED PASSWORD)
  message(FATAL_ERROR "sign.cmake: a password on the command line is refused; "
    "set LAUNCHER_SIGN_PASSWORD in the environment or give its file as PASSWORD_FILE")
endif()
if(NOT PFX)
  set(PFX "$ENV{LAUNCHER_SIGN_PFX}")
endif()
if(NOT PASSWORD_FILE)
  set(PASSWORD_FILE "$ENV{LAUNCHER_SIGN_PASSWORD_FILE}")
endif()

cmake_path(GET FILE FILENAME name)
if(PFX STREQUAL "")
  message(STATUS "${name} left unsigned: no certificate (set LAUNCHER_SIGN_PFX and LAUNCHER_SIGN_PASSWORD)")
  return()
endif()
if(NOT EXISTS "${PFX}")
  message(FATAL_ERROR "sign.cmake: the certificate ${PFX} does not exist")
endif()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)

if(NOT PASSWORD_FILE STREQUAL "" AND NOT EXISTS "${PASSWORD_FILE}")
  message(FATAL_ERROR "sign.cmake: the password file ${PASSWORD_FILE} does not exist")
endif()

string(RANDOM LENGTH 12 token)
set(private_dir "${FILE}.signing-${token}")
file(MAKE_DIRECTORY "${private_dir}")
file(CHMOD "${private_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# osslsigncode reads the password from a file; one from the environment is
# written to a file only its owner can read, removed with the directory.
if(PASSWORD_FILE STREQUAL "")
  set(PASSWORD_FILE "${private_dir}/password")
  file(WRITE "${PASSWORD_FILE}" "$ENV{LAUNCHER_SIGN_PASSWORD}")
endif()

execute_process(
  COMMAND "${OSSLSIGNCODE}" sign
          -pkcs12 "${PFX}" -readpass "${PASSWORD_FILE}"
          -h sha256 -n "Vandrel Product Launcher"
          -in "${FILE}" -out "${private_dir}/signed.exe"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(status EQUAL 0)
  file(RENAME "${private_dir}/signed.exe" "${FILE}")
endif()
file(REMOVE_RECURSE "${private_dir}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "sign.cmake: signing ${name} failed:\n${output}")
endif()
message(STATUS "${name} signed with ${PFX}")
