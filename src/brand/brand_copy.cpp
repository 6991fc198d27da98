#include "brand/brand_copy.h"

#include <utility>
#include <variant>

#include "brand/brand_platform.h"
#include "brand/branded_resources.h"
#include "brand/pe_image.h"
#include "brand/show.h"
#include "launch/text.h"

namespace {

using enum BrandProblem;

// Far beyond any real icon, yet small enough that a file given by mistake is
// refused before it is read.
constexpr std::size_t kLargestIconFile = std::size_t{64} << 20;
// Every offset in a Windows program is 32 bits wide.
constexpr std::size_t kLargestProgram = 0xFFFFFFFF;
constexpr std::uint32_t kTemporaryNames = 100;
constexpr std::string_view kIconFileStart("\0\0\1\0", 4);

// The file at `path`, read once, or the failure that names it.
std::variant<Bytes, BrandFailure> ReadInput(const WideText& path, std::size_t largest, BrandProblem missing,
                                            BrandProblem tooLarge, BrandProblem unreadable) {
  auto read = ReadFileBytes(path, largest);
  if (std::holds_alternative<FileTooLarge>(read)) return BrandFailure{tooLarge, path};
  if (const auto* error = std::get_if<SystemError>(&read)) {
    return IsMissingFile(*error) ? BrandFailure{missing, path} : BrandFailure{unreadable, path, *error};
  }
  return std::get<Bytes>(std::move(read));
}

// A program as read: its bytes, headers and resources.
struct Program {
  Bytes file;
  PeImage image;
  std::vector<Resource> resources;
};

BrandProblem SourceProblem(ResourceRewriteProblem problem) {
  switch (problem) {
    case ResourceRewriteProblem::kNoResourceSection: return kSourceWithoutResources;
    case ResourceRewriteProblem::kSymbolTable: return kSourceSymbolTable;
    case ResourceRewriteProblem::kDataAfterResources: return kSourceDataAfterResources;
    case ResourceRewriteProblem::kDataAfterSections: return kSourceDataAfterSections;
    case ResourceRewriteProblem::kTooLarge: break;
  }
  return kCopyTooLarge;
}

std::variant<Program, BrandFailure> ReadSource(const WideText& path) {
  auto file = ReadInput(path, kLargestProgram, kSourceMissing, kSourceTooLarge, kSourceUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&file)) return *failure;
  Program source{std::get<Bytes>(std::move(file)), {}, {}};
  const auto image = ReadPeImage(source.file);
  if (!image || !image->isProgram) return BrandFailure{kSourceNotProgram, path};
  source.image = *image;
  if (const auto problem = ResourceRewriteProblemOf(source.file, *image)) {
    return BrandFailure{SourceProblem(*problem), path};
  }
  auto resources = ReadResources(source.file, *image);
  if (!resources) return BrandFailure{kSourceResourcesMalformed, path};
  source.resources = std::move(*resources);
  return source;
}

using Icon = std::optional<std::vector<IconImage>>;

std::variant<Icon, BrandFailure> ReadIconFile(const WideText& path) {
  auto file = ReadInput(path, kLargestIconFile, kIconMissing, kIconTooLarge, kIconUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&file)) return *failure;
  auto parsed = ParseIconFile(std::get<Bytes>(file));
  if (const auto* problem = std::get_if<IconFileProblem>(&parsed)) {
    switch (*problem) {
      case IconFileProblem::kTruncated: return BrandFailure{kIconTruncated, path};
      case IconFileProblem::kNotAnIcon: return BrandFailure{kNotAnIcon, path};
      case IconFileProblem::kIncompleteImage: return BrandFailure{kIconImageIncomplete, path};
      case IconFileProblem::kOverlappingImages: return BrandFailure{kIconImagesOverlap, path};
    }
  }
  return std::get<std::vector<IconImage>>(std::move(parsed));
}

std::variant<Icon, BrandFailure> ReadProgramIcon(const WideText& path) {
  auto read = ReadInput(path, kLargestProgram, kProgramMissing, kProgramTooLarge, kProgramUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&read)) return *failure;
  const Bytes& file = std::get<Bytes>(read);
  if (file.starts_with(kIconFileStart)) return BrandFailure{kProgramIsIconFile, path};
  const auto image = ReadPeImage(file);
  if (!image) return BrandFailure{kProgramNotProgram, path};
  const auto resources = ReadResources(file, *image);
  if (!resources) return BrandFailure{kProgramResourcesMalformed, path};
  auto images = ShellIconImages(*resources);
  if (auto* failure = std::get_if<BrandFailure>(&images)) {
    failure->subject = path;
    return *failure;
  }
  return std::get<std::vector<IconImage>>(std::move(images));
}

std::variant<Icon, BrandFailure> ReadIcon(const BrandRequest& request) {
  if (request.iconFile) return ReadIconFile(*request.iconFile);
  if (request.iconProgram) return ReadProgramIcon(*request.iconProgram);
  return Icon{};
}

// Why TARGET must not be replaced; nothing when it may be, or does not exist.
std::optional<BrandFailure> TargetProblem(const BrandRequest& request) {
  const WideText& target = request.target;
  const auto inspected = InspectFile(target);
  if (const auto* error = std::get_if<SystemError>(&inspected)) {
    return BrandFailure{kTargetUnreadable, target, *error};
  }
  const FileState& state = std::get<FileState>(inspected);
  if (state.kind == FileKind::kAbsent) return std::nullopt;
  if (state.kind == FileKind::kOther) return BrandFailure{kTargetNotFile, target};
  const std::pair<const std::optional<WideText>, BrandProblem> inputs[] = {
      {request.source, kTargetIsSource}, {request.iconFile, kTargetIsIcon}, {request.iconProgram, kTargetIsProgram}};
  for (const auto& [input, problem] : inputs) {
    if (!input) continue;
    const auto other = InspectFile(*input);
    const auto* otherState = std::get_if<FileState>(&other);
    if (otherState != nullptr && otherState->kind == FileKind::kFile && otherState->identity == state.identity) {
      return BrandFailure{problem, target};
    }
  }
  if (state.readOnly) return BrandFailure{kTargetReadOnly, target};
  auto existing = ReadInput(target, kLargestProgram, kTargetUnreadable, kTargetNotProgram, kTargetUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&existing)) return *failure;
  const auto image = ReadPeImage(std::get<Bytes>(existing));
  if (!image || !image->isProgram) return BrandFailure{kTargetNotProgram, target};
  return std::nullopt;
}

// The copy's bytes, read back through the same reader that read the source
// to check that they hold exactly the resources asked for.
std::variant<Bytes, BrandFailure> BuildCopy(const BrandRequest& request, Program source, const Icon& icon) {
  auto resources = BrandedResources(request, std::move(source.resources), icon);
  if (const auto* failure = std::get_if<BrandFailure>(&resources)) return *failure;
  const auto& wanted = std::get<std::vector<Resource>>(resources);
  auto copy = WithResources(source.file, source.image, wanted);
  if (const auto* problem = std::get_if<ResourceRewriteProblem>(&copy)) {
    return *problem == ResourceRewriteProblem::kTooLarge ? BrandFailure{kCopyTooLarge, request.target}
                                                         : BrandFailure{SourceProblem(*problem), request.source};
  }
  const Bytes& bytes = std::get<Bytes>(copy);
  const auto image = ReadPeImage(bytes);
  const auto reread = image ? ReadResources(bytes, *image) : std::nullopt;
  if (!reread || *reread != InDirectoryOrder(wanted)) return BrandFailure{kCopyNotVerified, request.target};
  return std::get<Bytes>(std::move(copy));
}

WideText TemporaryName(const WideText& target, std::uint32_t attempt) {
  WideText name = target;
  name.append(u".brand-").append(DecimalText(ProcessId()));
  if (attempt > 0) name.append(u"-").append(DecimalText(attempt));
  return name.append(u".tmp");
}

// Compares the temporary file with the copy, then moves it over TARGET.
std::optional<BrandFailure> VerifyAndReplace(const WideText& temporary, const WideText& target,
                                             const Bytes& copy) {
  const auto reread = ReadFileBytes(temporary, copy.size());
  if (const auto* error = std::get_if<SystemError>(&reread)) return BrandFailure{kCopyNotVerified, target, *error};
  const auto* bytes = std::get_if<Bytes>(&reread);
  if (bytes == nullptr || *bytes != copy) return BrandFailure{kCopyNotVerified, target};
  if (const auto error = MoveFileOver(temporary, target)) return BrandFailure{kTargetNotWritten, target, *error};
  return std::nullopt;
}

// Writes `copy` to a temporary file of its own beside TARGET and puts it in
// TARGET's place. On failure, the temporary file is removed and TARGET is as
// it was.
std::optional<BrandFailure> PutInPlace(const WideText& target, const Bytes& copy) {
  SystemError lastError = 0;
  for (std::uint32_t attempt = 0; attempt < kTemporaryNames; ++attempt) {
    const WideText temporary = TemporaryName(target, attempt);
    const auto failure = WriteNewFile(temporary, copy);
    if (failure && failure->step == WriteStep::kCreate) {
      // A file left by another run keeps its name; this run takes another.
      lastError = failure->error;
      if (IsExistingFile(failure->error)) continue;
      return IsMissingFile(failure->error) ? BrandFailure{kTargetFolderMissing, FolderOf(target)}
                                           : BrandFailure{kTargetFolderNotWritable, FolderOf(target), failure->error};
    }
    const auto outcome = failure ? std::optional(BrandFailure{kTargetNotWritten, target, failure->error})
                                 : VerifyAndReplace(temporary, target, copy);
    if (outcome) RemoveFile(temporary);
    return outcome;
  }
  return BrandFailure{kTargetFolderNotWritable, FolderOf(target), lastError};
}

}  // namespace

std::optional<BrandFailure> WriteBrandedCopy(const BrandRequest& request) {
  auto source = ReadSource(request.source);
  if (const auto* failure = std::get_if<BrandFailure>(&source)) return *failure;
  const auto icon = ReadIcon(request);
  if (const auto* failure = std::get_if<BrandFailure>(&icon)) return *failure;
  if (auto failure = TargetProblem(request)) return failure;
  const auto copy = BuildCopy(request, std::get<Program>(std::move(source)), std::get<Icon>(icon));
  if (const auto* failure = std::get_if<BrandFailure>(&copy)) return *failure;
  return PutInPlace(request.target, std::get<Bytes>(copy));
}

BrandToolRun RunBrandTool(const std::vector<WideText>& arguments) {
  const auto parsed = ParseBrandArguments(arguments);
  if (const auto* failure = std::get_if<BrandFailure>(&parsed)) return {1, {}, FailureMessage(*failure) + u"\n"};
  const BrandRequest& request = std::get<BrandRequest>(parsed);
  if (request.helpAsked) return {0, HelpText(), {}};
  if (request.show) return ShowToolRun(*request.show);
  if (const auto failure = WriteBrandedCopy(request)) return {1, {}, FailureMessage(*failure) + u"\n"};
  return {0, WrittenMessage(request) + u"\n", {}};
}
