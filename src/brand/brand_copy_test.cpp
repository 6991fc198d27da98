#include "brand/brand_copy.h"

#include <gtest/gtest.h>

#include <map>

#include "brand/branded_resources.h"
#include "brand_platform_fake.h"
#include "brand_test_files.h"

namespace {

// A launcher with a manifest, a version resource and one icon.
Bytes Launcher() {
  const Bytes program = TestProgram();
  const Bytes image = TestBitmap(16, 32);
  const std::vector<Resource> resources = {
      {{24, {}}, {1, {}}, 0x0409, "<assembly/>", 0},
      {{kVersionType, {}}, {1, {}}, 0x0409, std::get<Bytes>(EditVersionResource(std::nullopt, {})), 0},
      {{kIconImageType, {}}, {1, {}}, 0x0409, image, 0},
      {{kIconGroupType, {}}, {kShellIconGroup, {}}, 0x0409, IconGroupResource({{16, 16, 0, image}}, 1), 0}};
  return std::get<Bytes>(WithResources(program, *ReadPeImage(program), resources));
}

std::map<WideText, Bytes> Files() {
  std::map<WideText, Bytes> files;
  for (const WideText& path : FakeFilePaths()) files[path] = *FakeFileBytes(path);
  return files;
}

class BrandCopy : public testing::Test {
 protected:
  void SetUp() override {
    ResetFakeFiles();
    PutFakeFile(u"launcher.exe", Launcher());
    PutFakeFile(u"app.ico", TestIconFile({{16, 16, 0, TestBitmap(16, 8)}, {0, 0, 0, TestPng(0)}}));
    PutFakeFolder(u"out");
  }

  // Runs the tool and expects it to fail with `line` and leave every file as it was.
  static void ExpectRefused(const std::vector<WideText>& arguments, const WideText& line) {
    const auto before = Files();
    const BrandToolRun run = RunBrandTool(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, u"");
    EXPECT_EQ(run.errors, line + u"\n");
    EXPECT_EQ(Files(), before);
  }
};

TEST_F(BrandCopy, WritesTheCopyInTheTargetsPlaceAndNothingElse) {
  const std::vector<WideText> arguments = {u"launcher.exe", u"out/viewer.exe", u"--icon", u"app.ico"};
  PutFakeFile(u"out/viewer.exe", TestProgram());  // an earlier copy
  // A temporary file another run left behind keeps its name and bytes.
  PutFakeFile(u"out/viewer.exe.brand-4242.tmp", "another run's");
  const BrandToolRun run = RunBrandTool(arguments);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, u"launcher-brand: wrote 'out/viewer.exe' from 'launcher.exe'\n");
  EXPECT_EQ(run.errors, u"");
  auto files = Files();
  EXPECT_EQ(files.size(), 4u);
  EXPECT_EQ(files[u"out/viewer.exe.brand-4242.tmp"], "another run's");
  const Bytes copy = files[u"out/viewer.exe"];
  const auto image = ReadPeImage(copy);
  ASSERT_TRUE(image);
  const auto resources = ReadResources(copy, *image);
  ASSERT_TRUE(resources);
  EXPECT_EQ(ShellIconImages(*resources),
            (std::variant<std::vector<IconImage>, BrandFailure>(
                std::get<std::vector<IconImage>>(ParseIconFile(files[u"app.ico"])))));
  EXPECT_EQ(RunBrandTool(arguments).status, 0);
  EXPECT_EQ(*FakeFileBytes(u"out/viewer.exe"), copy) << "the same inputs give the same bytes";
}

TEST_F(BrandCopy, EveryFailedStepLeavesTheFolderAsItWas) {
  PutFakeFile(u"out/viewer.exe", TestProgram());
  const std::vector<WideText> arguments = {u"launcher.exe", u"out/viewer.exe"};
  const struct {
    void (*fail)();
    WideText line;
  } cases[] = {
      {[] { FailFakeStep(FakeStep::kCreate, 1, 13); },
       u"launcher-brand: cannot write in the target's folder 'out' (system error #13)"},
      {[] { FailFakeStep(FakeStep::kWrite, 1, kFakeNoSpace); },
       u"launcher-brand: cannot write the target 'out/viewer.exe' (system error #28)"},
      {[] { LoseFakeWrites(); },
       u"launcher-brand: the copy written for 'out/viewer.exe' did not read back as written; "
       u"the target is left as it was"},
      // Reads: the source, the existing target, then the copy written.
      {[] { FailFakeStep(FakeStep::kRead, 3, 5); },
       u"launcher-brand: the copy written for 'out/viewer.exe' did not read back as written; "
       u"the target is left as it was (system error #5)"},
      {[] { FailFakeStep(FakeStep::kReplace, 1, 13); },
       u"launcher-brand: cannot write the target 'out/viewer.exe' (system error #13)"},
  };
  for (const auto& c : cases) {
    SetUp();
    PutFakeFile(u"out/viewer.exe", TestProgram());
    c.fail();
    ExpectRefused(arguments, c.line);
  }
}

TEST_F(BrandCopy, RefusesTargetsAMakerNeverMeantToReplace) {
  PutFakeFile(u"icons.exe", *FakeFileBytes(u"app.ico"));
  PutFakeFile(u"app.exe", Launcher());
  LinkFakeFile(u"launcher.exe", u"out/LAUNCHER.exe");
  PutFakeFile(u"out/locked.exe", TestProgram(), true);
  PutFakeFile(u"out/notes.exe", "not a program");
  PutFakeFolder(u"out/folder.exe");
  const struct {
    std::vector<WideText> arguments;
    WideText line;
  } cases[] = {
      {{u"launcher.exe", u"out/LAUNCHER.exe"}, u"launcher-brand: the target 'out/LAUNCHER.exe' is the source itself"},
      {{u"launcher.exe", u"icons.exe", u"--icon", u"icons.exe"},
       u"launcher-brand: the target 'icons.exe' is the icon file itself"},
      {{u"launcher.exe", u"app.exe", u"--icon-from", u"app.exe"},
       u"launcher-brand: the target 'app.exe' is the program the icon comes from"},
      {{u"launcher.exe", u"out/locked.exe"}, u"launcher-brand: the target 'out/locked.exe' is read-only; it is left as it is"},
      {{u"launcher.exe", u"out/notes.exe"},
       u"launcher-brand: the target 'out/notes.exe' exists and is not a Windows program; it is left as it is"},
      {{u"launcher.exe", u"out/folder.exe"}, u"launcher-brand: the target 'out/folder.exe' is not a file"},
      {{u"launcher.exe", u"absent/viewer.exe"}, u"launcher-brand: the target's folder 'absent' does not exist"},
      {{u"launcher.exe", u"out/viewer.exe", u"--icon-from", u"app.ico"},
       u"launcher-brand: 'app.ico' is an icon file: give it with --icon, not --icon-from"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    ExpectRefused(c.arguments, c.line);
  }
}

}  // namespace
