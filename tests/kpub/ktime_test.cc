#include "kpub/ktime.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using KPub::Time;

TEST(Time, ArithmeticKeepsMicrosecondsInRange) {
  struct Case {
    Time got;
    Time want;
  } cases[] = {
      {Time(1, 500000) + Time(0, 500000), Time(2, 0)},
      {Time(2, 500000) - Time(0, 600000), Time(1, 900000)},
      {Time(1, 600000) * 3, Time(4, 800000)},
      {Time(7, 500000) / 2, Time(3, 750000)},
      {Time(1, 0) / 3, Time(0, 333333)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want.sec(), c.got.sec());
    EXPECT_EQ(c.want.usec(), c.got.usec());
  }
}

TEST(Time, ComparesSecondsThenMicroseconds) {
  EXPECT_LT(Time(1, 999999), Time(2, 0));
  EXPECT_GT(Time(2, 1), Time(2, 0));
  EXPECT_LE(Time(2, 0), Time(2, 0));
  EXPECT_NE(Time(2, 0), Time(2, 1));
  EXPECT_GE(Time::now(true), Time(1700000000));
  EXPECT_EQ(0, Time::now(false).usec());
}

TEST(Time, PrintsSecondsAndMicroseconds) {
  std::ostringstream os;
  os << Time(12, 5);
  EXPECT_EQ("12sec 5usec", os.str());
}

}  // namespace
