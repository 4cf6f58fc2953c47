// Thread life cycle: start, natural end, join, interrupt, names.
#include "Thread.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

class CountingThread : public Thread {
 public:
  explicit CountingThread(bool block) : Thread(nullptr, 0), block_(block) {}
  void run() override {
    ++runs;
    while (block_ && !release) usleep(1000);
  }
  std::atomic<int> runs{0};
  std::atomic<bool> release{false};

 private:
  bool block_;
};

bool WaitFor(Thread& t, THREAD_STATE s) {
  for (int i = 0; i < 2000; ++i) {
    if (t.state() == s) return true;
    usleep(1000);
  }
  return false;
}

TEST(Thread, RunsOnceAndEndsDeadThenJoinMakesItNew) {
  CountingThread t(false);
  EXPECT_EQ(T_NEW, t.state());
  t.start();
  ASSERT_TRUE(WaitFor(t, T_DEAD));
  t.join();
  EXPECT_EQ(T_NEW, t.state());
  EXPECT_EQ(1, t.runs);
  t.start();  // a joined thread can be started again
  ASSERT_TRUE(WaitFor(t, T_DEAD));
  t.join();
  EXPECT_EQ(2, t.runs);
}

TEST(Thread, SecondStartWhileRunningDoesNothing) {
  CountingThread t(true);
  t.start();
  t.start();
  EXPECT_EQ(T_RUN, t.state());
  t.release = true;
  t.join();
  EXPECT_EQ(1, t.runs);
  EXPECT_EQ(T_NEW, t.state());
}

TEST(Thread, InterruptCancelsARunningThread) {
  CountingThread t(true);
  uint32_t before = Thread::dwCounter.value();
  t.start();
  for (int i = 0; i < 2000 && t.runs == 0; ++i) usleep(1000);
  t.interrupt();
  EXPECT_EQ(T_NEW, t.state());
  EXPECT_EQ(before, Thread::dwCounter.value());
  CountingThread idle(false);
  idle.interrupt();  // T_NEW: nothing happens
  EXPECT_EQ(T_NEW, idle.state());
}

class SelfInterrupter : public Thread {
 public:
  SelfInterrupter() : Thread("self", 0) {}
  void run() override {
    interrupt();
    join();
    returned = true;
  }
  std::atomic<bool> returned{false};
};

TEST(Thread, InterruptAndJoinOnItselfReturn) {
  SelfInterrupter t;
  t.start();
  ASSERT_TRUE(WaitFor(t, T_DEAD));
  EXPECT_TRUE(t.returned);
  t.join();
}

struct Target : iRunnable {
  void run() override { ran = true; }
  std::atomic<bool> ran{false};
};

TEST(Thread, RunsTargetAndNamesItself) {
  Target target;
  Thread t(&target, "worker-7", 65536 * 4);
  EXPECT_STREQ("worker-7", t.getName());
  t.start();
  t.join();
  EXPECT_TRUE(target.ran);
  Thread unnamed(nullptr, 0);
  EXPECT_STREQ("Thread_0", unnamed.getName());
}

TEST(RwLock, WriterExcludesReaders) {
  RwLock_t rw{RW_LOCK_BIAS};
  long value = 0;
  std::thread writers[2];
  for (auto& w : writers) {
    w = std::thread([&] {
      for (int i = 0; i < 100000; ++i) {
        WriteLock(&rw);
        ++value;
        WriteUnlock(&rw);
      }
    });
  }
  for (auto& w : writers) w.join();
  EXPECT_EQ(200000, value);
  EXPECT_EQ(RW_LOCK_BIAS, rw.lock);
  ReadLock(&rw);
  ReadLock(&rw);
  EXPECT_EQ(RW_LOCK_BIAS - 2, rw.lock);
  ReadUnlock(&rw);
  ReadUnlock(&rw);
}

TEST(dword_q, PostFormsReturnPreviousValue) {
  dword_q q;
  EXPECT_EQ(0u, q++);
  EXPECT_EQ(2u, ++q);
  EXPECT_EQ(2u, q--);
  EXPECT_EQ(0u, --q);
}

}  // namespace
