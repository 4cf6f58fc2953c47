#include "swfstrings/SwfReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "swfstrings/SimpleException.h"

size_t SwfMemReader::read(unsigned char* dst, size_t count) {
  size_t n = std::min(count, left());
  if (n > 0) memcpy(dst, m_pData + m_lPos, n);
  m_lPos += n;
  return n;
}

void SwfMemReader::consume(size_t count) { m_lPos += std::min(count, left()); }

SwfZlibReader::SwfZlibReader(SwfMemReader& input, size_t outputLimit)
    : m_input(input), m_lLeft(outputLimit) {
  memset(&m_stream, 0, sizeof(m_stream));
  int rc = inflateInit(&m_stream);
  if (rc != Z_OK) SWF_THROW(rc);
}

SwfZlibReader::~SwfZlibReader() { inflateEnd(&m_stream); }

size_t SwfZlibReader::read(unsigned char* dst, size_t count) {
  // zlib counts in unsigned int; larger requests are served in slices.
  count = std::min({count, m_lLeft, static_cast<size_t>(UINT_MAX)});
  size_t done = 0;
  while (done < count && !m_bEnd) {
    m_stream.next_in = const_cast<Bytef*>(m_input.rest());
    m_stream.avail_in = static_cast<uInt>(std::min(m_input.left(), static_cast<size_t>(UINT_MAX)));
    m_stream.next_out = dst + done;
    m_stream.avail_out = static_cast<uInt>(count - done);
    uInt inBefore = m_stream.avail_in;
    uInt outBefore = m_stream.avail_out;
    int rc = inflate(&m_stream, Z_NO_FLUSH);
    m_input.consume(inBefore - m_stream.avail_in);
    done += outBefore - m_stream.avail_out;
    if (rc == Z_STREAM_END) {
      m_bEnd = true;
    } else if (rc == Z_BUF_ERROR ||
               (rc == Z_OK && inBefore == m_stream.avail_in && outBefore == m_stream.avail_out)) {
      m_bEnd = true;  // input ran out before the stream's end: a truncated file
    } else if (rc != Z_OK) {
      SWF_THROW(rc);
    }
  }
  m_lLeft -= done;
  return done;
}
