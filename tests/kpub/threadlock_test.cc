// Mutex wrapper errors and the file lock between processes.
#include "kpub/threadlock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <thread>

namespace {

TEST(kMutex, RecursiveMayBeRelockedByItsOwner) {
  KPub::kMutex m(true);
  m.lock();
  EXPECT_NO_THROW(m.lock());
  m.unlock();
  m.unlock();
}

TEST(kMutex, UnlockByAnotherThreadThrowsForRecursive) {
  KPub::kMutex m(true);
  m.lock();
  bool threw = false;
  std::thread t([&] {
    try {
      m.unlock();
    } catch (const std::runtime_error& e) {
      threw = std::string(e.what()) == "pthread_mutex_unlock failed";
    }
  });
  t.join();
  EXPECT_TRUE(threw);
  m.unlock();
}

TEST(kMutex, ScopeLockReleasesOnException) {
  KPub::kMutex m(false);
  try {
    KPub::scopelock<KPub::kMutex> guard(m);
    throw 1;
  } catch (int) {
  }
  bool locked = false;
  std::thread t([&] {
    m.lock();
    locked = true;
    m.unlock();
  });
  t.join();
  EXPECT_TRUE(locked);
}

std::string LockPath() { return "/tmp/threadlock_test_" + std::to_string(getpid()); }

// Exit status of a child that tries the lock: 0 granted, 1 refused.
int ChildTry(const std::string& path) {
  pid_t pid = fork();
  if (pid == 0) {
    KPub::kFileLock lock(path.c_str(), 0, 0);
    _exit(lock.trylock() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WEXITSTATUS(status);
}

TEST(kFileLock, HeldLockRefusesOtherProcessesNotThisOne) {
  std::string path = LockPath();
  {
    KPub::kFileLock lock(path.c_str(), 0, 0);
    ASSERT_TRUE(lock.trylock());
    EXPECT_EQ(1, ChildTry(path));
    KPub::kFileLock again(path.c_str(), 0, 0);
    EXPECT_TRUE(again.trylock());
  }
  EXPECT_EQ(0, ChildTry(path));
  unlink(path.c_str());
}

TEST(kFileLock, UnopenableFileThrows) {
  try {
    KPub::kFileLock lock("/nonexistent-dir/x/lock", 0, 0);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("Invalid fd in create FileLock", e.what());
  }
}

TEST(flock_reg, ReportsFailureOnBadDescriptor) {
  EXPECT_EQ(-1, KPub::flock_reg(-1, F_SETLK, F_WRLCK, 0, 0));
}

}  // namespace
