// Pool of fixed-size slots addressed by number. Slots come from blocks that
// are never returned while the pool lives; released slots go on a LIFO free
// list threaded through their first 4 bytes.
// Thread-safety: Alloc and FreeOneItem hold m_Mutex; GetItem takes no lock
// and is safe for numbers handed out before (only one thread allocates).
#ifndef CRAWLER_HBLOCKMEM_H_
#define CRAWLER_HBLOCKMEM_H_

#include <stdint.h>

#include "kpub/threadlock.h"

typedef uint32_t dword;

class HBlockMem {
 public:
  HBlockMem(dword dwItemSize, dword dwBlockSize, dword dwIndexs);
  ~HBlockMem();
  HBlockMem(const HBlockMem&) = delete;
  HBlockMem& operator=(const HBlockMem&) = delete;

  bool Initial();
  bool AddOneBlock();
  // bUsed is true when the slot comes from the free list (held a record).
  void* Alloc(int* piNumber, bool& bUsed);
  bool FreeOneItem(dword dwItemNo);
  void* GetItem(dword dwOff);
  dword GetTotalNum() const { return m_dwIdx * m_dwBlockSize + m_dwOff; }
  void Clear();

 private:
  dword m_dwBlockSize;
  dword m_dwItemSize;
  char** m_ppIndexArray;
  dword m_dwIdx;
  dword m_dwOff;
  dword m_dwIndexs;
  dword m_dwIndexTotal;
  int m_iFreeList;
  KPub::kMutex m_Mutex;
};

#endif  // CRAWLER_HBLOCKMEM_H_
