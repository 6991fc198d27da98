// The launcher's stack-protection support, in stack_guard_probe: each start
// gets a cookie of its own, and a write past a buffer ends the process before
// the damaged frame returns.
#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "harness.h"

namespace {

constexpr DWORD kStackBufferOverrun = 0xC0000409;
constexpr DWORD kInitialCookieBits = (0x2B992DDFA232 >> 8) & 0x7FFFFFFF;

DWORD RunProbe(const std::wstring& arguments, DWORD declaredException = 0) {
  const std::wstring probe = BesideThisProgram(L"stack_guard_probe.exe");
  const LaunchOutcome outcome = RunLauncherProcess(probe, L"\"" + probe + L"\"" + arguments, L"C:\\",
                                                   {}, {}, declaredException);
  EXPECT_TRUE(outcome.exited);
  return outcome.exitCode;
}

}  // namespace

TEST(StackGuard, EachStartHasItsOwnCookie) {
  std::set<DWORD> cookies;
  for (int run = 0; run < 4; ++run) {
    cookies.insert(RunProbe(L""));
  }
  EXPECT_EQ(cookies.size(), 4u);
  EXPECT_EQ(cookies.count(kInitialCookieBits), 0u);
}

TEST(StackGuard, OverrunEndsTheProcess) {
  EXPECT_EQ(RunProbe(L" --overrun", kStackBufferOverrun), kStackBufferOverrun);
}

// The harness fails a test whose program ends with an exception it did not
// declare.
TEST(StackGuard, AnUndeclaredExceptionFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(RunProbe(L" --overrun"),
                          "stack_guard_probe.exe\" ended with exception 0xC0000409");
}
