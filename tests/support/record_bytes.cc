#include "record_bytes.h"

#include <zlib.h>

namespace testsupport {

namespace {
constexpr size_t kInflateChunk = 65536;
}  // namespace

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

std::string Base64Decode(const std::string& text, bool& ok) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0;
  int count = 0;
  ok = text.size() % 4 == 0;
  for (char c : text) {
    if (c == '=') break;
    size_t v = kAlphabet.find(c);
    if (v == std::string::npos) ok = false;
    bits = (bits << 6) | static_cast<unsigned>(v & 63);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

bool Inflate(const std::string& in, std::string& out) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  int rc = Z_OK;
  char buf[kInflateChunk];
  while (rc == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buf);
    zs.avail_out = sizeof buf;
    rc = inflate(&zs, Z_NO_FLUSH);
    out.append(buf, sizeof buf - zs.avail_out);
  }
  inflateEnd(&zs);
  return rc == Z_STREAM_END && zs.avail_in == 0;
}

}  // namespace testsupport
