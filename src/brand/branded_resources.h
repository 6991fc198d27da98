#pragma once

// The resources of a branded copy, composed from the source's resources, the
// new icon and the version edits.

#include <cstdint>
#include <variant>
#include <vector>

#include "brand/brand_request.h"
#include "brand/bytes.h"
#include "brand/icon.h"
#include "brand/resource_section.h"

inline constexpr std::uint16_t kIconImageType = 3;    // RT_ICON
inline constexpr std::uint16_t kIconGroupType = 14;   // RT_GROUP_ICON
inline constexpr std::uint16_t kVersionType = 16;     // RT_VERSION
// The launcher's icon groups: 107, the first, is the one the shell shows.
inline constexpr std::uint16_t kShellIconGroup = 107;
inline constexpr std::uint16_t kSecondIconGroup = 108;

// Whether `resource` is of the numbered type `type` (a named type never is).
bool HasType(const Resource& resource, std::uint16_t type);

// The first resource of the numbered type `type` in `resources`, or null.
const Resource* FirstOfType(const std::vector<Resource>& resources, std::uint16_t type);

// The images of the icon the shell shows for a program whose resources are
// `resources`, listed in the order of its resource directory: its first icon
// group, each named image taken in the group's language where there is one.
// kProgramWithoutIcon without a group, or kProgramIconElsewhere when the
// program has a MUI resource instead, as Windows' own programs whose icons
// are kept in a separate resource file do; kProgramIconMalformed for a group
// that does not parse or names a missing image or one that is incomplete
// (IconImageComplete). The failure's subject is left empty.
std::variant<std::vector<IconImage>, BrandFailure> ShellIconImages(
    const std::vector<Resource>& resources);

// The copy's resources: the source's, in their order, with its version
// resources edited as the request says (a new one added when it has none)
// and, when `icon` is given, every icon image and group replaced by the
// images of `icon` as resources 1 to N and groups 107 and 108 both naming
// them all, in the language of the source's first icon group (else of its
// version resource, else US English). kSourceVersionMalformed or
// kVersionTooLong when the version resource cannot be edited.
std::variant<std::vector<Resource>, BrandFailure> BrandedResources(
    const BrandRequest& request, std::vector<Resource> source,
    const std::optional<std::vector<IconImage>>& icon);

// Which of FileDescription, CompanyName and LegalCopyright hold launcher.exe's
// own value in a string table of the first version resource among
// `resources`, in that order: a product's copy would show them as its own.
std::vector<std::u16string_view> LauncherFieldsKept(const std::vector<Resource>& resources);
