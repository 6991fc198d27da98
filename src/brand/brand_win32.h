#pragma once

#include <optional>

#include "brand/brand_request.h"

// Writes the branded copy that `request` asks for: reads SOURCE and the icon,
// writes the copy to a new temporary file in TARGET's folder through Windows'
// resource update, recomputes its header checksum and only then moves it over
// TARGET. nullopt when TARGET is in place; otherwise the failure, with TARGET
// as it was, the temporary file removed and no folder created. Never modifies
// SOURCE.
std::optional<BrandFailure> WriteBrandedCopy(const BrandRequest& request);
