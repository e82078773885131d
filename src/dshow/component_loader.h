// Creating a registered component: its file is loaded for as long as the object lives.
#pragma once

#include <memory>
#include <string>

#include "dshow/graph.h"

namespace parvela::dshow {

// nullptr when the class is not registered, its file cannot be loaded, or it does not serve
// that interface.
std::unique_ptr<IFileSinkWrapper> LoadRegisteredWrapper(const std::string& clsid,
                                                        const std::string& iid);

}  // namespace parvela::dshow
