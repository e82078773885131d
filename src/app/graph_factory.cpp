#include "app/cli_options.h"

namespace parvela {

std::shared_ptr<dshow::GraphBackend> MakeDefaultGraphBackend() { return nullptr; }

}  // namespace parvela
