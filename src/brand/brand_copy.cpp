#include "brand/brand_copy.h"

#include <algorithm>
#include <utility>
#include <variant>

#include "brand/brand_platform.h"
#include "brand/branded_resources.h"
#include "brand/icon_png.h"
#include "brand/pe_image.h"
#include "brand/png_codec.h"
#include "brand/show.h"
#include "text/text.h"

namespace {

using enum BrandProblem;

// Far beyond any real icon, yet small enough that a file given by mistake is
// refused before it is read.
constexpr std::size_t kLargestIconFile = std::size_t{64} << 20;
// Every offset in a Windows program is 32 bits wide.
constexpr std::size_t kLargestProgram = 0xFFFFFFFF;
constexpr std::uint32_t kTemporaryNames = 100;
constexpr std::string_view kIconFileStart("\0\0\1\0", 4);
// A file another process holds for a moment, as a virus scanner holds a new
// one, is tried again after these pauses, doubling, for at most this long.
constexpr std::uint32_t kFirstPause = 25;
constexpr std::uint32_t kLongestPause = 1000;
constexpr std::uint64_t kLongestWait = 5000;

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
  auto file = ReadProgramFile(path, kSourceMissing, kSourceTooLarge, kSourceUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&file)) return *failure;
  Program source{std::get<Bytes>(std::move(file)), {}, {}};
  const auto image = ReadPeImage(source.file);
  if (!image || !image->isProgram) return BrandFailure{kSourceNotProgram, path};
  // Before the layout's checks, whose messages would mislead about a program
  // that is no launcher at all.
  if (!IsLauncher(source.file, *image)) return BrandFailure{kSourceNotLauncher, path};
  source.image = *image;
  if (const auto problem = ResourceRewriteProblemOf(source.file, *image)) {
    return BrandFailure{SourceProblem(*problem), path};
  }
  auto resources = ReadResources(source.file, *image);
  if (!resources) return BrandFailure{kSourceResourcesMalformed, path};
  source.resources = std::move(*resources);
  return source;
}

// The copy's icon images, when it gets new ones, and the PNG images of an
// icon file stored as 8-bit RGBA.
struct Icon {
  std::optional<std::vector<IconImage>> images;
  std::vector<WideText> converted;
};

BrandFailure IconPngRefusal(const WideText& path, const IconPngFailure& failure) {
  const WideText size = DecimalText(failure.width) + u"x" + DecimalText(failure.height);
  switch (failure.problem) {
    case IconPngProblem::kLogoShape: return BrandFailure{kIconLogoShape, path, 0, size};
    case IconPngProblem::kTooLarge: return BrandFailure{kIconPngTooLarge, path, 0, size};
    case IconPngProblem::kUndecodable: break;
  }
  return BrandFailure{kIconPngUndecodable, path};
}

// A logo: one PNG image, complete, that the whole icon is made from.
std::variant<Icon, BrandFailure> IconFromLogo(const WideText& path, std::string_view png) {
  if (!IconImageBits(png)) return BrandFailure{kNotAnIcon, path};
  if (!IconImageComplete(png)) return BrandFailure{kIconTruncated, path};
  auto images = IconImagesFromLogo(png);
  if (const auto* failure = std::get_if<IconPngFailure>(&images)) return IconPngRefusal(path, *failure);
  return Icon{std::get<std::vector<IconImage>>(std::move(images)), {}};
}

std::variant<Icon, BrandFailure> ReadIconFile(const WideText& path) {
  auto file = ReadInput(path, kLargestIconFile, kIconMissing, kIconTooLarge, kIconUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&file)) return *failure;
  if (std::get<Bytes>(file).starts_with(kPngSignature)) return IconFromLogo(path, std::get<Bytes>(file));
  auto parsed = ParseIconFile(std::get<Bytes>(file));
  if (const auto* problem = std::get_if<IconFileProblem>(&parsed)) {
    switch (*problem) {
      case IconFileProblem::kTruncated: return BrandFailure{kIconTruncated, path};
      case IconFileProblem::kNotAnIcon: return BrandFailure{kNotAnIcon, path};
      case IconFileProblem::kIncompleteImage: return BrandFailure{kIconImageIncomplete, path};
      case IconFileProblem::kOverlappingImages: return BrandFailure{kIconImagesOverlap, path};
    }
  }
  // Decoded only once the file has passed every check of its size, count
  // and layout.
  auto converted = WithRgba8PngImages(std::get<std::vector<IconImage>>(std::move(parsed)));
  if (const auto* failure = std::get_if<IconPngFailure>(&converted)) return IconPngRefusal(path, *failure);
  auto& icon = std::get<ConvertedIcon>(converted);
  return Icon{std::move(icon.images), std::move(icon.converted)};
}

std::variant<Icon, BrandFailure> ReadProgramIcon(const WideText& path) {
  auto read = ReadProgramFile(path, kProgramMissing, kProgramTooLarge, kProgramUnreadable);
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
  return Icon{std::get<std::vector<IconImage>>(std::move(images)), {}};
}

std::variant<Icon, BrandFailure> ReadIcon(const BrandRequest& request) {
  if (request.iconFile) return ReadIconFile(*request.iconFile);
  if (request.iconProgram) return ReadProgramIcon(*request.iconProgram);
  return Icon{};
}

// What TARGET is when it may be replaced, or why it must not be.
enum class ExistingTarget { kNone, kLauncherCopy };

std::variant<ExistingTarget, BrandFailure> CheckTarget(const BrandRequest& request) {
  const WideText& target = request.target;
  const auto inspected = InspectFile(target);
  if (const auto* error = std::get_if<SystemError>(&inspected)) {
    return BrandFailure{kTargetUnreadable, target, *error};
  }
  const FileState& state = std::get<FileState>(inspected);
  // A rename would put a file in the link's place, and every check below
  // would have looked at the file it names.
  if (state.link) return BrandFailure{kTargetIsLink, target};
  if (state.kind == FileKind::kAbsent) return ExistingTarget::kNone;
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
  auto existing = ReadProgramFile(target, kTargetUnreadable, kTargetNotProgram, kTargetUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&existing)) return *failure;
  const Bytes& file = std::get<Bytes>(existing);
  const auto image = ReadPeImage(file);
  if (!image || !image->isProgram) return BrandFailure{kTargetNotProgram, target};
  if (!IsLauncher(file, *image)) return BrandFailure{kTargetNotLauncher, target};
  return ExistingTarget::kLauncherCopy;
}

// A copy's bytes and the version fields it keeps from launcher.exe.
struct Copy {
  Bytes bytes;
  std::vector<std::u16string_view> launcherFields;
};

// The copy, read back through the same reader that read the source to check
// that it holds exactly the resources asked for.
std::variant<Copy, BrandFailure> BuildCopy(const BrandRequest& request, Program source, const Icon& icon) {
  auto resources = BrandedResources(request, std::move(source.resources), icon.images);
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
  Copy built{std::get<Bytes>(std::move(copy)), LauncherFieldsKept(wanted)};
  // The ProductVersion text alone leaves FileVersion as the source has it.
  if (request.edits.productVersion && !request.edits.version) built.launcherFields.push_back(u"FileVersion");
  return built;
}

// The last `digits` hexadecimal digits of `value`, leading zeros included.
WideText HexDigits(std::uint32_t value, int digits) {
  WideText text;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    text.push_back(u"0123456789abcdef"[(value >> shift) & 0xF]);
  }
  return text;
}

// The files a run makes beside TARGET: the copy before it takes TARGET's
// place, and the name TARGET passes through on Windows.
struct WorkFiles {
  WideText temporary;
  WideText backup;
};

// The work files of `attempt`, in TARGET's folder, of one short length
// whatever TARGET's name: ".brand-" with this process's identifier in 8 and
// the attempt in 2 hexadecimal digits, then ".tmp" or ".bak".
WorkFiles WorkFilesOf(const BrandRequest& request, std::uint32_t attempt) {
  const WideText& target = request.target;
  const WideText stem = target.substr(0, target.size() - request.edits.fileName.size()) + u".brand-" +
                        HexDigits(ProcessId(), 8) + u"-" + HexDigits(attempt, 2);
  return {stem + u".tmp", stem + u".bak"};
}

// Whether something is known to be at `path`. When the folder cannot be
// looked into, creating the temporary file says why.
bool IsTaken(const WideText& path) {
  const auto inspected = InspectFile(path);
  const auto* state = std::get_if<FileState>(&inspected);
  return state != nullptr && (state->kind != FileKind::kAbsent || state->link);
}

// Removes `path`, a file this run made; adds it to what `failure` leaves
// behind when it stays.
void RemoveWorkFile(const WideText& path, BrandFailure& failure) {
  const auto error = RemoveFile(path);
  if (error && !IsMissingFile(error->error)) failure.leftBehind.push_back(path);
}

// Whether `failure` may pass if tried again: a file held for now, or access
// denied, which a virus scanner holding a new file causes too.
bool MayPass(const ReplaceFailure& failure) {
  return failure.kind == ReplaceFailureKind::kBusy || failure.kind == ReplaceFailureKind::kDenied;
}

// Runs `step`, which replaces, moves or removes a file, again while its
// failure may pass, pausing longer each time, until kLongestWait after
// `start`.
template <typename Step>
std::optional<ReplaceFailure> Retrying(std::uint64_t start, const Step& step) {
  std::uint32_t pause = kFirstPause;
  for (;;) {
    auto failure = step();
    if (!failure || !MayPass(*failure)) return failure;
    const std::uint64_t waited = MonotonicMilliseconds() - start;
    if (waited >= kLongestWait) return failure;
    WaitMilliseconds(static_cast<std::uint32_t>(std::min<std::uint64_t>(pause, kLongestWait - waited)));
    pause = std::min(2 * pause, kLongestPause);
  }
}

// Removes the backup of the file replaced, trying again until kLongestWait
// after `start`, when the replacement began: a backup another program holds
// a moment longer would otherwise stay beside TARGET. The note for the maker
// when it stays all the same (a running copy's).
std::vector<WideText> RemoveBackup(const WideText& backup, std::uint64_t start) {
  const auto failure = Retrying(start, [&] { return RemoveFile(backup); });
  if (!failure || IsMissingFile(failure->error)) return {};
  return {BackupLeftNotice(backup, failure->error)};
}

// The failure to report when the replacement of an existing TARGET or the
// move to a new one failed with `failure`, after moving TARGET back when it
// has the backup's name.
BrandFailure ReplacementFailure(const ReplaceFailure& failure, const WorkFiles& files, const WideText& target,
                                bool replaces) {
  using enum ReplaceFailureKind;
  // ReplaceFileW's denial may be lasting, where the user lacks a right it
  // needs; MoveFileExW needs none that writing the copy did not.
  BrandFailure refused{MayPass(failure) ? kTargetInUse : kTargetNotWritten, target, failure.error};
  if (failure.kind == kDenied && replaces) refused.problem = kTargetAccessDenied;
  if (failure.kind != kTargetAtBackup) return refused;
  const auto back = Retrying(MonotonicMilliseconds(), [&] { return MoveToNewName(files.backup, target); });
  if (!back) return refused;
  // Where Windows left TARGET under its own name after all, as the older
  // wording of ReplaceFileW's documentation allows, there is no backup to
  // move back and TARGET is as it was.
  const auto state = InspectFile(target);
  const auto* found = std::get_if<FileState>(&state);
  if (IsMissingFile(back->error) && found != nullptr && found->kind == FileKind::kFile) return refused;
  refused.problem = kTargetLeftAsBackup;
  refused.leftBehind.push_back(files.backup);
  return refused;
}

// Puts the temporary file in TARGET's place: the notices of a success, or
// the failure, with TARGET as it was or, when it could not be moved back from
// the backup's name, the failure that names the backup. The temporary file is
// the caller's to remove.
std::variant<std::vector<WideText>, BrandFailure> Replace(const WorkFiles& files, const WideText& target,
                                                          ExistingTarget existing) {
  const bool replaces = existing == ExistingTarget::kLauncherCopy;
  const std::uint64_t start = MonotonicMilliseconds();
  const auto failure =
      replaces ? Retrying(start, [&] { return ReplaceExistingFile(target, files.temporary, files.backup); })
               : Retrying(start, [&] { return MoveToNewName(files.temporary, target); });
  if (failure) return ReplacementFailure(*failure, files, target, replaces);
  if (replaces) return RemoveBackup(files.backup, start);
  return std::vector<WideText>{};
}

// Compares the temporary file with the copy, then puts it in TARGET's place.
std::variant<std::vector<WideText>, BrandFailure> VerifyAndReplace(const WorkFiles& files, const WideText& target,
                                                                   ExistingTarget existing, const Bytes& copy) {
  const auto reread = ReadFileBytes(files.temporary, copy.size());
  if (const auto* error = std::get_if<SystemError>(&reread)) return BrandFailure{kCopyNotVerified, target, *error};
  const auto* bytes = std::get_if<Bytes>(&reread);
  if (bytes == nullptr || *bytes != copy) return BrandFailure{kCopyNotVerified, target};
  return Replace(files, target, existing);
}

// `failure` of a step of writing, checking or placing the copy, or, when a
// virus scanner blocked the copy, the failure that names the scanner: the
// step's own message would read as a broken disk or a locked folder.
BrandFailure NamingScanner(BrandFailure failure, const WideText& target) {
  if (!IsBlockedByScanner(failure.systemError)) return failure;
  failure.problem = kCopyBlockedByScanner;
  failure.subject = target;
  return failure;
}

// Writes `copy` to a temporary file of its own beside TARGET and puts it in
// TARGET's place: the notices of a success, or the failure, with TARGET as it
// was and no file of the run left but those the failure names.
std::variant<std::vector<WideText>, BrandFailure> PutInPlace(const BrandRequest& request, ExistingTarget existing,
                                                             const Bytes& copy) {
  const WideText& target = request.target;
  SystemError lastError = 0;
  for (std::uint32_t attempt = 0; attempt < kTemporaryNames; ++attempt) {
    const WorkFiles files = WorkFilesOf(request, attempt);
    // Files left by another run keep their names; this run takes others.
    if (IsTaken(files.backup)) continue;
    const auto failure = WriteNewFile(files.temporary, copy);
    if (failure && failure->step == WriteStep::kCreate) {
      lastError = failure->error;
      if (IsExistingFile(failure->error)) continue;
      if (IsMissingFile(failure->error)) return BrandFailure{kTargetFolderMissing, FolderOf(target)};
      return NamingScanner({kTargetFolderNotWritable, FolderOf(target), failure->error}, target);
    }
    auto outcome = failure ? std::variant<std::vector<WideText>, BrandFailure>(
                                 BrandFailure{kTargetNotWritten, target, failure->error})
                           : VerifyAndReplace(files, target, existing, copy);
    auto* refused = std::get_if<BrandFailure>(&outcome);
    if (refused == nullptr) return outcome;
    RemoveWorkFile(files.temporary, *refused);
    return NamingScanner(std::move(*refused), target);
  }
  return BrandFailure{kTargetFolderNotWritable, FolderOf(target), lastError};
}

}  // namespace

std::variant<Bytes, BrandFailure> ReadProgramFile(const WideText& path, BrandProblem missing,
                                                  BrandProblem tooLarge, BrandProblem unreadable) {
  return ReadInput(path, kLargestProgram, missing, tooLarge, unreadable);
}

std::variant<std::vector<WideText>, BrandFailure> WriteBrandedCopy(const BrandRequest& request) {
  auto source = ReadSource(request.source);
  if (const auto* failure = std::get_if<BrandFailure>(&source)) return *failure;
  const auto icon = ReadIcon(request);
  if (const auto* failure = std::get_if<BrandFailure>(&icon)) return *failure;
  const auto existing = CheckTarget(request);
  if (const auto* failure = std::get_if<BrandFailure>(&existing)) return *failure;
  const auto copy = BuildCopy(request, std::get<Program>(std::move(source)), std::get<Icon>(icon));
  if (const auto* failure = std::get_if<BrandFailure>(&copy)) return *failure;
  const Copy& built = std::get<Copy>(copy);
  auto placed = PutInPlace(request, std::get<ExistingTarget>(existing), built.bytes);
  auto* notices = std::get_if<std::vector<WideText>>(&placed);
  if (notices == nullptr) return placed;
  const std::vector<WideText>& converted = std::get<Icon>(icon).converted;
  if (!converted.empty()) notices->insert(notices->begin(), ConvertedImagesNotice(*request.iconFile, converted));
  if (!built.launcherFields.empty()) {
    notices->insert(notices->begin(), KeptFieldsNotice(request.target, built.launcherFields));
  }
  return placed;
}

BrandToolRun RunBrandTool(const std::vector<WideText>& arguments) {
  const auto parsed = ParseBrandArguments(arguments);
  if (const auto* failure = std::get_if<BrandFailure>(&parsed)) return {1, {}, FailureMessage(*failure) + u"\n"};
  const BrandRequest& request = std::get<BrandRequest>(parsed);
  if (request.helpAsked) return {0, HelpText(), {}};
  if (request.versionAsked) return {0, ToolVersionLine() + u"\n", {}};
  if (request.show) return ShowToolRun(*request.show);
  const auto written = WriteBrandedCopy(request);
  if (const auto* failure = std::get_if<BrandFailure>(&written)) return {1, {}, FailureMessage(*failure) + u"\n"};
  BrandToolRun run{0, WrittenMessage(request) + u"\n", {}};
  for (const WideText& notice : std::get<std::vector<WideText>>(written)) run.errors += notice + u"\n";
  return run;
}
