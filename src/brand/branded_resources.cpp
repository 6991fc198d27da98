#include "brand/branded_resources.h"

#include <algorithm>

namespace {

constexpr std::uint16_t kUsEnglish = 0x0409;

// launcher.exe's own values (res/launcher.rc).
constexpr std::pair<std::u16string_view, std::u16string_view> kLauncherFields[] = {
    {u"FileDescription", u"Launches Vandrel products on the Windows platform."},
    {u"CompanyName", u"Corvenna Systems, Incorporated"},
    {u"LegalCopyright", u"Copyright \u00a9 2026 Corvenna Systems, Incorporated"},
};

}  // namespace

bool HasType(const Resource& resource, std::uint16_t type) {
  return resource.type.text.empty() && resource.type.id == type;
}

const Resource* FirstOfType(const std::vector<Resource>& resources, std::uint16_t type) {
  const auto found = std::find_if(resources.begin(), resources.end(),
                                  [type](const Resource& resource) { return HasType(resource, type); });
  return found == resources.end() ? nullptr : &*found;
}

std::variant<std::vector<IconImage>, BrandFailure> ShellIconImages(
    const std::vector<Resource>& resources) {
  const Resource* group = FirstOfType(resources, kIconGroupType);
  if (group == nullptr) {
    const bool hasMui = std::any_of(resources.begin(), resources.end(),
                                    [](const Resource& resource) { return resource.type.text == u"MUI"; });
    return BrandFailure{hasMui ? BrandProblem::kProgramIconElsewhere : BrandProblem::kProgramWithoutIcon, {}};
  }
  const BrandFailure malformed{BrandProblem::kProgramIconMalformed, {}};
  const auto entries = ParseIconGroup(group->data);
  if (!entries) return malformed;

  std::vector<IconImage> images;
  for (const IconGroupEntry& entry : *entries) {
    const Resource* image = nullptr;
    for (const Resource& resource : resources) {
      if (HasType(resource, kIconImageType) && resource.name == ResourceName{entry.imageId, {}} &&
          (image == nullptr || resource.language == group->language)) {
        image = &resource;
      }
    }
    if (image == nullptr || !IconImageComplete(image->data)) return malformed;
    IconImage taken = entry.form;
    taken.data = image->data;
    images.push_back(std::move(taken));
  }
  return images;
}

std::variant<std::vector<Resource>, BrandFailure> BrandedResources(
    const BrandRequest& request, std::vector<Resource> source,
    const std::optional<std::vector<IconImage>>& icon) {
  std::uint16_t language = kUsEnglish;
  if (const Resource* first = FirstOfType(source, kIconGroupType)) {
    language = first->language;
  } else if (const Resource* version = FirstOfType(source, kVersionType)) {
    language = version->language;
  }

  std::vector<Resource> copy;
  bool versionEdited = false;
  for (Resource& resource : source) {
    if (icon && (HasType(resource, kIconImageType) || HasType(resource, kIconGroupType))) continue;
    if (HasType(resource, kVersionType)) {
      auto edited = EditVersionResource(resource.data, request.edits);
      if (const auto* problem = std::get_if<VersionProblem>(&edited)) {
        return *problem == VersionProblem::kMalformed
                   ? BrandFailure{BrandProblem::kSourceVersionMalformed, request.source}
                   : BrandFailure{BrandProblem::kVersionTooLong, request.target};
      }
      resource.data = std::get<Bytes>(std::move(edited));
      versionEdited = true;
    }
    copy.push_back(std::move(resource));
  }
  if (!versionEdited) {
    auto created = EditVersionResource(std::nullopt, request.edits);
    if (!std::holds_alternative<Bytes>(created)) {
      return BrandFailure{BrandProblem::kVersionTooLong, request.target};
    }
    copy.push_back({{kVersionType, {}}, {1, {}}, language, std::get<Bytes>(std::move(created))});
  }
  if (icon) {
    for (std::size_t index = 0; index < icon->size(); ++index) {
      copy.push_back({{kIconImageType, {}}, {static_cast<std::uint16_t>(index + 1), {}}, language,
                      (*icon)[index].data});
    }
    const Bytes group = IconGroupResource(*icon, 1);
    for (const std::uint16_t id : {kShellIconGroup, kSecondIconGroup}) {
      copy.push_back({{kIconGroupType, {}}, {id, {}}, language, group});
    }
  }
  return copy;
}

std::vector<std::u16string_view> LauncherFieldsKept(const std::vector<Resource>& resources) {
  std::vector<std::u16string_view> kept;
  const Resource* version = FirstOfType(resources, kVersionType);
  const auto root = version ? ParseVersionResource(version->data) : std::nullopt;
  if (!root) return kept;
  for (const auto& [field, launcherValue] : kLauncherFields) {
    const auto values = VersionStrings(*root, field);
    if (std::find(values.begin(), values.end(), launcherValue) != values.end()) kept.push_back(field);
  }
  return kept;
}
