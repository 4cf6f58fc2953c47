#include "sinan/framing.h"

#include <stdint.h>
#include <string.h>

namespace SINAN {

std::string FrameOf(const std::string& body) {
  uint32_t len = static_cast<uint32_t>(body.size());
  std::string frame(reinterpret_cast<const char*>(&len), kFrameHeader);
  frame += body;
  return frame;
}

void ProtoPack::Pack(const std::string& body) {
  m_strBuf = FrameOf(body);
  m_iLen = static_cast<int>(m_strBuf.size());
  m_iDone = 0;
  m_bFinish = false;
}

void ProtoPack::ResetRead() {
  m_iLen = kFrameHeader;
  m_iDone = 0;
  m_bFinish = false;
  m_strBuf.clear();
}

int ProtoPack::Lacking(int cap) const {
  int lack = m_iLen - m_iDone;
  return lack < cap ? lack : cap;
}

bool ProtoPack::Feed(const char* p, int n) {
  if (m_iDone < kFrameHeader) {
    memcpy(m_szHeader + m_iDone, p, n);
    m_iDone += n;
    if (m_iDone < kFrameHeader) return true;
    uint32_t body;
    memcpy(&body, m_szHeader, kFrameHeader);
    if (body > static_cast<uint32_t>(kMaxFrameBody)) return false;
    m_iLen = static_cast<int>(body) + kFrameHeader;
  } else {
    m_strBuf.append(p, n);
    m_iDone += n;
  }
  m_bFinish = m_iDone == m_iLen;
  return true;
}

}  // namespace SINAN
