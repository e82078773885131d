// DirectShow's filter graph manager over COM. Not yet wired: no graph manager is offered, so
// every run takes the backup decoders, as on a machine without the filters.
#include "dshow/dshow_com.h"

namespace parvela::dshow {

std::unique_ptr<FilterGraph> CreateComFilterGraph() { return nullptr; }

}  // namespace parvela::dshow
