#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "kbase64.h"
#include "kcompress.h"

namespace {

TEST(Base64, PaddingAndAlphabet) {
  struct Case {
    std::string in;
    const char* out;
  };
  const Case cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xfb\xff\xfe", 3), "+//+"},
      {std::string("\0\0", 2), "AAA="},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, kbase64_encode(c.in)) << c.in;
  EXPECT_EQ("Zm9v", kbase64_encode("foobar", 3));
}

TEST(Base64, LongInputHasNoLineBreaks) {
  std::string in(200000, 'x');
  std::string out = kbase64_encode(in);
  EXPECT_EQ((in.size() + 2) / 3 * 4, out.size());
  EXPECT_EQ(std::string::npos, out.find('\n'));
}

std::string Inflate(const std::string& z, size_t original) {
  std::string out(original, '\0');
  uLongf len = original;
  EXPECT_EQ(Z_OK, uncompress(reinterpret_cast<Bytef*>(&out[0]), &len,
                             reinterpret_cast<const Bytef*>(z.data()), z.size()));
  out.resize(len);
  return out;
}

TEST(Compress, EmptyInputGivesEmptyOutput) { EXPECT_EQ("", kcompress(std::string())); }

TEST(Compress, ZlibStreamWithoutPrefix) {
  std::string page = "<html><body>" + std::string(5000, 'a') + "</body></html>";
  std::string z = kcompress(page);
  ASSERT_GE(z.size(), 2u);
  EXPECT_EQ(0x78, static_cast<unsigned char>(z[0]));
  EXPECT_EQ(page, Inflate(z, page.size()));
}

// Incompressible input above about 1 MB grows by more than a fixed 300-byte
// margin; it must still come out whole.
TEST(Compress, LargeIncompressibleInputIsKept) {
  std::mt19937 gen(7);
  std::string noise(3 * 1024 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(gen());
  std::string z = kcompress(noise);
  ASSERT_GT(z.size(), noise.size() + 300);
  EXPECT_EQ(0x78, static_cast<unsigned char>(z[0]));
  EXPECT_EQ(noise, Inflate(z, noise.size()));
}

}  // namespace
