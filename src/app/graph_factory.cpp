#include "app/cli_options.h"
#include "dshow/dshow.h"

namespace parvela {

std::shared_ptr<dshow::GraphBackend> MakeDefaultGraphBackend(WindowHost& host) {
  return CreateGraphBackend(host);
}

}  // namespace parvela
