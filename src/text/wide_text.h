#pragma once

#include <string>

// Text as both programs handle it: UTF-16 code units, counted, so it may hold
// NUL code units. Wherever it reaches the platform as a terminated string, the
// platform sees it only up to the first NUL.
using WideText = std::u16string;
