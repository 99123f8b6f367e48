#include "report/report_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace hulvex {
namespace {

TEST(ComputeInParallel, HandsBackEveryResultInOrderAndRethrowsAFailureWhenItIsDue) {
  for (const std::size_t count : {0u, 1u, 2u, 7u, 40u}) {
    // Later indices finish first: the order handed back must still be that of the indices.
    const auto slowFirst = [count](std::size_t i) {
      std::this_thread::sleep_for(std::chrono::microseconds(50 * (count - i)));
      return i * i;
    };
    EXPECT_EQ(InParallel<std::size_t>(count, slowFirst).size(), count);
    std::size_t expected = 0;
    ComputeInParallel(count, slowFirst, [&](std::size_t i, std::size_t r) {
      EXPECT_EQ(i, expected++);
      EXPECT_EQ(r, i * i);
    });
    EXPECT_EQ(expected, count);
  }
  // Results before the failing one are consumed; the failure ends the call; none after it is.
  std::vector<std::size_t> consumed;
  EXPECT_THROW(ComputeInParallel(
                   6,
                   [](std::size_t i) {
                     if (i == 3) throw std::runtime_error("three");
                     return i;
                   },
                   [&](std::size_t i, std::size_t) { consumed.push_back(i); }),
               std::runtime_error);
  EXPECT_EQ(consumed, (std::vector<std::size_t>{0, 1, 2}));
}

}  // namespace
}  // namespace hulvex
