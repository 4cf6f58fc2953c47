#include "kpub/threadlock.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "kpub/kassert.h"

namespace KPub {

kMutex::kMutex(bool recursive) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, recursive ? PTHREAD_MUTEX_RECURSIVE : PTHREAD_MUTEX_DEFAULT);
  int iRet = pthread_mutex_init(&m_mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  if (iRet != 0) throw std::runtime_error("pthread_mutex_init failed");
}

kMutex::~kMutex() {
  int iRet = pthread_mutex_destroy(&m_mutex);
  K_ASSERT(iRet == 0);
}

void kMutex::lock() {
  int iRet = pthread_mutex_lock(&m_mutex);
  if (iRet == EDEADLK) throw std::runtime_error("pthread_mutex_lock failed");
  K_ASSERT(iRet == 0);
}

void kMutex::unlock() {
  if (pthread_mutex_unlock(&m_mutex) == EPERM) {
    throw std::runtime_error("pthread_mutex_unlock failed");
  }
}

int flock_reg(int fd, int cmd, short type, off_t offset, off_t len) {
  struct flock lock;
  lock.l_type = type;
  lock.l_start = offset;
  lock.l_whence = SEEK_SET;
  lock.l_len = len;
  lock.l_pid = 0;
  if (fcntl(fd, cmd, &lock) == 0) return 1;
  return (errno == EAGAIN || errno == EACCES) ? 0 : -1;
}

kFileLock::kFileLock(const char* filename, off_t offset, off_t len)
    : m_fd(-1), m_offset(offset), m_len(len), m_close(true) {
  m_fd = open(filename, O_RDWR | O_CREAT, 0600);
  if (m_fd < 0) throw std::runtime_error("Invalid fd in create FileLock");
}

kFileLock::~kFileLock() {
  if (m_close && m_fd >= 0) close(m_fd);
}

bool kFileLock::wrtrylock() { return flock_reg(m_fd, F_SETLK, F_WRLCK, m_offset, m_len) == 1; }

}  // namespace KPub
