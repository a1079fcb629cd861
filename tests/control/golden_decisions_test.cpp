// The engine's decisions on the benchmark positions with a small node budget must not
// change: a speed-up that changes a move, a value or a node count changes the engine.
// After a deliberate change of search behaviour, rewrite the file with
//   ZERIN_WRITE_GOLDEN=1 build/tests/zerin_tests --gtest_filter='GoldenDecisions.*'
// and explain the change in the commit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "position_suite.h"
#include "protocol/settings.h"

using namespace zerin;

namespace {

constexpr int GOLDEN_BUDGET = 16;     // units of 1024 nodes
constexpr int GOLDEN_HASH = 16384;    // buckets: small, so the test stays light

const std::string POSITIONS = std::string(ZERIN_SOURCE_DIR) + "/bench/positions/positions.txt";
const std::string GOLDEN = std::string(ZERIN_SOURCE_DIR) + "/tests/control/golden_decisions.txt";

std::string describe(const DecisionResult& r) {
  std::ostringstream out;
  out << r.x << ',' << r.y << ' ' << r.value << ' ' << r.nodes;
  return out.str();
}

TEST(GoldenDecisions, BenchmarkPositionsKeepTheirMovesValuesAndNodeCounts) {
  const std::vector<SuitePosition> positions = load_positions(POSITIONS);
  ASSERT_FALSE(positions.empty());
  settings.hash_size = GOLDEN_HASH;
  std::vector<std::string> results;
  for (const SuitePosition& p : positions) results.push_back(describe(run_decision(p, GOLDEN_BUDGET, 576, 100000000)));

  if (std::getenv("ZERIN_WRITE_GOLDEN") != nullptr) {
    std::ofstream out(GOLDEN);
    out << "# move value nodes, one line per benchmark position (budget " << GOLDEN_BUDGET << ", hash "
        << GOLDEN_HASH << ")\n";
    for (const std::string& r : results) out << r << '\n';
    GTEST_SKIP() << "golden decisions written to " << GOLDEN;
  }

  std::ifstream in(GOLDEN);
  ASSERT_TRUE(in) << "missing " << GOLDEN;
  std::vector<std::string> expected;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') expected.push_back(line);
  ASSERT_EQ(expected.size(), results.size());
  for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], expected[i]) << "position " << i;
}

}  // namespace
