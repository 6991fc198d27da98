// e2e_test LAUNCHER APPLICATION
//   LAUNCHER     the launcher.exe under test
//   APPLICATION  the probe program (demo_app) that the launcher starts
#include <gtest/gtest.h>

#include <cstdio>

#include "harness.h"

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: e2e_test [gtest options] LAUNCHER APPLICATION\n");
    return 2;
  }
  SetProgramsUnderTest(argv[1], argv[2]);
  return RUN_ALL_TESTS();
}
