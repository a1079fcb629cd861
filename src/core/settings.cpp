#include "core/settings.h"

namespace zerin {

EngineSettings settings;

}  // namespace zerin
