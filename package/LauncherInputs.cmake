# Records the bytes a launcher's copy is made from, at each build:
#
#   cmake -DDIGESTS=<file> [-DTOOL=<file>] [-DLAUNCHER=<file>] [-DICON=<file>]
#         [-DARGUMENTS=<file>] [-DCERTIFICATE=<file>] -P LauncherInputs.cmake
#
# writes DIGESTS, one line of each input's name and SHA-256 digest ("absent"
# for a file that is not there), and leaves it untouched when every digest is
# the one it holds. The copy is made again when DIGESTS changes: when a file's
# bytes change, whatever its time, and never for a time alone.

set(digests "")
foreach(input IN ITEMS TOOL LAUNCHER ICON ARGUMENTS CERTIFICATE)
  if(NOT DEFINED ${input})
    continue()
  endif()
  set(digest absent)
  if(EXISTS "${${input}}" AND NOT IS_DIRECTORY "${${input}}")
    file(SHA256 "${${input}}" digest)
  endif()
  string(APPEND digests "${input} ${digest}\n")
endforeach()
if(EXISTS "${DIGESTS}")
  file(READ "${DIGESTS}" recorded)
  if(recorded STREQUAL digests)
    return()
  endif()
endif()
file(WRITE "${DIGESTS}" "${digests}")
