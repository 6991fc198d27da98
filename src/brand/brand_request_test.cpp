#include "brand/brand_request.h"

#include <gtest/gtest.h>

#include <vector>

#include "launcher_version.h"

namespace {

std::variant<BrandRequest, BrandFailure> Parse(std::vector<WideText> arguments) {
  return ParseBrandArguments(arguments);
}

}  // namespace

TEST(BrandArguments, PathsComeFirstAndSecondWithOptionsAnywhere) {
  const auto parsed = Parse({u"--company", u"Corvenna \u00c9", u"C:\\dist\\launcher.exe", u"--version",
                             u"2.1.0.7", u"D:\\Prod\\bin/viewer.exe", u"--icon-from", u"--description",
                             u"--product-version", u"3.2 beta 1", u"--trademarks", u"Vandrel\u2122"});
  ASSERT_TRUE(std::holds_alternative<BrandRequest>(parsed));
  const BrandRequest& request = std::get<BrandRequest>(parsed);
  EXPECT_EQ(request.source, u"C:\\dist\\launcher.exe");
  EXPECT_EQ(request.target, u"D:\\Prod\\bin/viewer.exe");
  EXPECT_EQ(request.edits.fileName, u"viewer.exe");
  EXPECT_EQ(request.edits.company, u"Corvenna \u00c9");
  EXPECT_EQ(request.edits.version, (FileVersion{2, 1, 0, 7}));
  EXPECT_EQ(request.edits.productVersion, u"3.2 beta 1");
  EXPECT_EQ(request.edits.trademarks, u"Vandrel\u2122");
  EXPECT_EQ(request.iconProgram, u"--description");  // a value is taken as it is
  EXPECT_FALSE(request.edits.description);
  EXPECT_EQ(std::get<BrandRequest>(Parse({u"a.exe", u"C:viewer.exe"})).edits.fileName, u"viewer.exe");
  // Paths are taken as they come; texts may hold any character in pairs.
  const auto bytes = Parse({u"\xdce9.exe", u"b.exe", u"--icon", u"\xdcff.ico", u"--description", u"\U0001D11E"});
  ASSERT_TRUE(std::holds_alternative<BrandRequest>(bytes));
  EXPECT_EQ(std::get<BrandRequest>(bytes).source, u"\xdce9.exe");
}

TEST(BrandArguments, EachMistakeIsNamed) {
  const struct {
    std::vector<WideText> arguments;
    BrandFailure failure;
  } cases[] = {
      {{}, {BrandProblem::kMissingFileArgument, {}}},
      {{u"a.exe"}, {BrandProblem::kMissingFileArgument, {}}},
      {{u"a.exe", u"b.exe", u"c.exe"}, {BrandProblem::kExtraArgument, u"c.exe"}},
      {{u"a.exe", u"b.exe", u"--colour", u"red"}, {BrandProblem::kUnknownOption, u"--colour"}},
      {{u"a.exe", u"b.exe", u"--icon"}, {BrandProblem::kMissingValue, u"--icon"}},
      {{u"a.exe", u"b.exe", u"--company", u"A", u"--company", u"B"}, {BrandProblem::kRepeatedOption, u"--company"}},
      {{u"a.exe", u"b.exe", u"--icon", u"x.ico", u"--icon-from", u"c.exe"}, {BrandProblem::kTwoIconSources, u"--icon-from"}},
      {{u"a.exe", u"b.exe", u"--version", u"1.2.3.4.5"}, {BrandProblem::kMalformedVersion, u"1.2.3.4.5"}},
      // --version asks for the tool's version only alone.
      {{u"--version", u"2.1"}, {BrandProblem::kMissingFileArgument, {}}},
      // A byte that is not UTF-8 arrives on Linux as a lone surrogate.
      {{u"a.exe", u"b.exe", u"--company", u"Caf\xdce9"}, {BrandProblem::kTextNotWellFormed, u"--company"}},
      {{u"a.exe", u"b.exe", u"--version", u"2.\xdcb9"}, {BrandProblem::kTextNotWellFormed, u"--version"}},
      {{u"a.exe", u"C:\\Prod\\bin\\"}, {BrandProblem::kTargetWithoutName, u"C:\\Prod\\bin\\"}},
      {{u"a.exe", u"viewer.ini"}, {BrandProblem::kTargetNotExe, u"viewer.ini"}},
      {{u"a.exe", u"viewer.exe.bak"}, {BrandProblem::kTargetNotExe, u"viewer.exe.bak"}},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.arguments);
    const auto* failure = std::get_if<BrandFailure>(&parsed);
    EXPECT_EQ(failure ? *failure : BrandFailure{}, c.failure)
        << testing::PrintToString(FailureMessage(c.failure));
  }
}

TEST(BrandArguments, HelpComesFirstAndTargetsEndInExeInAnyCase) {
  EXPECT_TRUE(std::get<BrandRequest>(Parse({u"a.exe", u"b.txt", u"--colour", u"-h"})).helpAsked);
  EXPECT_TRUE(std::get<BrandRequest>(Parse({u"--help"})).helpAsked);
  EXPECT_FALSE(std::get<BrandRequest>(Parse({u"a.exe", u"b.exe", u"--description", u"-h"})).helpAsked);
  EXPECT_TRUE(HelpText().starts_with(u"launcher-brand " LAUNCHER_VERSION_TEXT u": "));
  EXPECT_TRUE(std::get<BrandRequest>(Parse({u"--version"})).versionAsked);
  EXPECT_EQ(ToolVersionLine(), u"launcher-brand " LAUNCHER_VERSION_TEXT);
  EXPECT_EQ(std::get<BrandRequest>(Parse({u"a.exe", u"C:\\Prod\\VIEWER.Exe"})).edits.fileName, u"VIEWER.Exe");
}

TEST(BrandArguments, EveryFailureIsOneLineNamingItsSubject) {
  EXPECT_EQ(FailureMessage({BrandProblem::kIconMissing, u""}), u"launcher-brand: cannot find the icon file ''");
  for (int problem = 0; problem <= static_cast<int>(BrandProblem::kCopyNotVerified); ++problem) {
    if (static_cast<BrandProblem>(problem) == BrandProblem::kMissingFileArgument) continue;
    const WideText line = FailureMessage({static_cast<BrandProblem>(problem), u"C:\\x\\y.exe\n", 5});
    EXPECT_TRUE(line.starts_with(u"launcher-brand: ")) << problem;
    EXPECT_EQ(line.find_first_of(u"\r\n"), WideText::npos) << problem;
    EXPECT_NE(line.find(u"(system error #5)"), WideText::npos) << problem;
    EXPECT_NE(line.find(u"'C:\\x\\y.exe?'"), WideText::npos) << problem;
  }
}
