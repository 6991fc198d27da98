#include "brand/brand_copy.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "brand/branded_resources.h"
#include "brand/show.h"
#include "brand_platform_fake.h"
#include "brand_test_files.h"

namespace {

// A launcher with a manifest, a version resource with `edits` and one icon.
Bytes Launcher(const VersionEdits& edits = {}) {
  const Bytes program = TestProgram();
  const Bytes image = TestBitmap(16, 32);
  const std::vector<Resource> resources = {
      {{24, {}}, {1, {}}, 0x0409, "<assembly/>", 0},
      {{kVersionType, {}}, {1, {}}, 0x0409, std::get<Bytes>(EditVersionResource(std::nullopt, edits)), 0},
      {{kIconImageType, {}}, {1, {}}, 0x0409, image, 0},
      {{kIconGroupType, {}}, {kShellIconGroup, {}}, 0x0409, IconGroupResource({{16, 16, 0, image}}, 1), 0}};
  return std::get<Bytes>(WithResources(program, *ReadPeImage(program), resources));
}

std::map<WideText, Bytes> Files() {
  std::map<WideText, Bytes> files;
  for (const WideText& path : FakeFilePaths()) files[path] = FakeFileBytes(path).value_or("(a link to nothing)");
  return files;
}

// How long the tool has waited since the fake was reset.
std::uint64_t WaitedMilliseconds() {
  std::uint64_t waited = 0;
  for (const WideText& call : FakeCalls()) {
    if (call.starts_with(u"wait ")) waited += std::stoul(std::string(call.begin() + 5, call.end()));
  }
  return waited;
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
  // Files another run left behind keep their names and bytes: this run takes
  // the third of its names, 4242 being 0x1092.
  PutFakeFile(u"out/.brand-00001092-00.tmp", "another run's");
  PutFakeFile(u"out/.brand-00001092-01.bak", "another run's");
  const BrandToolRun run = RunBrandTool(arguments);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, u"launcher-brand: wrote 'out/viewer.exe' from 'launcher.exe'\n");
  EXPECT_EQ(run.errors, u"");
  // An existing copy is replaced through a backup, which goes afterwards.
  EXPECT_EQ(FakeCalls(), (std::vector<WideText>{
                             u"replace out/viewer.exe out/.brand-00001092-02.tmp out/.brand-00001092-02.bak",
                             u"remove out/.brand-00001092-02.bak"}));
  auto files = Files();
  EXPECT_EQ(files.size(), 5u);
  EXPECT_EQ(files[u"out/.brand-00001092-00.tmp"], "another run's");
  EXPECT_EQ(files[u"out/.brand-00001092-01.bak"], "another run's");
  const Bytes copy = files[u"out/viewer.exe"];
  const auto image = ReadPeImage(copy);
  ASSERT_TRUE(image);
  EXPECT_TRUE(IsLauncher(copy, *image));
  const auto resources = ReadResources(copy, *image);
  ASSERT_TRUE(resources);
  EXPECT_EQ(ShellIconImages(*resources),
            (std::variant<std::vector<IconImage>, BrandFailure>(
                std::get<std::vector<IconImage>>(ParseIconFile(files[u"app.ico"])))));
  EXPECT_EQ(RunBrandTool(arguments).status, 0);
  EXPECT_EQ(*FakeFileBytes(u"out/viewer.exe"), copy) << "the same inputs give the same bytes";

  // A new copy takes its name by a move, whatever the length of its name.
  const WideText longName = u"out/" + WideText(241, u'v') + u".exe";
  ResetFakeFiles();
  SetUp();
  EXPECT_EQ(RunBrandTool({u"launcher.exe", longName, u"--icon", u"app.ico"}).status, 0);
  EXPECT_EQ(FakeCalls(), (std::vector<WideText>{u"move out/.brand-00001092-00.tmp " + longName}));
  EXPECT_EQ(Files().size(), 3u);
}

TEST_F(BrandCopy, EveryFailedStepLeavesTheFolderAsItWas) {
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
      // Unable to move the replacement: both files keep their names.
      {[] { FailFakeStep(FakeStep::kReplace, 1, 1176); },
       u"launcher-brand: cannot write the target 'out/viewer.exe' (system error #1176)"},
      // Unable to move the replacement, the target under the backup's name:
      // it is moved back; or, where Windows left it under its own name, there
      // is no backup to move (2) and it is as it was.
      {[] { FailFakeStep(FakeStep::kReplace, 1, 1177); },
       u"launcher-brand: cannot write the target 'out/viewer.exe' (system error #1177)"},
      {[] {
         KeepFakeNamesAfter1177();
         FailFakeStep(FakeStep::kReplace, 1, 1177);
       },
       u"launcher-brand: cannot write the target 'out/viewer.exe' (system error #1177)"},
      // A virus scanner refuses to open the new program.
      {[] { FailFakeStep(FakeStep::kRead, 3, 225); },
       u"launcher-brand: a virus scanner blocked the copy written for 'out/viewer.exe'; the target is left as it "
       u"was (system error #225)"},
      // Access denied throughout: a right the replacement needs is lacking.
      {[] { FailFakeStep(FakeStep::kReplace, 1, 5, 1000); },
       u"launcher-brand: cannot write the target 'out/viewer.exe' after trying for 5 seconds: access is denied; "
       u"another program may hold it or the copy open, or you may lack the right to replace it (write access to "
       u"it and the right to change the copy's permissions; on a network share, Full Control); it is left as it "
       u"was (system error #5)"},
      // Another process holds the target throughout: the tool gives up after
      // 5 seconds of pauses.
      {[] { FailFakeStep(FakeStep::kReplace, 1, 32, 1000); },
       u"launcher-brand: cannot write the target 'out/viewer.exe' after trying for 5 seconds: another program may "
       u"hold it or the copy open; it is left as it was (system error #32)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    SetUp();
    PutFakeFile(u"out/viewer.exe", TestProgram());
    c.fail();
    ExpectRefused(arguments, c.line);
  }
  EXPECT_EQ(WaitedMilliseconds(), 5000u);
  EXPECT_EQ(FakeCalls().back(), u"remove out/.brand-00001092-00.tmp");
}

TEST_F(BrandCopy, ABusyTargetIsReplacedOnceFreeAndWhatCannotBeUndoneIsNamed) {
  const std::vector<WideText> arguments = {u"launcher.exe", u"out/viewer.exe"};
  const WideText temporary = u"out/.brand-00001092-00.tmp";
  const WideText backup = u"out/.brand-00001092-00.bak";
  const WideText replace = u"replace out/viewer.exe " + temporary + u" " + backup;
  PutFakeFile(u"out/viewer.exe", TestProgram());
  // A virus scanner holds the new file for a moment: access denied, a sharing
  // violation, a lock violation, the replaced file not removable.
  FailFakeStep(FakeStep::kReplace, 1, 5);
  FailFakeStep(FakeStep::kReplace, 2, 32);
  FailFakeStep(FakeStep::kReplace, 3, 33);
  FailFakeStep(FakeStep::kReplace, 4, 1175);
  EXPECT_EQ(RunBrandTool(arguments).status, 0);
  EXPECT_EQ(FakeCalls(), (std::vector<WideText>{replace, u"wait 25", replace, u"wait 50", replace, u"wait 100",
                                                 replace, u"wait 200", replace, u"remove " + backup}));
  EXPECT_EQ(Files().size(), 3u);

  // The backup, held for a moment, is removed once free.
  SetUp();
  PutFakeFile(u"out/viewer.exe", TestProgram());
  FailFakeStep(FakeStep::kRemove, 1, 32);
  BrandToolRun run = RunBrandTool(arguments);
  EXPECT_EQ(run.errors, u"");
  EXPECT_EQ(FakeCalls(), (std::vector<WideText>{replace, u"remove " + backup, u"wait 25", u"remove " + backup}));
  EXPECT_FALSE(FakeFileBytes(backup));

  // The backup of the replaced file stays (a running program's): the copy is
  // written, and the maker told, within the 5 seconds the replacement began.
  SetUp();
  PutFakeFile(u"out/viewer.exe", TestProgram());
  FailFakeStep(FakeStep::kReplace, 1, 32, 3);
  FailFakeStep(FakeStep::kRemove, 1, 5, 1000);
  run = RunBrandTool(arguments);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, u"launcher-brand: note: the replaced file's backup '" + backup +
                            u"' is left behind (system error #5): delete it\n");
  EXPECT_EQ(FakeFileBytes(backup), TestProgram());
  EXPECT_EQ(WaitedMilliseconds(), 5000u);

  // A temporary file that cannot be removed after a failure is named.
  SetUp();
  PutFakeFile(u"out/viewer.exe", TestProgram());
  FailFakeStep(FakeStep::kReplace, 1, 1176);
  FailFakeStep(FakeStep::kRemove, 1, 5);
  run = RunBrandTool(arguments);
  EXPECT_EQ(run.errors, u"launcher-brand: cannot write the target 'out/viewer.exe' (system error #1176); '" +
                            temporary + u"' is left behind\n");
  EXPECT_EQ(FakeFileBytes(u"out/viewer.exe"), TestProgram());

  // The target, moved to the backup's name, cannot be moved back: the
  // message names where it is.
  SetUp();
  PutFakeFile(u"out/viewer.exe", TestProgram());
  FailFakeStep(FakeStep::kReplace, 1, 1177);
  FailFakeStep(FakeStep::kMove, 1, 87);
  run = RunBrandTool(arguments);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, u"launcher-brand: the target 'out/viewer.exe' could not be replaced, nor put back from "
                        u"its backup: rename the file left behind to it (system error #1177); '" +
                            backup + u"' is left behind\n");
  EXPECT_EQ(FakeFileBytes(backup), TestProgram());
  EXPECT_FALSE(FakeFileBytes(temporary));

  // A new copy's move waits as a replacement does.
  SetUp();
  FailFakeStep(FakeStep::kMove, 1, 32, 2);
  EXPECT_EQ(RunBrandTool(arguments).status, 0);
  const WideText move = u"move " + temporary + u" out/viewer.exe";
  EXPECT_EQ(FakeCalls(), (std::vector<WideText>{move, u"wait 25", move, u"wait 50", move}));
}

TEST_F(BrandCopy, NamesTheVersionFieldsACopyKeepsFromTheLauncherItself) {
  PutFakeFile(u"launcher.exe", Launcher({.description = u"Launches Vandrel products on the Windows platform.",
                                         .company = u"Corvenna Systems, Incorporated",
                                         .copyright = u"Copyright \u00a9 2026 Corvenna Systems, Incorporated"}));
  // A ProductVersion text without --version leaves FileVersion the source's.
  BrandToolRun run = RunBrandTool({u"launcher.exe", u"out/viewer.exe", u"--product-name", u"Vandrel Viewer",
                                   u"--product-version", u"2.1 beta"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors,
            u"launcher-brand: note: 'out/viewer.exe' keeps launcher.exe's own FileDescription, CompanyName, "
            u"LegalCopyright and FileVersion; give the product's own with --description, --company, --copyright "
            u"and --version\n");
  ASSERT_TRUE(FakeFileBytes(u"out/viewer.exe"));
  run = RunBrandTool({u"launcher.exe", u"out/other.exe", u"--company", u"Corvenna \u00c9ditions", u"--copyright",
                      u"\u00a9 2026 Corvenna \u00c9ditions"});
  EXPECT_EQ(run.errors,
            u"launcher-brand: note: 'out/other.exe' keeps launcher.exe's own FileDescription; give the product's "
            u"own with --description\n");
  run = RunBrandTool({u"launcher.exe", u"out/own.exe", u"--description", u"Views", u"--company", u"C",
                      u"--copyright", u"\u00a9 C"});
  EXPECT_EQ(run.errors, u"");
}

TEST_F(BrandCopy, TakesAnIconFromALogoOrFromThePngImagesToolsWrite) {
  // The icon group the shell shows, as --show prints it.
  const auto shellGroup = [](const WideText& path) {
    const WideText details = std::get<WideText>(ProgramDetails(FakeFileBytes(path).value_or("")));
    const std::size_t at = details.find(u"Icon group 107: ");
    return details.substr(at, details.find(u'\n', at) - at);
  };
  PutFakeFile(u"deep.ico", TestIconFile({{2, 2, 0, EncodedTestPng(2, 2, 16, 6, Bytes(32, '\x7f'))},
                                         {16, 16, 0, TestBitmap(16, 8)}}));
  BrandToolRun run = RunBrandTool({u"launcher.exe", u"out/deep.exe", u"--icon", u"deep.ico"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, u"launcher-brand: note: PNG images of 'deep.ico' stored as 8-bit RGBA, the form Windows' "
                        u"icon functions take: 2x2 16-bit RGBA\n");
  EXPECT_EQ(shellGroup(u"out/deep.exe"), u"Icon group 107: 2x2 32, 16x16 8");

  PutFakeFile(u"logo.png", UniformTestPng(256, "\x10\x20\x30\xff"));
  run = RunBrandTool({u"launcher.exe", u"out/logo.exe", u"--icon", u"logo.png"});
  EXPECT_EQ(run.errors, u"");
  EXPECT_EQ(shellGroup(u"out/logo.exe"), u"Icon group 107: 256x256 32, 64x64 32, 48x48 32, 32x32 32, 24x24 32, 16x16 32");
}

TEST_F(BrandCopy, RefusesTargetsAMakerNeverMeantToReplace) {
  PutFakeFile(u"icons.exe", *FakeFileBytes(u"app.ico"));
  PutFakeFile(u"app.exe", Launcher());
  LinkFakeFile(u"launcher.exe", u"out/LAUNCHER.exe");
  PutFakeFile(u"out/locked.exe", TestProgram(), true);
  PutFakeFile(u"out/notes.exe", "not a program");
  PutFakeFolder(u"out/folder.exe");
  // Programs that are not launchers: a 32-bit one, a console one, one without
  // the launcher's texts (its own application).
  Bytes console = Launcher();
  StoreU16(console, 0x58 + 68, 3);
  Bytes application = Launcher();
  Bytes text;
  AppendUtf16(text, kLauncherTexts[1]);
  application.replace(application.find(text), 2, Bytes(2, '\0'));
  PutFakeFile(u"pe32.exe", TestProgram(true));
  PutFakeFile(u"console.exe", console);
  PutFakeFile(u"out/app.exe", application);
  PutFakeSymbolicLink(u"out/link.exe", u"out/viewer.exe");
  PutFakeFile(u"out/viewer.exe", TestProgram());
  PutFakeSymbolicLink(u"out/nowhere.exe", u"out/absent.exe");
  PutFakeFile(u"wide.png", EncodedTestPng(300, 200, 8, 2, Bytes(300 * 200 * 3, '\x40')));
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
      {{u"launcher.exe", u"out/app.exe"},
       u"launcher-brand: the target 'out/app.exe' is not a launcher copy: choose another TARGET or remove it first"},
      {{u"launcher.exe", u"console.exe"},
       u"launcher-brand: the target 'console.exe' is not a launcher copy: choose another TARGET or remove it first"},
      {{u"out/app.exe", u"out/viewer.exe"},
       u"launcher-brand: the source 'out/app.exe' is not a launcher: brand launcher.exe or a copy branded from it"},
      {{u"pe32.exe", u"out/viewer.exe"},
       u"launcher-brand: the source 'pe32.exe' is not a launcher: brand launcher.exe or a copy branded from it"},
      {{u"launcher.exe", u"out/link.exe"},
       u"launcher-brand: the target 'out/link.exe' is a symbolic link; it and the file it names are left as they "
       u"are: give that file's own path"},
      {{u"launcher.exe", u"out/nowhere.exe"},
       u"launcher-brand: the target 'out/nowhere.exe' is a symbolic link; it and the file it names are left as "
       u"they are: give that file's own path"},
      {{u"launcher.exe", u"out/viewer.exe", u"--icon", u"wide.png"},
       u"launcher-brand: the icon file 'wide.png' is a 300x200 PNG image: an icon is made from a square PNG "
       u"image of at least 256x256 pixels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    ExpectRefused(c.arguments, c.line);
  }
}

}  // namespace
