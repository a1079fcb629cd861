// The drivers the search thread runs for a request.
#pragma once

namespace zerin {

void think();
void balance_one();
void balance_two();

}  // namespace zerin
