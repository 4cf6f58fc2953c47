#include "HBlockMem.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "kpub/kassert.h"
#include "kpub/klog.h"

namespace {
const char kLogger[] = "search.hblockmem";
constexpr dword kMinItemSize = 8;
}  // namespace

HBlockMem::HBlockMem(dword dwItemSize, dword dwBlockSize, dword dwIndexs)
    : m_dwBlockSize(dwBlockSize),
      m_dwItemSize(dwItemSize < kMinItemSize ? kMinItemSize : dwItemSize),
      m_ppIndexArray(nullptr),
      m_dwIdx(0),
      m_dwOff(0),
      m_dwIndexs(dwIndexs),
      m_dwIndexTotal(0),
      m_iFreeList(-1),
      m_Mutex(false) {
  K_ASSERT(dwBlockSize > 0);
  K_ASSERT(Initial());
}

HBlockMem::~HBlockMem() { Clear(); }

bool HBlockMem::Initial() {
  size_t size = static_cast<size_t>(m_dwIndexs) * sizeof(char*);
  m_ppIndexArray = static_cast<char**>(calloc(m_dwIndexs, sizeof(char*)));
  if (m_ppIndexArray == nullptr) {
    KLOG_ERRNO(kLogger, KPub::ERROR, errno, "not enough memory! Inital fail.size=[%zu]", size);
    return false;
  }
  m_dwIndexTotal = m_dwIndexs;
  if (!AddOneBlock()) {
    KLOG(kLogger, KPub::ERROR, "in Initail: AddOneBlock fail.");
    return false;
  }
  return true;
}

bool HBlockMem::AddOneBlock() {
  if (m_dwIdx == m_dwIndexTotal) {
    dword total = m_dwIndexTotal + m_dwIndexs;
    size_t size = static_cast<size_t>(total) * sizeof(char*);
    char** grown = static_cast<char**>(realloc(m_ppIndexArray, size));
    if (grown == nullptr) {
      KLOG_ERRNO(kLogger, KPub::ERROR, errno, "not enough memory! malloc fail.size=[%zu]", size);
      return false;
    }
    memset(grown + m_dwIndexTotal, 0, static_cast<size_t>(m_dwIndexs) * sizeof(char*));
    m_ppIndexArray = grown;
    m_dwIndexTotal = total;
  }
  size_t bytes = static_cast<size_t>(m_dwBlockSize) * m_dwItemSize;
  char* block = static_cast<char*>(malloc(bytes));
  if (block == nullptr) {
    KLOG_ERRNO(kLogger, KPub::ERROR, errno, "not enough memory! malloc fail. size=[%d]",
               static_cast<int>(bytes));
    return false;
  }
  m_ppIndexArray[m_dwIdx] = block;
  m_dwOff = 0;
  return true;
}

void* HBlockMem::Alloc(int* piNumber, bool& bUsed) {
  KPub::scopelock<KPub::kMutex> guard(m_Mutex);
  char* slot;
  if (m_iFreeList == -1) {
    if (m_dwOff == m_dwBlockSize) {
      ++m_dwIdx;
      if (!AddOneBlock()) {
        --m_dwIdx;
        return nullptr;
      }
    }
    *piNumber = static_cast<int>(GetTotalNum());
    slot = m_ppIndexArray[m_dwIdx] + static_cast<size_t>(m_dwOff) * m_dwItemSize;
    ++m_dwOff;
    bUsed = false;
    return slot;
  }
  int no = m_iFreeList;
  slot = static_cast<char*>(GetItem(static_cast<dword>(no)));
  if (slot == nullptr) {
    KLOG(kLogger, KPub::ERROR, "In Alloc: GetItem fail. iNo=[%d]", no);
    return nullptr;
  }
  memcpy(&m_iFreeList, slot, sizeof(int));
  bUsed = true;
  *piNumber = no;
  return slot;
}

bool HBlockMem::FreeOneItem(dword dwItemNo) {
  KPub::scopelock<KPub::kMutex> guard(m_Mutex);
  char* slot = static_cast<char*>(GetItem(dwItemNo));
  if (slot == nullptr) {
    KLOG(kLogger, KPub::ERROR, "In FreeOntItem: GetItem fail. iNo=[%d]", static_cast<int>(dwItemNo));
    return false;
  }
  memcpy(slot, &m_iFreeList, sizeof(int));
  m_iFreeList = static_cast<int>(dwItemNo);
  return true;
}

void* HBlockMem::GetItem(dword dwOff) {
  if (dwOff >= GetTotalNum()) return nullptr;
  return m_ppIndexArray[dwOff / m_dwBlockSize] +
         static_cast<size_t>(dwOff % m_dwBlockSize) * m_dwItemSize;
}

void HBlockMem::Clear() {
  if (m_ppIndexArray != nullptr) {
    for (dword i = 0; i < m_dwIndexTotal; ++i) free(m_ppIndexArray[i]);
    free(m_ppIndexArray);
    m_ppIndexArray = nullptr;
  }
  m_dwIdx = m_dwOff = m_dwIndexTotal = 0;
}
