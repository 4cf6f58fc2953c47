// Thread base over POSIX threads with the life cycle T_NEW -> T_RUN ->
// T_DEAD -> (join) T_NEW. start/join/interrupt are called by the owner;
// the state and name are guarded by spinning reader/writer words.
#ifndef CRAWLER_THREAD_H_
#define CRAWLER_THREAD_H_

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

class iRunnable {
 public:
  virtual void run() = 0;
  virtual ~iRunnable() {}
};

enum THREAD_STATE { T_NEW = 0, T_RUN = 1, T_DEAD = 2 };

// Unlocked at the bias; readers take 1, a writer takes the whole bias.
struct RwLock_t {
  volatile uint32_t lock;
};
constexpr uint32_t RW_LOCK_BIAS = 0x01000000;

void ReadLock(RwLock_t* rw);
void ReadUnlock(RwLock_t* rw);
void WriteLock(RwLock_t* rw);
void WriteUnlock(RwLock_t* rw);
void SetStat(THREAD_STATE& mState, THREAD_STATE stat, RwLock_t* rw);
THREAD_STATE GetStat(THREAD_STATE mState, RwLock_t* rw);

class dword_q {
 public:
  dword_q() : m_dwCounter(0) {}
  uint32_t operator++() { return __sync_add_and_fetch(&m_dwCounter, 1); }
  uint32_t operator--() { return __sync_sub_and_fetch(&m_dwCounter, 1); }
  uint32_t operator++(int) { return __sync_fetch_and_add(&m_dwCounter, 1); }
  uint32_t operator--(int) { return __sync_fetch_and_sub(&m_dwCounter, 1); }
  uint32_t value() const { return m_dwCounter; }

 private:
  volatile uint32_t m_dwCounter;
};

struct THREAD_INFO {
  iRunnable* target;
  char* pName;
  size_t stackSize;
  RwLock_t NameLock;
  THREAD_STATE mState;
  RwLock_t StatLock;
  pthread_t tid;
  pthread_attr_t attr;
  int __sched_priority;
  int policy;
};

class Thread : public iRunnable {
 public:
  // Both throw the system error number (int) when Create fails.
  Thread(const char* pszName, unsigned long stackSize);
  Thread(iRunnable* target, const char* pszName, unsigned long stackSize);
  ~Thread() override;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Create(iRunnable* target, const char* pszName, unsigned long stackSize);
  void start();
  void join();
  void interrupt();
  // The name or "Thread_%lu" of the handle, in a buffer shared by all threads.
  char* getName();
  THREAD_STATE state();
  void run() override {}

  static dword_q dwCounter;

 private:
  static void* entry(void* arg);
  static void onExit(void* arg);

  THREAD_INFO* handle;
};

#endif  // CRAWLER_THREAD_H_
