#include "brand_platform_fake.h"

#include <map>
#include <set>

#include "launch/text.h"

namespace {

struct FakeFile {
  Bytes bytes;
  bool readOnly = false;
  std::uint64_t index = 0;
};

struct FakeFiles {
  std::map<WideText, FakeFile> files;
  std::set<WideText> folders{u"."};
  std::uint64_t nextIndex = 1;
  std::map<FakeStep, std::pair<int, SystemError>> failures;  // calls left before it fails, error
  bool losesWrites = false;
};

FakeFiles& Fake() {
  static FakeFiles fake;
  return fake;
}

std::optional<SystemError> InjectedFailure(FakeStep step) {
  const auto found = Fake().failures.find(step);
  if (found == Fake().failures.end() || --found->second.first != 0) return std::nullopt;
  const SystemError error = found->second.second;
  Fake().failures.erase(found);
  return error;
}

}  // namespace

void ResetFakeFiles() { Fake() = FakeFiles{}; }

void PutFakeFolder(const WideText& path) { Fake().folders.insert(path); }

void PutFakeFile(const WideText& path, Bytes bytes, bool readOnly) {
  Fake().files[path] = {std::move(bytes), readOnly, Fake().nextIndex++};
}

void LinkFakeFile(const WideText& path, const WideText& alias) { Fake().files[alias] = Fake().files.at(path); }

std::optional<Bytes> FakeFileBytes(const WideText& path) {
  const auto found = Fake().files.find(path);
  if (found == Fake().files.end()) return std::nullopt;
  return found->second.bytes;
}

std::vector<WideText> FakeFilePaths() {
  std::vector<WideText> paths;
  for (const auto& [path, file] : Fake().files) paths.push_back(path);
  return paths;
}

void FailFakeStep(FakeStep step, int nth, SystemError error) { Fake().failures[step] = {nth, error}; }

void LoseFakeWrites() { Fake().losesWrites = true; }

std::variant<Bytes, FileTooLarge, SystemError> ReadFileBytes(const WideText& path, std::size_t largest) {
  if (const auto error = InjectedFailure(FakeStep::kRead)) return *error;
  const auto bytes = FakeFileBytes(path);
  if (!bytes) return kFakeMissing;
  if (bytes->size() > largest) return FileTooLarge{};
  return *bytes;
}

bool IsMissingFile(SystemError error) { return error == kFakeMissing; }

bool IsExistingFile(SystemError error) { return error == kFakeExists; }

WideText SystemErrorText(SystemError error) { return u"system error #" + DecimalText(error); }

std::variant<FileState, SystemError> InspectFile(const WideText& path) {
  if (Fake().folders.contains(path)) return FileState{FileKind::kOther, false, {}};
  const auto found = Fake().files.find(path);
  if (found == Fake().files.end()) return FileState{};
  return FileState{FileKind::kFile, found->second.readOnly, {1, found->second.index}};
}

WideText FolderOf(const WideText& path) {
  const std::size_t separator = path.rfind(u'/');
  return separator == WideText::npos ? WideText(u".") : path.substr(0, separator);
}

std::optional<WriteFailure> WriteNewFile(const WideText& path, std::string_view bytes) {
  if (const auto error = InjectedFailure(FakeStep::kCreate)) return WriteFailure{WriteStep::kCreate, *error};
  if (!Fake().folders.contains(FolderOf(path))) return WriteFailure{WriteStep::kCreate, kFakeMissing};
  if (Fake().files.contains(path)) return WriteFailure{WriteStep::kCreate, kFakeExists};
  PutFakeFile(path, {});
  if (const auto error = InjectedFailure(FakeStep::kWrite)) return WriteFailure{WriteStep::kWrite, *error};
  Fake().files[path].bytes = Bytes(bytes.substr(0, bytes.size() - (Fake().losesWrites ? 1 : 0)));
  return std::nullopt;
}

std::optional<SystemError> MoveFileOver(const WideText& from, const WideText& to) {
  if (const auto error = InjectedFailure(FakeStep::kReplace)) return error;
  Fake().files[to] = Fake().files.at(from);
  Fake().files.erase(from);
  return std::nullopt;
}

void RemoveFile(const WideText& path) { Fake().files.erase(path); }

std::uint32_t ProcessId() { return 4242; }
