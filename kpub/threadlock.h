// Mutex wrapper with a scope guard, and the single-instance file lock.
// kMutex may be shared between threads; kFileLock belongs to one owner.
#ifndef KPUB_THREADLOCK_H_
#define KPUB_THREADLOCK_H_

#include <pthread.h>
#include <sys/types.h>

namespace KPub {

class kMutex {
 public:
  // Throws std::runtime_error("pthread_mutex_init failed") on failure.
  explicit kMutex(bool recursive = false);
  ~kMutex();
  kMutex(const kMutex&) = delete;
  kMutex& operator=(const kMutex&) = delete;

  // Throws "pthread_mutex_lock failed" on a self-deadlock (EDEADLK).
  void lock();
  // Throws "pthread_mutex_unlock failed" when the caller does not own it.
  void unlock();
  pthread_mutex_t* native() { return &m_mutex; }

 private:
  pthread_mutex_t m_mutex;
};

template <class M>
class scopelock {
 public:
  explicit scopelock(M& m) : m_lock(m) { m_lock.lock(); }
  ~scopelock() { m_lock.unlock(); }
  scopelock(const scopelock&) = delete;
  scopelock& operator=(const scopelock&) = delete;

 private:
  M& m_lock;
};

// Returns 1 when the record lock is granted, 0 when another process holds a
// conflicting lock (EAGAIN/EACCES), -1 on any other failure.
int flock_reg(int fd, int cmd, short type, off_t offset, off_t len);

// Exclusive record lock over [offset, offset+len) of a file (len 0 = to the
// end, however long). Record locks belong to the process: a second lock in
// the same process is granted.
class kFileLock {
 public:
  // Opens or creates the file (0600); throws "Invalid fd in create FileLock".
  kFileLock(const char* filename, off_t offset, off_t len);
  ~kFileLock();
  kFileLock(const kFileLock&) = delete;
  kFileLock& operator=(const kFileLock&) = delete;

  bool trylock() { return wrtrylock(); }
  bool wrtrylock();

 private:
  int m_fd;
  off_t m_offset;
  off_t m_len;
  bool m_close;
};

}  // namespace KPub

#endif  // KPUB_THREADLOCK_H_
