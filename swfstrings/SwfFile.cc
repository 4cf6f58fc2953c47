#include "swfstrings/SwfFile.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "swfstrings/SwfReader.h"

namespace {

constexpr size_t kHeaderLength = 8;
constexpr size_t kReadChunk = 64 * 1024;  // tag bodies grow by what actually arrives
constexpr uint32_t kLongTagLength = 63;
constexpr uint32_t kSpriteHeaderLength = 4;

enum class TagRead { kTag, kEnd, kShort };

void Warn(std::string* warnings, int tagId) {
  char buf[128];
  snprintf(buf, sizeof(buf), "swfread: Warning: Short read (tagid %d). File truncated?\n", tagId);
  if (warnings != nullptr) {
    warnings->append(buf);
  } else {
    fputs(buf, stderr);
  }
}

bool ReadExact(SwfReader& src, unsigned char* dst, size_t count, size_t& total) {
  size_t n = src.read(dst, count);
  total += n;
  return n == count;
}

bool ReadBody(SwfReader& src, SwfTag& tag, size_t& total) {
  size_t got = 0;
  while (got < tag.m_iLength) {
    size_t step = std::min<size_t>(tag.m_iLength - got, kReadChunk);
    tag.m_data.resize(got + step);
    if (!ReadExact(src, tag.m_data.data() + got, step, total)) return false;
    got += step;
  }
  return true;
}

TagRead ReadTag(SwfReader& src, SwfTag& tag, size_t& total, int& tagId) {
  unsigned char h[4];
  tagId = -1;
  size_t n = src.read(h, 2);
  total += n;
  if (n == 0) return TagRead::kEnd;
  if (n < 2) return TagRead::kShort;
  uint16_t raw = static_cast<uint16_t>(h[0] | (h[1] << 8));
  tag.m_iCode = raw >> 6;
  tagId = tag.m_iCode;
  tag.m_iLength = raw & kLongTagLength;
  if (tag.m_iLength == kLongTagLength) {
    if (!ReadExact(src, h, 4, total)) return TagRead::kShort;
    tag.m_iLength = static_cast<uint32_t>(h[0]) | (static_cast<uint32_t>(h[1]) << 8) |
                    (static_cast<uint32_t>(h[2]) << 16) | (static_cast<uint32_t>(h[3]) << 24);
  }
  // The sprite's own tags follow in the stream and are read as ordinary tags.
  if (tag.m_iCode == kSwfTagDefineSprite) {
    tag.m_iLength = std::min(tag.m_iLength, kSpriteHeaderLength);
  }
  return ReadBody(src, tag, total) ? TagRead::kTag : TagRead::kShort;
}

// Frame RECT (its size is in its first five bits), frame rate and count.
bool ReadMovieHeader(SwfReader& src, SwfFile& swf, size_t& total) {
  unsigned char buf[24];
  if (!ReadExact(src, buf, 1, total)) return false;
  size_t rectBytes = (5 + 4 * (buf[0] >> 3) + 7) / 8;
  if (!ReadExact(src, buf + 1, rectBytes - 1 + 4, total)) return false;
  SwfBitReader r(buf, rectBytes + 4);
  swf.m_frame = r.getRect();
  swf.m_iFrameRate = r.getU16();
  swf.m_iFrameCount = r.getU16();
  return r.ok();
}

// Sprite depth tells an End tag closing a sprite from the one closing the file.
void ReadTagList(SwfReader& src, SwfFile& swf, std::string* warnings) {
  int spriteDepth = 0;
  while (swf.m_tags.size() < kSwfMaxTags) {
    SwfTag tag;
    int tagId = -1;
    TagRead r = ReadTag(src, tag, swf.m_lBytesRead, tagId);
    if (r == TagRead::kEnd) return;
    if (r == TagRead::kShort) {
      Warn(warnings, tagId);
      return;
    }
    if (tag.m_iCode == kSwfTagFileAttributes) swf.m_iFileAttributes = tag.reader().getU32();
    uint16_t code = tag.m_iCode;
    swf.m_tags.push_back(std::move(tag));
    if (code == kSwfTagDefineSprite) ++spriteDepth;
    if (code == kSwfTagEnd && spriteDepth-- == 0) return;
  }
}

}  // namespace

long ReadSwfFromMemory(const unsigned char* data, size_t length, SwfFile& swf,
                       std::string* warnings) {
  FreeSwf(swf);
  swf = SwfFile();
  if (data == nullptr || length < kHeaderLength) return -1;
  bool compressed = data[0] == 'C';
  if ((data[0] != 'F' && !compressed) || data[1] != 'W' || data[2] != 'S') return -1;
  swf.m_iVersion = data[3];
  swf.m_iFileLength = static_cast<uint32_t>(data[4]) | (static_cast<uint32_t>(data[5]) << 8) |
                      (static_cast<uint32_t>(data[6]) << 16) |
                      (static_cast<uint32_t>(data[7]) << 24);
  size_t body =
      std::min<size_t>(std::max<size_t>(swf.m_iFileLength, kHeaderLength), kSwfMaxFileLength) -
      kHeaderLength;
  swf.m_lBytesRead = kHeaderLength;
  SwfMemReader input(data + kHeaderLength,
                     compressed ? length - kHeaderLength : std::min(length - kHeaderLength, body));
  std::unique_ptr<SwfZlibReader> inflater;
  if (compressed) inflater.reset(new SwfZlibReader(input, body));
  SwfReader& src = compressed ? static_cast<SwfReader&>(*inflater) : input;
  if (!ReadMovieHeader(src, swf, swf.m_lBytesRead)) {
    swf = SwfFile();
    return -1;
  }
  ReadTagList(src, swf, warnings);
  return static_cast<long>(kHeaderLength + input.pos());
}

bool IsSwfTextTag(const SwfTag& tag) {
  return tag.m_iCode == kSwfTagDefineText || tag.m_iCode == kSwfTagDefineText2;
}

bool IsSwfPlaceTag(const SwfTag& tag) {
  return tag.m_iCode == kSwfTagPlaceObject || tag.m_iCode == kSwfTagPlaceObject2 ||
         tag.m_iCode == kSwfTagPlaceObject3;
}

int SwfDefinitionId(const SwfTag& tag) {
  SwfBitReader r = tag.reader();
  uint16_t id = r.getU16();
  return r.ok() ? id : -1;
}

void FreeSwf(SwfFile& swf) { std::vector<SwfTag>().swap(swf.m_tags); }
