// Parvela's own share of a run, without the tools it ran (shown by parvela-cli -v).
#pragma once

#include <string>

namespace parvela {

// "own CPU time N ms (U user, S system), peak memory M KB"
std::string OwnUsageText();

}  // namespace parvela
