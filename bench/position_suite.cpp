#include "position_suite.h"

#include <fstream>
#include <sstream>

namespace zerin {

std::vector<SuitePosition> load_positions(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return parse_positions(text.str());
}

}  // namespace zerin
