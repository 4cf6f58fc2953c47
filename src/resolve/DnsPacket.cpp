#include "DnsPacket.h"

#include <arpa/inet.h>
#include <string.h>

#include "url_util.h"

namespace {

constexpr size_t kHeaderLen = 12;
constexpr size_t kQueryFixed = 18;   // header, root label, QTYPE, QCLASS
constexpr size_t kRecordFixed = 10;  // TYPE, CLASS, TTL, RDLENGTH
constexpr size_t kIpv4Len = 4;
constexpr uint16_t kFlagsQuery = 0x0100;
constexpr uint16_t kFlagQR = 0x8000;
constexpr uint16_t kRcodeMask = 0x000F;
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kClassIN = 1;
constexpr unsigned char kPointerBits = 0xC0;
constexpr size_t kPointerLen = 2;

void Put16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v >> 8);
  p[1] = static_cast<char>(v & 0xFF);
}

// Bounds-checked reader over one received datagram.
class Reader {
 public:
  Reader(const unsigned char* data, size_t len) : m_p(data), m_len(len), m_pos(0) {}
  bool Has(size_t n) const { return n <= m_len - m_pos; }
  size_t Pos() const { return m_pos; }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    m_pos += n;
    return true;
  }
  bool U8(unsigned char& v) {
    if (!Has(1)) return false;
    v = m_p[m_pos++];
    return true;
  }
  bool U16(uint16_t& v) {
    if (!Has(2)) return false;
    v = static_cast<uint16_t>((m_p[m_pos] << 8) | m_p[m_pos + 1]);
    m_pos += 2;
    return true;
  }
  const unsigned char* At() const { return m_p + m_pos; }

 private:
  const unsigned char* m_p;
  size_t m_len;
  size_t m_pos;
};

void SetFailed(tagIPLIST* pstIPList, std::string& str_ips) {
  pstIPList->m_iCnt = 1;
  pstIPList->m_iIp[0] = 0;
  str_ips = "0.0.0.0;";
}

// Reads the question name label by label and compares it with host.
bool QuestionIs(Reader& in, const std::string& host) {
  std::string name;
  unsigned char len = 0;
  bool more;
  while ((more = in.U8(len)) && len != 0) {
    if (!in.Has(len) || name.size() > host.size()) return false;
    if (!name.empty()) name += '.';
    name.append(reinterpret_cast<const char*>(in.At()), len);
    in.Skip(len);
  }
  return more && name == host;
}

// Owner names are normally a compression pointer; a name written out in
// labels is skipped label by label.
bool SkipName(Reader& in) {
  unsigned char len;
  while (in.U8(len)) {
    if ((len & kPointerBits) == kPointerBits) return in.Skip(kPointerLen - 1);
    if (len == 0) return true;
    if (!in.Skip(len)) return false;
  }
  return false;
}

void KeepAddress(const unsigned char* rdata, tagIPLIST* pstIPList, std::string& str_ips) {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, rdata, text, sizeof(text));
  if (IsIntranetIP(text)) return;
  memcpy(&pstIPList->m_iIp[pstIPList->m_iCnt++], rdata, kIpv4Len);
  str_ips += text;
  str_ips += ';';
}

void ReadAnswers(Reader& in, uint16_t ancount, tagIPLIST* pstIPList, std::string& str_ips) {
  int records = ancount < kIpListMax ? ancount : kIpListMax;
  for (int i = 0; i < records; ++i) {
    uint16_t type, rdlength;
    if (!SkipName(in) || !in.U16(type) || !in.Skip(kRecordFixed - 4) || !in.U16(rdlength) ||
        !in.Has(rdlength)) {
      return;
    }
    if (type == kTypeA && rdlength >= kIpv4Len) KeepAddress(in.At(), pstIPList, str_ips);
    in.Skip(rdlength);
  }
}

}  // namespace

int BuildDnsQuery(const std::string& host, uint16_t id, char* buf, int cap) {
  size_t n = host.size();
  if (cap < 0 || n + kQueryFixed > static_cast<size_t>(cap)) return -1;
  memset(buf, 0, n + kQueryFixed);
  Put16(buf, id);
  Put16(buf + 2, kFlagsQuery);
  Put16(buf + 4, 1);
  memcpy(buf + kHeaderLen + 1, host.data(), n);
  size_t lenAt = kHeaderLen;
  for (size_t i = 0; i <= n; ++i) {
    if (i == n || host[i] == '.') {
      buf[lenAt] = static_cast<char>(kHeaderLen + i - lenAt);
      lenAt = kHeaderLen + 1 + i;
    }
  }
  Put16(buf + kHeaderLen + n + 2, kTypeA);
  Put16(buf + kHeaderLen + n + 4, kClassIN);
  return static_cast<int>(n + kQueryFixed);
}

bool ParseDnsAnswer(const unsigned char* data, size_t len, uint16_t id, const std::string& host,
                    tagIPLIST* pstIPList, std::string& str_ips) {
  pstIPList->m_iCnt = 0;
  Reader in(data, len);
  uint16_t rid, flags, qdcount, ancount;
  if (!in.U16(rid) || rid != id || !in.U16(flags) || (flags & kFlagQR) == 0) return false;
  if ((flags & kRcodeMask) != 0) {
    SetFailed(pstIPList, str_ips);
    return true;
  }
  if (!in.U16(qdcount) || qdcount != 1 || !in.U16(ancount)) return false;
  if (ancount == 0) {
    SetFailed(pstIPList, str_ips);
    return true;
  }
  if (!in.Skip(4) || !QuestionIs(in, host) || !in.Skip(4)) return false;
  str_ips.clear();
  ReadAnswers(in, ancount, pstIPList, str_ips);
  if (pstIPList->m_iCnt == 0) SetFailed(pstIPList, str_ips);
  return true;
}
