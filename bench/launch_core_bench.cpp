// Micro-benchmarks of the portable core. Sizes go up to 32,767 code units, the
// longest command line Windows passes to a process. Items are input code
// units, so "items_per_second" reads as 1e9 / (ns per code unit).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "launch/config_file.h"
#include "launch/expansion.h"
#include "launch/program_token.h"
#include "test_files.h"

namespace {

constexpr std::u16string_view kTypicalTemplate = u"\"[..]\\rt\\app.exe\" -home \"[.]\"";
constexpr std::u16string_view kTypicalConfigPath =
    u"C:\\Program Files\\Vandrel Viewer\\bin\\viewer.ini";
constexpr std::u16string_view kConfigName = u"\\viewer.ini";

// `prefix`, then `pattern` over and over up to `size` code units in all, then
// `suffix`.
WideText Repeated(std::u16string_view prefix, std::u16string_view pattern, std::size_t size,
                  std::u16string_view suffix = u"") {
  WideText text(prefix);
  text.reserve(size + pattern.size() + suffix.size());
  while (text.size() < size) text += pattern;
  text.resize(size);
  text += suffix;
  return text;
}

// A configuration path of exactly `size` code units, deep in directories.
WideText LongConfigPath(std::size_t size) {
  return Repeated(u"C:\\", u"Vandrel Viewer\\", size - kConfigName.size(), kConfigName);
}

std::size_t SizeArgument(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

void CountUnits(benchmark::State& state, std::size_t unitsPerIteration) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(unitsPerIteration));
}

// Every call gets fresh copies of its inputs, and the time includes them; the
// launcher itself moves all but the path.
void RunExpansion(benchmark::State& state, const WideText& commandTemplate,
                  const WideText& argumentTail, const WideText& configPath,
                  std::size_t measuredUnits) {
  std::size_t outputUnits = 0;
  for (auto _ : state) {
    ExpandedCommand expanded = ExpandCommandLine(commandTemplate, argumentTail, configPath);
    outputUnits = expanded.commandLine.size();
    benchmark::DoNotOptimize(expanded);
  }
  CountUnits(state, measuredUnits);
  state.counters["out_units"] = static_cast<double>(outputUnits);
}

void ExpandTypical(benchmark::State& state) {
  const WideText commandTemplate(kTypicalTemplate);
  const WideText argumentTail = u"\"C:\\Users\\Ada\\Documents\\plan.vdr\" -readonly";
  const WideText configPath(kTypicalConfigPath);
  RunExpansion(state, commandTemplate, argumentTail, configPath,
               commandTemplate.size() + argumentTail.size() + configPath.size());
}
BENCHMARK(ExpandTypical);

// Every code unit of the tail belongs to a placeholder: the most replacements
// a tail of that length can ask for. N is the tail's length.
void ExpandPlaceholderTail(benchmark::State& state) {
  const WideText argumentTail = Repeated(u"", u"[.][..]", SizeArgument(state));
  RunExpansion(state, WideText(kTypicalTemplate), argumentTail, WideText(kTypicalConfigPath),
               argumentTail.size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(ExpandPlaceholderTail)->Arg(1024)->Arg(8192)->Arg(32767)->Complexity(benchmark::oN);

// A configuration path of N code units: every placeholder of the template
// copies its directory, or that directory's parent, once more.
void ExpandLongDirectory(benchmark::State& state) {
  const WideText commandTemplate =
      u"\"[..]\\rt\\app.exe\" -home \"[.]\" -data \"[.]\\data\" -cache \"[..]\\cache\" "
      u"-log \"[.]\\log\" -plugins \"[..]\\plugins\"";
  const WideText configPath = LongConfigPath(SizeArgument(state));
  RunExpansion(state, commandTemplate, u"file.vdr", configPath, configPath.size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(ExpandLongDirectory)->Arg(1024)->Arg(8192)->Arg(32000)->Complexity(benchmark::oN);

// Both at once within one 32,767-unit command line: a 16K configuration path
// and a 16K tail of placeholders, each copying the directory or its parent. N
// is the whole command line.
void ExpandPlaceholderTailAndLongDirectory(benchmark::State& state) {
  const std::size_t half = SizeArgument(state) / 2;
  const WideText configPath = LongConfigPath(half);
  const WideText argumentTail = Repeated(u"", u"[.][..]", SizeArgument(state) - half);
  RunExpansion(state, WideText(kTypicalTemplate), argumentTail, configPath,
               configPath.size() + argumentTail.size());
}
BENCHMARK(ExpandPlaceholderTailAndLongDirectory)->Arg(32767)->Unit(benchmark::kMillisecond);

// An unquoted path whose folder names hold ".exe" followed by other text, so
// that each is a near miss, and whose file name ends in ".exe" or does not;
// then its configuration path. N is the command line's length.
void ConfigPathFromCommandLineAtLength(benchmark::State& state) {
  const bool exeAtEnd = state.range(1) != 0;
  const WideText rawCommandLine = Repeated(u"C:", u"\\Vandrel.exe-\\bin.EXE_",
                                           SizeArgument(state) - 4, exeAtEnd ? u".ExE" : u".ex_");
  for (auto _ : state) {
    const std::optional<std::u16string_view> path = ExePathNamedIn(rawCommandLine);
    if (path.has_value() != exeAtEnd) {
      state.SkipWithError("unexpected outcome");
      break;
    }
    WideText configPath = path ? ConfigPathFor(WideText(*path)) : WideText();
    benchmark::DoNotOptimize(configPath);
  }
  CountUnits(state, rawCommandLine.size());
}
BENCHMARK(ConfigPathFromCommandLineAtLength)
    ->ArgNames({"N", "exe_at_end"})
    ->ArgsProduct({{1024, 8192, 32767}, {1, 0}});

// An unquoted line of N code units whose every blank follows the launcher's
// file name, in the launcher's folders on another drive: where its name ends
// is asked at each blank, and no text before one is the launcher.
void OwnNameAmongNearMisses(benchmark::State& state) {
  const std::u16string_view modulePath = u"C:\\Program Files\\Vandrel Viewer\\bin\\viewer.exe";
  const WideText rawCommandLine = Repeated(
      u"viewer ", u"D:\\Program Files\\Vandrel Viewer\\bin\\viewer.exe ", SizeArgument(state));
  for (auto _ : state) {
    const std::optional<std::size_t> end = EndOfOwnName(rawCommandLine, modulePath);
    if (end) {
      state.SkipWithError("unexpected outcome");
      break;
    }
    benchmark::DoNotOptimize(end);
  }
  CountUnits(state, rawCommandLine.size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(OwnNameAmongNearMisses)->Arg(1024)->Arg(8192)->Arg(32767)->Complexity(benchmark::oN);

void ReadTemplateFrom(benchmark::State& state, const WideText& configPath,
                      const WideText& expected) {
  for (auto _ : state) {
    Outcome<WideText> commandTemplate = ReadCommandTemplate(configPath);
    if (commandTemplate != Outcome<WideText>(expected)) {
      state.SkipWithError("unexpected template");
      break;
    }
    benchmark::DoNotOptimize(commandTemplate);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  // The same short first line in a tiny file and in a 50 MB one: reading it
  // must not depend on what follows it.
  const ScratchDirectory scratch;
  const std::string line = "\"[..]\\rt\\app.exe\" -home \"[.]\"\r\n";
  std::string bigFile = line;
  bigFile.resize(std::size_t{50} << 20, 'x');
  const WideText tinyPath = WriteFileBytes(scratch.path / "tiny.ini", line);
  const WideText bigPath = WriteFileBytes(scratch.path / "big.ini", bigFile);
  const WideText expected(kTypicalTemplate);
  for (const auto& [configPath, size] : {std::pair{&tinyPath, line.size()},
                                         std::pair{&bigPath, bigFile.size()}}) {
    const std::string name = "ReadCommandTemplate/file_bytes:" + std::to_string(size);
    benchmark::RegisterBenchmark(name.c_str(),
                                 [path = *configPath, &expected](benchmark::State& state) {
                                   ReadTemplateFrom(state, path, expected);
                                 });
  }

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
