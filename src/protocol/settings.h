// INFO lines: the key and value after "INFO" set one of the engine's settings.
#pragma once

#include "core/settings.h"

namespace zerin {

// Applies the text after "INFO" (key, blanks, value). Unknown keys change nothing.
void apply_info(const char* text);

}  // namespace zerin
