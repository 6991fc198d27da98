// Measures what a start through launcher.exe costs over the least a starter can
// do. Both starters start the same probe by the same command line:
//
//   <tree>\bin\baseline.exe   "<tree>\rt\app.exe" passed as its argument
//   <tree>\bin\launcher.exe   launcher.ini: "[..]\rt\app.exe"
//   <tree>\rt\app.exe         the probe
//
//   launch_cost BASELINE.exe LAUNCHER.exe PROBE.exe [ROUNDS]
//
// Each round starts each starter once, the order alternating from round to
// round. A start is timed from just before CreateProcessW until the starter has
// exited, and counts only when the starter exited 0 and its probe was started;
// the next start waits until the probe has ended too. A round with a start that
// does not count is reported and made again, a few times at most. The peak
// working set is measured in separate starts under a debugger, stopped where
// the starter exits (see PeakWorkingSetAtExit).

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "process_inspection.h"

namespace {

constexpr int kDefaultRounds = 100;
constexpr int kWarmUpRounds = 2;
constexpr int kMemoryStarts = 5;
constexpr int kMaxDiscardedRounds = 5;
// A start takes some tens of milliseconds; a starter still running after this
// is waiting in an error box.
constexpr DWORD kStarterTimeoutMs = 10'000;
constexpr DWORD kProbeTimeoutMs = 30'000;
constexpr DWORD kPollMs = 2;
// A timed start creates the starter and, through it, the probe.
constexpr DWORD kProcessesPerStart = 2;
constexpr BYTE kBreakpointInstruction = 0xCC;

struct Tree {
  std::wstring root;
  std::wstring bin;
  std::wstring baselineCommandLine;
  std::wstring launcherCommandLine;
};

struct Starter {
  const char* name;
  std::wstring commandLine;
  std::vector<double> milliseconds;
  std::vector<std::uint64_t> peakAfterExit;  // read once the starter has exited
  std::vector<std::uint64_t> peakAtExit;     // read while it is exiting
};

struct TimedStart {
  double milliseconds = 0;
  std::uint64_t peakAfterExit = 0;
};

// "/a/b" (as a POSIX shell passes paths under Wine) becomes "Z:\a\b"; the result
// is absolute.
std::wstring WindowsFullPath(std::wstring path) {
  if (!path.empty() && path.front() == L'/') {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    path = L"Z:" + path;
  }
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.wstring();
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool complete =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  return CloseHandle(file) && complete;
}

// A fresh tree under the temporary directory, or nothing (with a message).
std::optional<Tree> MakeTree(const std::wstring& baseline, const std::wstring& launcher,
                             const std::wstring& probe) {
  std::error_code error;
  const std::filesystem::path root = std::filesystem::temp_directory_path(error) /
                                     (L"launch-cost-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::remove_all(root, error);
  const std::filesystem::path bin = root / L"bin";
  const std::filesystem::path rt = root / L"rt";
  const bool made = std::filesystem::create_directories(bin, error) &&
                    std::filesystem::create_directories(rt, error) &&
                    CopyFileW(baseline.c_str(), (bin / L"baseline.exe").c_str(), FALSE) &&
                    CopyFileW(launcher.c_str(), (bin / L"launcher.exe").c_str(), FALSE) &&
                    CopyFileW(probe.c_str(), (rt / L"app.exe").c_str(), FALSE) &&
                    WriteTextFile((bin / L"launcher.ini").wstring(), R"("[..]\rt\app.exe")");
  if (!made) {
    std::fprintf(stderr, "launch_cost: cannot set up %ls\n", root.c_str());
    return std::nullopt;
  }
  // The command line the launcher builds from launcher.ini, without arguments.
  const std::wstring probeCommandLine = Quoted((rt / L"app.exe").wstring());
  return Tree{root.wstring(), bin.wstring(),
              Quoted((bin / L"baseline.exe").wstring()) + L" " + probeCommandLine,
              Quoted((bin / L"launcher.exe").wstring())};
}

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION JobCounts(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts{};
  QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &counts, sizeof(counts),
                            nullptr);
  return counts;
}

// Ends every process of the job but this one.
void EndStrayProcesses(HANDLE job) {
  constexpr DWORD kMaxListed = 64;
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[kMaxListed];
  } listed{};
  listed.list.NumberOfAssignedProcesses = kMaxListed;
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &listed, sizeof(listed),
                                 nullptr)) {
    return;
  }
  const DWORD count = std::min(listed.list.NumberOfProcessIdsInList, kMaxListed);
  for (DWORD i = 0; i < count; ++i) {
    const auto id = static_cast<DWORD>(listed.list.ProcessIdList[i]);
    if (id == GetCurrentProcessId()) continue;
    if (const HANDLE stray = OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
      TerminateProcess(stray, 1);
      CloseHandle(stray);
    }
  }
}

// Waits until this process is the job's only one; ends the others on timeout.
bool WaitForOthersToEnd(HANDLE job) {
  const ULONGLONG deadline = GetTickCount64() + kProbeTimeoutMs;
  while (JobCounts(job).ActiveProcesses > 1) {
    if (GetTickCount64() > deadline) {
      EndStrayProcesses(job);
      return false;
    }
    Sleep(kPollMs);
  }
  return true;
}

// What a starter that does not exit is showing, so the report can say why.
void ReportBoxes(const char* starterName, DWORD processId) {
  for (HWND box : MessageBoxesOf(processId)) {
    std::fprintf(stderr, "launch_cost: the %s shows: %ls\n", starterName,
                 MessageBoxText(box).c_str());
  }
}

std::uint64_t PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (!K32GetProcessMemoryInfo(process, &memory, sizeof(memory))) return 0;
  return memory.PeakWorkingSetSize;
}

// One timed start of `starter`; nothing (with a message) when the start failed,
// the starter did not exit 0, or it did not start exactly one probe.
std::optional<TimedStart> TimeOneStart(const Starter& starter, const std::wstring& directory,
                                       HANDLE job, double ticksPerMs) {
  std::wstring commandLine = starter.commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const DWORD processesBefore = JobCounts(job).TotalProcesses;

  LARGE_INTEGER before{};
  LARGE_INTEGER after{};
  QueryPerformanceCounter(&before);
  const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, directory.c_str(), &startup, &process);
  const DWORD waited =
      created ? WaitForSingleObject(process.hProcess, kStarterTimeoutMs) : WAIT_FAILED;
  QueryPerformanceCounter(&after);

  if (!created) {
    std::fprintf(stderr, "launch_cost: cannot start the %s: error %lu\n", starter.name,
                 GetLastError());
    return std::nullopt;
  }
  CloseHandle(process.hThread);
  DWORD exitCode = 0;
  if (waited != WAIT_OBJECT_0) {
    ReportBoxes(starter.name, process.dwProcessId);
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, kStarterTimeoutMs);
    exitCode = STILL_ACTIVE;
  } else {
    GetExitCodeProcess(process.hProcess, &exitCode);
  }
  const std::uint64_t peak = PeakWorkingSet(process.hProcess);
  CloseHandle(process.hProcess);
  const bool othersEnded = WaitForOthersToEnd(job);
  const DWORD processesMade = JobCounts(job).TotalProcesses - processesBefore;

  if (exitCode != 0) {
    std::fprintf(stderr, "launch_cost: the %s %s (exit code %lu)\n", starter.name,
                 exitCode == STILL_ACTIVE ? "did not exit in time" : "failed", exitCode);
    return std::nullopt;
  }
  if (!othersEnded || processesMade != kProcessesPerStart) {
    std::fprintf(stderr, "launch_cost: the %s made %lu processes, %s\n", starter.name,
                 processesMade, othersEnded ? "all ended" : "ended by force");
    return std::nullopt;
  }
  return TimedStart{static_cast<double>(after.QuadPart - before.QuadPart) / ticksPerMs, peak};
}

// Puts a breakpoint on the process's RtlExitUserProcess, where every normal exit
// ends up; returns its address (0 on failure) and the byte it replaced.
std::uintptr_t ArmExitBreakpoint(HANDLE process, BYTE& replaced) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto exitHere =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(ntdll, "RtlExitUserProcess"));
  const auto ntdllThere = reinterpret_cast<std::uintptr_t>(LoadedModule(process, L"ntdll.dll"));
  if (exitHere == 0 || ntdllThere == 0) return 0;
  const std::uintptr_t exitThere = ntdllThere + (exitHere - reinterpret_cast<std::uintptr_t>(ntdll));
  auto* const target = reinterpret_cast<void*>(exitThere);
  if (!ReadProcessMemory(process, target, &replaced, 1, nullptr) ||
      !WriteProcessMemory(process, target, &kBreakpointInstruction, 1, nullptr)) {
    return 0;
  }
  FlushInstructionCache(process, target, 1);
  return exitThere;
}

// Puts the replaced byte back and sets the thread to run it.
void DisarmExitBreakpoint(HANDLE process, DWORD threadId, std::uintptr_t address, BYTE replaced) {
  auto* const target = reinterpret_cast<void*>(address);
  WriteProcessMemory(process, target, &replaced, 1, nullptr);
  FlushInstructionCache(process, target, 1);
  const HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, threadId);
  if (thread == nullptr) return;
  alignas(16) CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL;
  if (GetThreadContext(thread, &context)) {
    context.Rip = address;
    SetThreadContext(thread, &context);
  }
  CloseHandle(thread);
}

// The starter's peak working set, read as it begins to exit. Under Wine the
// counters of a process that has exited read as 0, or now and then still hold
// the last values, so the process is run under a debugger and read while it
// is stopped at a breakpoint on its exit. Nothing when that was not reached.
std::optional<std::uint64_t> PeakWorkingSetAtExit(const Starter& starter,
                                                  const std::wstring& directory, HANDLE job) {
  std::wstring commandLine = starter.commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      DEBUG_ONLY_THIS_PROCESS, nullptr, directory.c_str(), &startup, &process)) {
    return std::nullopt;
  }
  std::optional<std::uint64_t> peak;
  bool initialBreakpointSeen = false;
  std::uintptr_t exitAddress = 0;
  BYTE replaced = 0;
  for (bool exited = false; !exited;) {
    DEBUG_EVENT event{};
    if (!WaitForDebugEvent(&event, kStarterTimeoutMs)) {
      TerminateProcess(process.hProcess, 1);
      DebugActiveProcessStop(process.dwProcessId);
      peak.reset();
      break;
    }
    DWORD continueStatus = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        const auto at = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
        if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
          continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        } else if (!initialBreakpointSeen) {
          // The loader's breakpoint: the DLLs are mapped now.
          initialBreakpointSeen = true;
          exitAddress = ArmExitBreakpoint(process.hProcess, replaced);
        } else if (exitAddress != 0 && at == exitAddress) {
          peak = PeakWorkingSet(process.hProcess);
          DisarmExitBreakpoint(process.hProcess, event.dwThreadId, exitAddress, replaced);
        }
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        exited = true;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
  }
  WaitForSingleObject(process.hProcess, kStarterTimeoutMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  WaitForOthersToEnd(job);
  if (peak == 0u) peak.reset();
  return peak;
}

// The q-quantile of sorted values, interpolated between neighbours.
double Quantile(const std::vector<double>& sorted, double q) {
  const double position = q * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<size_t>(position);
  const size_t above = std::min(below + 1, sorted.size() - 1);
  const double fraction = position - static_cast<double>(below);
  return sorted[below] + (sorted[above] - sorted[below]) * fraction;
}

std::uint64_t Median(std::vector<std::uint64_t> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void PrintTimes(const Starter& starter) {
  std::vector<double> sorted = starter.milliseconds;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%-9s %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f\n", starter.name, sorted.front(),
              Quantile(sorted, 0.10), Quantile(sorted, 0.25), Quantile(sorted, 0.50),
              Quantile(sorted, 0.75), Quantile(sorted, 0.90), sorted.back());
}

void PrintMemory(const Starter& starter) {
  const auto readable = static_cast<size_t>(std::count_if(
      starter.peakAfterExit.begin(), starter.peakAfterExit.end(),
      [](std::uint64_t peak) { return peak != 0; }));
  std::vector<std::uint64_t> nonZero;
  std::copy_if(starter.peakAfterExit.begin(), starter.peakAfterExit.end(),
               std::back_inserter(nonZero), [](std::uint64_t peak) { return peak != 0; });
  std::printf("%-9s at exit %6llu KiB (median of %zu of %d debugged starts); "
              "after exit %zu of %zu timed starts read non-zero",
              starter.name, static_cast<unsigned long long>(Median(starter.peakAtExit) / 1024),
              starter.peakAtExit.size(), kMemoryStarts, readable, starter.peakAfterExit.size());
  if (!nonZero.empty()) {
    std::printf(" (median %llu KiB)", static_cast<unsigned long long>(Median(nonZero) / 1024));
  }
  std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: launch_cost BASELINE.exe LAUNCHER.exe PROBE.exe [ROUNDS]\n");
    return 2;
  }
  int rounds = kDefaultRounds;
  if (argc == 5) {
    wchar_t* end = nullptr;
    const long parsed = std::wcstol(argv[4], &end, 10);
    if (*end != L'\0' || parsed < 1 || parsed > 100'000) {
      std::fprintf(stderr, "launch_cost: ROUNDS must be a number from 1 to 100000\n");
      return 2;
    }
    rounds = static_cast<int>(parsed);
  }
  const std::optional<Tree> tree = MakeTree(WindowsFullPath(argv[1]), WindowsFullPath(argv[2]),
                                            WindowsFullPath(argv[3]));
  if (!tree) return 1;

  // Every process started from here on, the probes too, is in this job, so the
  // bench can tell when they have all ended.
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr || !AssignProcessToJobObject(job, GetCurrentProcess())) {
    std::fprintf(stderr, "launch_cost: cannot make a job object: error %lu\n", GetLastError());
    return 1;
  }
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  const double ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;

  Starter starters[] = {{"baseline", tree->baselineCommandLine, {}, {}, {}},
                        {"launcher", tree->launcherCommandLine, {}, {}, {}}};
  int discardedRounds = 0;
  for (int round = -kWarmUpRounds; round < rounds && discardedRounds <= kMaxDiscardedRounds;) {
    std::optional<TimedStart> starts[2];
    for (int turn = 0; turn < 2; ++turn) {
      const int index = (round + turn) % 2 == 0 ? 0 : 1;
      starts[index] = TimeOneStart(starters[index], tree->bin, job, ticksPerMs);
      if (!starts[index]) break;
    }
    if (!starts[0] || !starts[1]) {
      ++discardedRounds;
      continue;
    }
    if (round >= 0) {
      for (int index = 0; index < 2; ++index) {
        starters[index].milliseconds.push_back(starts[index]->milliseconds);
        starters[index].peakAfterExit.push_back(starts[index]->peakAfterExit);
      }
    }
    ++round;
  }
  const bool failed = discardedRounds > kMaxDiscardedRounds;
  for (int start = 0; start < kMemoryStarts && !failed; ++start) {
    for (Starter& starter : starters) {
      if (const auto peak = PeakWorkingSetAtExit(starter, tree->bin, job)) {
        starter.peakAtExit.push_back(*peak);
      }
    }
  }
  std::error_code error;
  std::filesystem::remove_all(tree->root, error);
  if (failed) {
    std::fprintf(stderr, "launch_cost: giving up after %d rounds with a start that did not count\n",
                 discardedRounds);
    return 1;
  }

  std::printf("%d rounds, each starting both starters once, order alternating; "
              "after %d warm-up rounds; %d rounds made again\n",
              rounds, kWarmUpRounds, discardedRounds);
  std::printf("start to exit, ms:\n");
  std::printf("%-9s %8s %8s %8s %8s %8s %8s %8s\n", "starter", "min", "p10", "p25", "median",
              "p75", "p90", "max");
  for (const Starter& starter : starters) PrintTimes(starter);
  std::vector<double> baseline = starters[0].milliseconds;
  std::vector<double> launcher = starters[1].milliseconds;
  std::sort(baseline.begin(), baseline.end());
  std::sort(launcher.begin(), launcher.end());
  std::printf("ratio of medians launcher/baseline: %.3f\n",
              Quantile(launcher, 0.5) / Quantile(baseline, 0.5));
  // Load from other work on the machine drifts over a run; the two starts of
  // one round see nearly the same load.
  std::vector<double> ratios;
  for (size_t i = 0; i < starters[0].milliseconds.size(); ++i) {
    ratios.push_back(starters[1].milliseconds[i] / starters[0].milliseconds[i]);
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("ratio within a round, launcher/baseline: median %.3f, p25 %.3f, p75 %.3f\n",
              Quantile(ratios, 0.5), Quantile(ratios, 0.25), Quantile(ratios, 0.75));
  std::printf("peak working set:\n");
  for (const Starter& starter : starters) PrintMemory(starter);
  return 0;
}
