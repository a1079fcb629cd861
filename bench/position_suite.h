// The benchmark positions read from a file, for the decision benchmark and the
// golden-decision test; the decision itself runs as in the engine's bench command.
#pragma once

#include <string>
#include <vector>

#include "protocol/bench.h"

namespace zerin {

// The positions of a file in the form parse_positions reads.
std::vector<SuitePosition> load_positions(const std::string& path);

}  // namespace zerin
