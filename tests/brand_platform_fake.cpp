#include "brand_platform_fake.h"

#include <map>
#include <set>

#include "text/text.h"

namespace {

struct FakeFile {
  Bytes bytes;
  bool readOnly = false;
  std::uint64_t index = 0;
  std::optional<WideText> linkTo;  // a symbolic link's target
};

struct FakeFailure {
  FakeStep step;
  int first = 0;  // the calls of `step` that fail, counted from the first
  int last = 0;
  SystemError error = 0;
};

struct FakeFiles {
  std::map<WideText, FakeFile> files;
  std::set<WideText> folders{u"."};
  std::uint64_t nextIndex = 1;
  std::map<FakeStep, int> calls;
  std::vector<FakeFailure> failures;
  bool losesWrites = false;
  bool keepsNamesAfter1177 = false;
  std::uint64_t now = 0;
  std::vector<WideText> record;
};

FakeFiles& Fake() {
  static FakeFiles fake;
  return fake;
}

std::optional<SystemError> InjectedFailure(FakeStep step) {
  const int call = ++Fake().calls[step];
  for (const FakeFailure& failure : Fake().failures) {
    if (failure.step == step && call >= failure.first && call <= failure.last) return failure.error;
  }
  return std::nullopt;
}

void Record(const WideText& call) { Fake().record.push_back(call); }

// Moves the file `from` to the free name `to`.
void Rename(const WideText& from, const WideText& to) {
  Fake().files[to] = Fake().files.at(from);
  Fake().files.erase(from);
}

}  // namespace

void ResetFakeFiles() { Fake() = FakeFiles{}; }

void PutFakeFolder(const WideText& path) { Fake().folders.insert(path); }

void PutFakeFile(const WideText& path, Bytes bytes, bool readOnly) {
  Fake().files[path] = {std::move(bytes), readOnly, Fake().nextIndex++, std::nullopt};
}

void LinkFakeFile(const WideText& path, const WideText& alias) { Fake().files[alias] = Fake().files.at(path); }

void PutFakeSymbolicLink(const WideText& link, const WideText& path) {
  Fake().files[link] = {{}, false, Fake().nextIndex++, path};
}

std::optional<Bytes> FakeFileBytes(const WideText& path) {
  const auto found = Fake().files.find(path);
  if (found == Fake().files.end()) return std::nullopt;
  if (found->second.linkTo) return FakeFileBytes(*found->second.linkTo);
  return found->second.bytes;
}

std::vector<WideText> FakeFilePaths() {
  std::vector<WideText> paths;
  for (const auto& [path, file] : Fake().files) paths.push_back(path);
  return paths;
}

void FailFakeStep(FakeStep step, int nth, SystemError error, int times) {
  const int first = Fake().calls[step] + nth;
  Fake().failures.push_back({step, first, first + times - 1, error});
}

void KeepFakeNamesAfter1177() { Fake().keepsNamesAfter1177 = true; }

void LoseFakeWrites() { Fake().losesWrites = true; }

std::vector<WideText> FakeCalls() { return Fake().record; }

std::variant<Bytes, FileTooLarge, SystemError> ReadFileBytes(const WideText& path, std::size_t largest) {
  if (const auto error = InjectedFailure(FakeStep::kRead)) return *error;
  const auto bytes = FakeFileBytes(path);
  if (!bytes) return kFakeMissing;
  if (bytes->size() > largest) return FileTooLarge{};
  return *bytes;
}

bool IsMissingFile(SystemError error) { return error == kFakeMissing; }

bool IsExistingFile(SystemError error) { return error == kFakeExists; }

bool IsBlockedByScanner(SystemError error) { return IsWindowsScannerBlock(error); }

WideText SystemErrorText(SystemError error) { return u"system error #" + DecimalText(error); }

std::variant<FileState, SystemError> InspectFile(const WideText& path) {
  if (Fake().folders.contains(path)) return FileState{FileKind::kOther, false, {}};
  const auto found = Fake().files.find(path);
  if (found == Fake().files.end()) return FileState{};
  if (found->second.linkTo) {
    auto state = InspectFile(*found->second.linkTo);
    if (auto* named = std::get_if<FileState>(&state)) named->link = true;
    return state;
  }
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

// As ReplaceFileW with a backup name: TARGET goes to the backup, the
// replacement to TARGET; 1177 leaves TARGET under the backup name, unless
// told to keep names.
std::optional<ReplaceFailure> ReplaceExistingFile(const WideText& target, const WideText& replacement,
                                                  const WideText& backup) {
  Record(u"replace " + target + u" " + replacement + u" " + backup);
  if (const auto error = InjectedFailure(FakeStep::kReplace)) {
    const ReplaceFailure failure = WindowsReplaceFailure(*error);
    if (failure.kind == ReplaceFailureKind::kTargetAtBackup && !Fake().keepsNamesAfter1177) Rename(target, backup);
    return failure;
  }
  if (!Fake().files.contains(target)) return WindowsReplaceFailure(kFakeMissing);
  Rename(target, backup);
  Rename(replacement, target);
  return std::nullopt;
}

std::optional<ReplaceFailure> MoveToNewName(const WideText& from, const WideText& to) {
  Record(u"move " + from + u" " + to);
  if (const auto error = InjectedFailure(FakeStep::kMove)) return WindowsReplaceFailure(*error);
  if (!Fake().files.contains(from)) return WindowsReplaceFailure(kFakeMissing);
  if (Fake().files.contains(to)) return WindowsReplaceFailure(kFakeExists);
  Rename(from, to);
  return std::nullopt;
}

std::optional<ReplaceFailure> RemoveFile(const WideText& path) {
  Record(u"remove " + path);
  if (const auto error = InjectedFailure(FakeStep::kRemove)) return WindowsReplaceFailure(*error);
  if (Fake().files.erase(path) == 0) return WindowsReplaceFailure(kFakeMissing);
  return std::nullopt;
}

std::uint32_t ProcessId() { return 4242; }

std::uint64_t MonotonicMilliseconds() { return Fake().now; }

void WaitMilliseconds(std::uint32_t milliseconds) {
  Record(u"wait " + DecimalText(milliseconds));
  Fake().now += milliseconds;
}
