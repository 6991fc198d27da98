#include "brand/brand_win32.h"

#include <windows.h>
#include <imagehlp.h>

#include <limits>
#include <vector>

#include "brand/branded_resources.h"
#include "brand/pe_image.h"
#include "launch/text.h"
#include "launch/win32_text.h"

namespace {

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The whole file into `bytes`; Windows' error code, or 0.
DWORD ReadWholeFile(const WideText& path, Bytes& bytes) {
  const HANDLE file = CreateFileW(AsWindowsText(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = 0;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    error = GetLastError();
  } else if (size.QuadPart > std::numeric_limits<DWORD>::max()) {
    error = ERROR_FILE_TOO_LARGE;
  } else {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
      error = GetLastError();
    } else if (read != bytes.size()) {
      error = ERROR_HANDLE_EOF;
    }
  }
  CloseHandle(file);
  return error;
}

// Writes `bytes` as the whole file; `disposition` is CreateFileW's. Windows'
// error code, or 0.
DWORD WriteWholeFile(const WideText& path, const Bytes& bytes, DWORD disposition) {
  const HANDLE file = CreateFileW(AsWindowsText(path), GENERIC_WRITE, 0, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  DWORD error = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    error = GetLastError();
  } else if (written != bytes.size()) {
    error = ERROR_WRITE_FAULT;
  }
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  return error;
}

ResourceName NameOf(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return {static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(name)), {}};
  return {0, FromWindowsText(name)};
}

LPCWSTR WindowsName(const ResourceName& name) {
  return name.text.empty() ? MAKEINTRESOURCEW(name.id) : AsWindowsText(name.text);
}

struct Enumeration {
  std::vector<Resource> resources;
  DWORD error = 0;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR context) {
  auto& enumeration = *reinterpret_cast<Enumeration*>(context);
  const HRSRC found = FindResourceExW(module, type, name, language);
  const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    enumeration.error = GetLastError() != 0 ? GetLastError() : ERROR_RESOURCE_DATA_NOT_FOUND;
    return FALSE;
  }
  enumeration.resources.push_back({NameOf(type), NameOf(name), language,
                                   Bytes(static_cast<const char*>(data), SizeofResource(module, found))});
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
  EnumResourceLanguagesW(module, type, name, OnLanguage, context);
  return reinterpret_cast<Enumeration*>(context)->error == 0;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR context) {
  EnumResourceNamesW(module, type, OnName, context);
  return reinterpret_cast<Enumeration*>(context)->error == 0;
}

// Every resource of the program at `path`, in the order Windows enumerates
// them, read through Windows' own resource functions; Windows' error code,
// or 0.
DWORD ReadResources(const WideText& path, std::vector<Resource>& resources) {
  const HMODULE module =
      LoadLibraryExW(AsWindowsText(path), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return GetLastError();
  Enumeration enumeration;
  // A program without resources ends the enumeration at once; that is no error.
  EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&enumeration));
  FreeLibrary(module);
  resources = std::move(enumeration.resources);
  return enumeration.error;
}

// Replaces every resource of the file at `path` with `resources`. Windows'
// error code, or 0.
DWORD UpdateResources(const WideText& path, const std::vector<Resource>& resources) {
  // Deleting all resources, then writing back those to keep, is the one way
  // that removes a resource under Wine, where UpdateResourceW without data
  // leaves it in place.
  const HANDLE update = BeginUpdateResourceW(AsWindowsText(path), TRUE);
  if (update == nullptr) return GetLastError();
  for (const Resource& resource : resources) {
    if (!UpdateResourceW(update, WindowsName(resource.type), WindowsName(resource.name),
                         resource.language, const_cast<char*>(resource.data.data()),
                         static_cast<DWORD>(resource.data.size()))) {
      const DWORD error = GetLastError();
      EndUpdateResourceW(update, TRUE);
      return error;
    }
  }
  return EndUpdateResourceW(update, FALSE) ? 0 : GetLastError();
}

// Stores the header checksum Windows computes for the file at `path`.
DWORD StoreChecksum(const WideText& path) {
  Bytes image;
  if (const DWORD error = ReadWholeFile(path, image)) return error;
  const auto layout = ReadPeLayout(image);
  DWORD headerSum = 0;
  DWORD checksum = 0;
  if (!layout || CheckSumMappedFile(image.data(), static_cast<DWORD>(image.size()), &headerSum,
                                    &checksum) == nullptr) {
    return ERROR_BAD_EXE_FORMAT;
  }
  StoreU32(image, layout->checksumAt, checksum);
  return WriteWholeFile(path, image, TRUNCATE_EXISTING);
}

// Whether both paths name one existing file.
bool IsSameFile(const WideText& first, const WideText& second) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const WideText* paths[2] = {&first, &second};
  for (int index = 0; index < 2; ++index) {
    const HANDLE file = CreateFileW(AsWindowsText(*paths[index]), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL known = GetFileInformationByHandle(file, &info[index]);
    CloseHandle(file);
    if (!known) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

WideText FullPath(const WideText& path) {
  const DWORD needed = GetFullPathNameW(AsWindowsText(path), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<wchar_t> full(needed);
  if (GetFullPathNameW(AsWindowsText(path), needed, full.data(), nullptr) >= needed) return path;
  return FromWindowsText(full.data());
}

// The icon the request names, or nullopt when it names none.
std::variant<std::optional<std::vector<IconImage>>, BrandFailure> ReadIcon(const BrandRequest& request) {
  if (request.iconFile) {
    const WideText& path = *request.iconFile;
    Bytes file;
    if (const DWORD error = ReadWholeFile(path, file)) {
      return IsMissing(error) ? BrandFailure{BrandProblem::kIconMissing, path}
                              : BrandFailure{BrandProblem::kIconUnreadable, path, error};
    }
    auto parsed = ParseIconFile(file);
    if (const auto* problem = std::get_if<IconFileProblem>(&parsed)) {
      return BrandFailure{*problem == IconFileProblem::kTruncated ? BrandProblem::kIconTruncated
                                                                 : BrandProblem::kNotAnIcon,
                          path};
    }
    return std::get<std::vector<IconImage>>(std::move(parsed));
  }
  if (request.iconProgram) {
    const WideText& path = *request.iconProgram;
    if (GetFileAttributesW(AsWindowsText(path)) == INVALID_FILE_ATTRIBUTES && IsMissing(GetLastError())) {
      return BrandFailure{BrandProblem::kProgramMissing, path};
    }
    std::vector<Resource> resources;
    if (const DWORD error = ReadResources(path, resources)) {
      return BrandFailure{BrandProblem::kProgramUnreadable, path, error};
    }
    auto images = ShellIconImages(resources);
    if (auto* failure = std::get_if<BrandFailure>(&images)) {
      failure->subject = path;
      return *failure;
    }
    return std::get<std::vector<IconImage>>(std::move(images));
  }
  return std::nullopt;
}

// Writes the copy to `temporary`, a file of its own, then moves it over
// `target`. Windows' error code, or 0.
DWORD WriteAndMove(const WideText& temporary, const WideText& target,
                   const std::vector<Resource>& resources) {
  if (const DWORD error = UpdateResources(temporary, resources)) return error;
  if (const DWORD error = StoreChecksum(temporary)) return error;
  if (!MoveFileExW(AsWindowsText(temporary), AsWindowsText(target),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return GetLastError();
  }
  return 0;
}

}  // namespace

std::optional<BrandFailure> WriteBrandedCopy(const BrandRequest& request) {
  Bytes source;
  if (const DWORD error = ReadWholeFile(request.source, source)) {
    return IsMissing(error) ? BrandFailure{BrandProblem::kSourceMissing, request.source}
                            : BrandFailure{BrandProblem::kSourceUnreadable, request.source, error};
  }
  const auto layout = ReadPeLayout(source);
  if (!layout) return BrandFailure{BrandProblem::kSourceNotProgram, request.source};
  std::vector<Resource> sourceResources;
  if (const DWORD error = ReadResources(request.source, sourceResources)) {
    return BrandFailure{BrandProblem::kSourceNotProgram, request.source, error};
  }

  auto icon = ReadIcon(request);
  if (const auto* failure = std::get_if<BrandFailure>(&icon)) return *failure;
  auto resources = BrandedResources(request, std::move(sourceResources),
                                    std::get<std::optional<std::vector<IconImage>>>(icon));
  if (const auto* failure = std::get_if<BrandFailure>(&resources)) return *failure;

  if (IsSameFile(request.source, request.target)) {
    return BrandFailure{BrandProblem::kTargetIsSource, request.target};
  }
  const WideText target = FullPath(request.target);
  const WideText folder = target.substr(0, target.find_last_of(u'\\'));
  const DWORD attributes = GetFileAttributesW(AsWindowsText(folder));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return BrandFailure{BrandProblem::kTargetFolderMissing, folder};
  }
  const WideText temporary = target + u".brand-" + DecimalText(GetCurrentProcessId()) + u".tmp";
  if (const DWORD error = WriteWholeFile(temporary, WithoutSignature(std::move(source), *layout), CREATE_NEW)) {
    return BrandFailure{BrandProblem::kTargetFolderNotWritable, folder, error};
  }
  if (const DWORD error = WriteAndMove(temporary, target, std::get<std::vector<Resource>>(resources))) {
    DeleteFileW(AsWindowsText(temporary));
    return BrandFailure{BrandProblem::kTargetNotWritten, request.target, error};
  }
  return std::nullopt;
}
