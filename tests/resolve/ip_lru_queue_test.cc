// The IP cache: address choice, in-place replacement and eviction in order
// of first insertion.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "IpLruQueue.h"

namespace {

tagIPLIST List(std::vector<int> ips) {
  tagIPLIST list;
  list.m_iCnt = static_cast<int>(ips.size());
  for (size_t i = 0; i < ips.size(); ++i) list.m_iIp[i] = ips[i];
  return list;
}

bool Cached(IpLruQueue& q, const std::string& host) {
  int ip = 0;
  return q.Find(host, ip, 0);
}

TEST(IpLruQueue, MissLeavesIpUntouched) {
  IpLruQueue q(8);
  int ip = 77;
  EXPECT_FALSE(q.Find("a.test", ip, 0));
  EXPECT_EQ(77, ip);
}

TEST(IpLruQueue, OldIpIsKeptWhenItIsOneOfTheHosts) {
  IpLruQueue q(8);
  ASSERT_TRUE(q.Append("a.test", List({11, 22, 33})));
  for (int round = 0; round < 50; ++round) {
    int ip = 0;
    ASSERT_TRUE(q.Find("a.test", ip, 22));
    EXPECT_EQ(22, ip);
    ASSERT_TRUE(q.Find("a.test", ip, 44));
    EXPECT_TRUE(ip == 11 || ip == 22 || ip == 33) << ip;
  }
}

TEST(IpLruQueue, EveryAddressIsChosenOverManyCalls) {
  IpLruQueue q(8);
  ASSERT_TRUE(q.Append("a.test", List({11, 22, 33})));
  std::set<int> seen;
  for (int round = 0; round < 1000 && seen.size() < 3; ++round) {
    int ip = 0;
    ASSERT_TRUE(q.Find("a.test", ip, 0));
    seen.insert(ip);
  }
  EXPECT_EQ((std::set<int>{11, 22, 33}), seen);
}

TEST(IpLruQueue, CachedFailureAnswersZero) {
  IpLruQueue q(8);
  ASSERT_TRUE(q.Append("dead.test", List({0})));
  ASSERT_TRUE(q.Append("empty.test", List({})));
  for (const char* host : {"dead.test", "empty.test"}) {
    int ip = 5;
    EXPECT_TRUE(q.Find(host, ip, 0)) << host;
    EXPECT_EQ(0, ip) << host;
  }
}

TEST(IpLruQueue, HoldsCapacityPlusOneAndEvictsFirstInserted) {
  constexpr unsigned kCapacity = 4;
  IpLruQueue q(kCapacity);
  for (unsigned i = 0; i <= kCapacity; ++i) {
    ASSERT_TRUE(q.Append("h" + std::to_string(i), List({static_cast<int>(i) + 1})));
  }
  for (unsigned i = 0; i <= kCapacity; ++i) EXPECT_TRUE(Cached(q, "h" + std::to_string(i)));
  // Using h0 and replacing its addresses do not save it.
  ASSERT_TRUE(q.Append("h0", List({99})));
  ASSERT_TRUE(Cached(q, "h0"));
  ASSERT_TRUE(q.Append("new", List({7})));
  EXPECT_FALSE(Cached(q, "h0"));
  EXPECT_TRUE(Cached(q, "h1"));
  EXPECT_TRUE(Cached(q, "new"));
  ASSERT_TRUE(q.Append("newer", List({8})));
  EXPECT_FALSE(Cached(q, "h1"));
  EXPECT_TRUE(Cached(q, "h2"));
}

TEST(IpLruQueue, AppendReplacesAddressesInPlace) {
  IpLruQueue q(8);
  ASSERT_TRUE(q.Append("a.test", List({11, 22})));
  ASSERT_TRUE(q.Append("a.test", List({33})));
  int ip = 0;
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(q.Find("a.test", ip, 11));
    EXPECT_EQ(33, ip);
  }
}

TEST(IpLruQueue, FreeHeadNodeRemovesOldestAndEmptiesSafely) {
  IpLruQueue q(8);
  for (const char* host : {"a", "b", "c"}) ASSERT_TRUE(q.Append(host, List({1})));
  q.FreeHeadNode(2);
  EXPECT_FALSE(Cached(q, "a"));
  EXPECT_FALSE(Cached(q, "b"));
  EXPECT_TRUE(Cached(q, "c"));
  q.FreeHeadNode(5);
  EXPECT_FALSE(Cached(q, "c"));
  ASSERT_TRUE(q.Append("d", List({4})));
  int ip = 0;
  EXPECT_TRUE(q.Find("d", ip, 0));
  EXPECT_EQ(4, ip);
}

}  // namespace
