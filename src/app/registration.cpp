#include "app/registration.h"

namespace parvela {

void Sub_RegisterServer(int32_t, const std::string&, bool) {}

}  // namespace parvela
