// DirectShow's filter graph manager over COM (Windows only).
#pragma once

#include <memory>

#include "dshow/graph.h"

namespace parvela::dshow {

// nullptr when COM or the graph manager cannot be created.
std::unique_ptr<FilterGraph> CreateComFilterGraph();

}  // namespace parvela::dshow
