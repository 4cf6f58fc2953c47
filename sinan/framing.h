// Frames of the DNS cache service connection: a 4-byte body length in the
// machine's byte order, then the body. ProtoPack holds one frame being sent
// or received; it belongs to one connection owner, no locking.
// Received lengths are untrusted: a body above kMaxFrameBody is refused.
#ifndef SINAN_FRAMING_H_
#define SINAN_FRAMING_H_

#include <stddef.h>

#include <string>

namespace SINAN {

constexpr int kFrameHeader = 4;
// Largest body accepted from a peer; replies are a few hundred bytes.
constexpr int kMaxFrameBody = 2 * 1024 * 1024;

struct ProtoPack {
  int m_iLen;            // total bytes of the frame (header included)
  int m_iDone;           // bytes sent or received so far
  bool m_bFinish;        // the whole frame is transferred
  std::string m_strBuf;  // sending: the whole frame; receiving: the body only

  ProtoPack() : m_iLen(0), m_iDone(0), m_bFinish(false) {}

  // Prepares the frame of `body` for sending.
  void Pack(const std::string& body);
  // Prepares for receiving one frame.
  void ResetRead();
  // Bytes the frame still lacks (at most `cap`, at least 1 unless finished).
  int Lacking(int cap) const;
  // Takes n received bytes (n <= Lacking). False when the announced length
  // is above kMaxFrameBody.
  bool Feed(const char* p, int n);

 private:
  char m_szHeader[kFrameHeader];
};

// The frame of `body` as one string (used by the service side).
std::string FrameOf(const std::string& body);

}  // namespace SINAN

#endif  // SINAN_FRAMING_H_
