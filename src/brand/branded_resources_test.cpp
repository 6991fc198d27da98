#include "brand/branded_resources.h"

#include <gtest/gtest.h>

#include <string>

#include "brand_test_files.h"

using namespace std::string_literals;

namespace {

constexpr std::uint16_t kGerman = 0x0407;
const Bytes kBitmap = TestBitmap(16, 32);

Resource Of(std::uint16_t type, std::uint16_t id, Bytes data, std::uint16_t language = kGerman) {
  return {{type, {}}, {id, {}}, language, std::move(data), 0};
}

// The type and name of each resource, "type/name" in order.
std::string Listed(const std::vector<Resource>& resources) {
  std::string listed;
  for (const Resource& resource : resources) {
    listed += std::to_string(resource.type.id) + "/" + std::to_string(resource.name.id) + " ";
  }
  return listed;
}

BrandRequest Request() {
  BrandRequest request;
  request.source = u"launcher.exe";
  request.target = u"viewer.exe";
  request.edits.fileName = u"viewer.exe";
  return request;
}

}  // namespace

TEST(BrandedResources, NewIconReplacesEveryIconAndTheRestStays) {
  const Resource manifest = Of(24, 1, "<assembly/>");
  const std::vector<Resource> source = {
      Of(kIconImageType, 1, kBitmap), Of(kIconImageType, 2, kBitmap), manifest,
      Of(kIconGroupType, 107, IconGroupResource({{16, 16, 0, kBitmap}}, 1)),
      Of(kIconGroupType, 200, IconGroupResource({{16, 16, 0, kBitmap}}, 2))};
  const std::vector<IconImage> icon = {{16, 16, 0, kBitmap + "a"}, {16, 16, 0, kBitmap + "b"}};

  const auto branded = BrandedResources(Request(), source, icon);
  ASSERT_TRUE(std::holds_alternative<std::vector<Resource>>(branded));
  const auto& copy = std::get<std::vector<Resource>>(branded);
  EXPECT_EQ(Listed(copy), "24/1 16/1 3/1 3/2 14/107 14/108 ");
  EXPECT_EQ(copy[0], manifest);
  EXPECT_EQ(copy[2].data, icon[0].data);
  EXPECT_EQ(copy[3].data, icon[1].data);
  EXPECT_EQ(copy[4].data, IconGroupResource(icon, 1));
  EXPECT_EQ(copy[5].data, copy[4].data);
  for (const Resource& resource : copy) EXPECT_EQ(resource.language, kGerman);

  const auto kept = std::get<std::vector<Resource>>(BrandedResources(Request(), source, std::nullopt));
  EXPECT_EQ(Listed(kept), "3/1 3/2 24/1 14/107 14/200 16/1 ");
  EXPECT_EQ(std::get<BrandFailure>(BrandedResources(Request(), {Of(kVersionType, 1, "bad")}, icon)),
            (BrandFailure{BrandProblem::kSourceVersionMalformed, u"launcher.exe"}));
}

TEST(BrandedResources, TheShellsIconIsTheFirstGroupInItsLanguage) {
  const Bytes first = kBitmap + "first", other = kBitmap + "other";
  const std::vector<Resource> program = {
      Of(kIconImageType, 1, other, 0x0409), Of(kIconImageType, 1, first), Of(kIconImageType, 2, other),
      Of(kIconGroupType, 5, IconGroupResource({{16, 16, 0, first}}, 1)),
      Of(kIconGroupType, 6, IconGroupResource({{16, 16, 0, other}}, 2))};
  EXPECT_EQ(ShellIconImages(program), (std::variant<std::vector<IconImage>, BrandFailure>(
                                          std::vector<IconImage>{{16, 16, 0, first}})));

  const BrandFailure withoutIcon{BrandProblem::kProgramWithoutIcon, {}};
  const BrandFailure malformed{BrandProblem::kProgramIconMalformed, {}};
  EXPECT_EQ(std::get<BrandFailure>(ShellIconImages({program[0]})), withoutIcon);
  // Windows' own programs keep their icons in a .mun or .mui file.
  EXPECT_EQ(std::get<BrandFailure>(ShellIconImages({program[0], {{0, u"MUI"}, {1, {}}, 0, "mui", 0}})),
            (BrandFailure{BrandProblem::kProgramIconElsewhere, {}}));
  EXPECT_EQ(std::get<BrandFailure>(ShellIconImages({Of(kIconImageType, 1, kBitmap.substr(0, 100)), program[3]})),
            malformed);
  EXPECT_EQ(std::get<BrandFailure>(ShellIconImages({program[4]})), malformed);
  EXPECT_EQ(std::get<BrandFailure>(ShellIconImages({Of(kIconGroupType, 5, "\0\0\1\0"s)})), malformed);
}
