// Item pool numbering, free-list reuse and block growth; the locked queues.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "HBlockMem.h"
#include "List.h"

namespace {

int AllocNo(HBlockMem& pool, bool* used = nullptr) {
  int no = -1;
  bool u = false;
  EXPECT_NE(nullptr, pool.Alloc(&no, u));
  if (used != nullptr) *used = u;
  return no;
}

TEST(HBlockMem, FreshNumbersThenLastFreedFirst) {
  HBlockMem pool(64, 16, 4);
  bool used = true;
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(i, AllocNo(pool, &used));
    EXPECT_FALSE(used);
  }
  ASSERT_TRUE(pool.FreeOneItem(5));
  ASSERT_TRUE(pool.FreeOneItem(9));
  EXPECT_EQ(9, AllocNo(pool, &used));
  EXPECT_TRUE(used);
  EXPECT_EQ(5, AllocNo(pool, &used));
  EXPECT_TRUE(used);
  EXPECT_EQ(10, AllocNo(pool, &used));
  EXPECT_FALSE(used);
}

TEST(HBlockMem, BlocksAndIndexGrowAndSlotsStayApart) {
  // 4 slots per block and an index of 2 entries: 20 slots need 5 blocks and
  // two index growths.
  HBlockMem pool(4, 4, 2);
  std::vector<int*> slots;
  for (int i = 0; i < 20; ++i) {
    int no = -1;
    bool used;
    int* p = static_cast<int*>(pool.Alloc(&no, used));
    ASSERT_NE(nullptr, p);
    ASSERT_EQ(i, no);
    p[0] = i;
    p[1] = -i;  // item size 4 is raised to 8 bytes
    slots.push_back(p);
  }
  EXPECT_EQ(20u, pool.GetTotalNum());
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(slots[i], pool.GetItem(i));
    EXPECT_EQ(i, slots[i][0]);
    EXPECT_EQ(-i, slots[i][1]);
  }
}

TEST(HBlockMem, LastSlotOfBlockThenNextBlock) {
  HBlockMem pool(sizeof(long), 4096, 4096);
  for (int i = 0; i < 4095; ++i) AllocNo(pool);
  EXPECT_EQ(4095, AllocNo(pool));
  EXPECT_EQ(4096, AllocNo(pool));
  EXPECT_NE(nullptr, pool.GetItem(4096));
}

TEST(HBlockMem, NumbersNeverHandedOutAreRefused) {
  HBlockMem pool(16, 8, 8);
  AllocNo(pool);
  AllocNo(pool);
  EXPECT_EQ(nullptr, pool.GetItem(pool.GetTotalNum()));
  EXPECT_EQ(nullptr, pool.GetItem(1000));
  EXPECT_FALSE(pool.FreeOneItem(2));
  EXPECT_EQ(2, AllocNo(pool));
}

TEST(List, FifoPopAndMerger) {
  List<int> a, b;
  int d = 77;
  EXPECT_FALSE(a.Pop(d));
  EXPECT_EQ(77, d);
  EXPECT_TRUE(a.Merger(b));
  EXPECT_TRUE(a.Empty());
  a.AddTail(1);
  a.AddTail(2);
  for (int i = 3; i <= 5; ++i) b.AddTail(i);
  EXPECT_TRUE(a.Merger(b));
  EXPECT_EQ(5u, a.Size());
  EXPECT_TRUE(b.Empty());
  EXPECT_FALSE(b.Pop(d));
  b.AddTail(6);
  EXPECT_TRUE(b.Pop(d));
  EXPECT_EQ(6, d);
  for (int want = 1; want <= 5; ++want) {
    ASSERT_TRUE(a.Pop(d));
    EXPECT_EQ(want, d);
  }
  EXPECT_FALSE(a.Pop(d));
  a.AddTail(8);
  EXPECT_TRUE(a.Pop(d));
  EXPECT_EQ(8, d);
}

TEST(List, ConcurrentProducersLoseNothing) {
  List<int> q;
  const int kPerThread = 20000;
  std::vector<std::thread> producers;
  for (int t = 0; t < 4; ++t) {
    producers.emplace_back([&q, t] {
      for (int i = 0; i < kPerThread; ++i) q.AddTail(t * kPerThread + i);
    });
  }
  long long sum = 0;
  int popped = 0;
  std::thread consumer([&] {
    int d;
    for (int spins = 0; popped < 4 * kPerThread && spins < 100000000; ++spins) {
      if (q.Pop(d)) {
        sum += d;
        ++popped;
      }
    }
  });
  for (auto& p : producers) p.join();
  consumer.join();
  const long long n = 4LL * kPerThread;
  EXPECT_EQ(n, popped);
  EXPECT_EQ(n * (n - 1) / 2, sum);
}

}  // namespace
