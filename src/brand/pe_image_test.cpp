#include "brand/pe_image.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

constexpr std::size_t kPeAt = 0x40;
constexpr std::size_t kCharacteristicsAt = kPeAt + 4 + 18;
constexpr std::size_t kOptionalAt = kPeAt + 24;
constexpr std::size_t kCertificateEntryAt = kOptionalAt + 112 + 4 * 8;

// A 64-bit program's headers with one section, padded to 512 bytes.
Bytes Program() {
  Bytes image(0x200, '\0');
  image.replace(0, 2, "MZ");
  StoreU32(image, 0x3C, kPeAt);
  image.replace(kPeAt, 8, "PE\0\0\x64\x86\1\0"s);
  StoreU32(image, kPeAt + 20, 0x00220000 | 240);  // optional header size; executable, large addresses
  StoreU32(image, kOptionalAt, 0x020B);
  StoreU32(image, kOptionalAt + 108, 16);  // data directories
  return image;
}

Bytes Signed(Bytes image, std::size_t certificateSize = 16) {
  StoreU32(image, kCertificateEntryAt, static_cast<std::uint32_t>(image.size()));
  StoreU32(image, kCertificateEntryAt + 4, static_cast<std::uint32_t>(certificateSize));
  return image + Bytes(16, 'S');
}

Bytes With(Bytes image, std::size_t at, std::uint32_t value) {
  StoreU32(image, at, value);
  return image;
}

}  // namespace

TEST(PeImage, ASignedCopyLosesItsSignatureAndNothingElse) {
  const Bytes unsigned_ = Program();
  const auto layout = ReadPeLayout(unsigned_);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->checksumAt, kOptionalAt + 64);
  EXPECT_EQ(WithoutSignature(unsigned_, *layout), unsigned_);

  const Bytes signed_ = Signed(unsigned_);
  const auto signedLayout = ReadPeLayout(signed_);
  ASSERT_TRUE(signedLayout);
  EXPECT_EQ(signedLayout->certificateSize, 16u);
  EXPECT_EQ(WithoutSignature(signed_, *signedLayout), unsigned_);
}

TEST(PeImage, OnlyWindowsProgramsAreTaken) {
  const Bytes program = Program();
  Bytes inHeaders = Signed(program);
  StoreU32(inHeaders, kCertificateEntryAt, 0x100);
  StoreU32(inHeaders, kCertificateEntryAt + 4, static_cast<std::uint32_t>(inHeaders.size() - 0x100));
  for (const Bytes& image : {Bytes(), Bytes("MZ"), With(program, 0x3C, 0x1F0), With(program, kPeAt, 0),
                             With(program, kCharacteristicsAt, 0x2022),  // a DLL
                             With(program, kCharacteristicsAt, 0x0020),  // not executable
                             With(program, kOptionalAt, 0x010C),
                             With(program, kPeAt + 4, 0xFFFF8664),  // more sections than the file holds
                             Signed(program, 15),  // not ending the file
                             inHeaders}) {
    EXPECT_FALSE(ReadPeLayout(image)) << testing::PrintToString(image.substr(0, 0x60));
  }
}
