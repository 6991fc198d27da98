# Signs a Windows executable in place with the maker's Authenticode certificate.
#
#   cmake -DFILE=launcher.exe [-DPFX=maker.pfx] [-DPASSWORD=...] -P sign.cmake
#
# The certificate (PKCS#12) and its password come from PFX and PASSWORD, or
# else from the environment variables LAUNCHER_SIGN_PFX and
# LAUNCHER_SIGN_PASSWORD. Without a certificate the file is left unsigned, and
# one line says so. The password reaches osslsigncode through a private file,
# never on a command line where other users could read it.
cmake_minimum_required(VERSION 3.25)

if(NOT FILE)
  message(FATAL_ERROR "sign.cmake: FILE is not set")
endif()
if(NOT PFX)
  set(PFX "$ENV{LAUNCHER_SIGN_PFX}")
endif()
if(NOT DEFINED PASSWORD OR PASSWORD STREQUAL "")
  set(PASSWORD "$ENV{LAUNCHER_SIGN_PASSWORD}")
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

string(RANDOM LENGTH 12 token)
set(private_dir "${FILE}.signing-${token}")
file(MAKE_DIRECTORY "${private_dir}")
file(CHMOD "${private_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${private_dir}/password" "${PASSWORD}")

execute_process(
  COMMAND "${OSSLSIGNCODE}" sign
          -pkcs12 "${PFX}" -readpass "${private_dir}/password"
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
