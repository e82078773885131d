// The decoding graph on Windows. The graph manager is DirectShow's own, through COM; where it
// or a filter the routine asks for is missing, CreateFilterGraph gives nothing and the run
// takes the backup decoders.
#include <memory>

#include "dshow/component_loader.h"
#include "dshow/dshow.h"
#include "dshow/dshow_com.h"

namespace parvela::dshow {

namespace {

class Win32GraphBackend final : public GraphBackend {
 public:
  std::unique_ptr<FilterGraph> CreateFilterGraph() override { return CreateComFilterGraph(); }
  std::unique_ptr<IFileSinkWrapper> CreateWrapper(const std::string& clsid, const std::string& iid) override {
    return LoadRegisteredWrapper(clsid, iid);
  }
};

}  // namespace

}  // namespace parvela::dshow

namespace parvela {

std::unique_ptr<dshow::GraphBackend> CreateGraphBackend(WindowHost& host) {
  (void)host;  // property pages are the filters' own windows on Windows
  return std::make_unique<dshow::Win32GraphBackend>();
}

}  // namespace parvela
