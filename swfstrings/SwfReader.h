// Byte sources the SWF file reader pulls from: a memory block, and a zlib
// inflater layered on one. Input is untrusted; the inflater never yields more
// than its output limit and throws SimpleException on a damaged stream.
// A reader belongs to one thread.
#ifndef SWFSTRINGS_SWFREADER_H
#define SWFSTRINGS_SWFREADER_H

#include <zlib.h>

#include <cstddef>

class SwfReader {
 public:
  virtual ~SwfReader() = default;
  // Copies up to count bytes into dst; fewer means the source is exhausted.
  virtual size_t read(unsigned char* dst, size_t count) = 0;
};

class SwfMemReader : public SwfReader {
 public:
  SwfMemReader(const unsigned char* data, size_t length) : m_pData(data), m_lLength(length) {}

  size_t read(unsigned char* dst, size_t count) override;
  const unsigned char* rest() const { return m_pData + m_lPos; }
  size_t left() const { return m_lLength - m_lPos; }
  void consume(size_t count);
  size_t pos() const { return m_lPos; }

 private:
  const unsigned char* m_pData;
  size_t m_lLength;
  size_t m_lPos = 0;
};

class SwfZlibReader : public SwfReader {
 public:
  SwfZlibReader(SwfMemReader& input, size_t outputLimit);
  ~SwfZlibReader() override;
  SwfZlibReader(const SwfZlibReader&) = delete;
  SwfZlibReader& operator=(const SwfZlibReader&) = delete;

  size_t read(unsigned char* dst, size_t count) override;

 private:
  SwfMemReader& m_input;
  z_stream m_stream;
  size_t m_lLeft;  // output still allowed
  bool m_bEnd = false;
};

#endif
