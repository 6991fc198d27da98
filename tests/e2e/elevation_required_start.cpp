// The start step of launcher_elevation_required, a test build of the launcher:
// CreateProcessW is not called and reports what it reports for an application
// whose manifest requires administrator rights. Wine runs every program with
// full rights and never reports it, so the launcher's start through the shell
// is run only this way here.
#include <windows.h>

#include "launch/platform.h"

std::optional<std::uint32_t> StartApplication(WideText, WideText, StartupRequest) {
  // ERROR_ELEVATION_REQUIRED, which MinGW-w64's headers do not name.
  return 740;
}
