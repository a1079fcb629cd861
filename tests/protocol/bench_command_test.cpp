// `pbrain-zerin bench`: one line per built-in position, then the totals that a
// tournament operator compares between builds.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/bench.h"

namespace zerin_test {
namespace {

TEST(BenchCommand, OneLinePerPositionThenTotalsThatAddUp) {
  FILE* pipe = popen((std::string(ZERIN_ENGINE_PATH) + " bench < /dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> lines;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) lines.emplace_back(buffer);
  EXPECT_EQ(pclose(pipe), 0);

  int positions = 0;
  int64_t sum = 0, total = -1, speed = -1;
  for (const std::string& line : lines) {
    int64_t nodes;
    const size_t at = line.find(" nodes ");
    if (line.rfind("position ", 0) == 0 && at != std::string::npos &&
        std::sscanf(line.c_str() + at, " nodes %" SCNd64, &nodes) == 1) {
      ++positions;
      sum += nodes;
    }
    std::sscanf(line.c_str(), "Nodes searched  : %" SCNd64, &total);
    std::sscanf(line.c_str(), "Nodes/second    : %" SCNd64, &speed);
  }
  EXPECT_EQ(positions, static_cast<int>(zerin::builtin_positions().size()));
  EXPECT_GT(positions, 40);
  EXPECT_EQ(total, sum) << "the signature is the sum of the positions' node counts";
  EXPECT_GT(speed, 0);
}

}  // namespace
}  // namespace zerin_test
