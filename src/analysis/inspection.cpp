#include "ui/form1.h"

namespace parvela {

void Form1::ReadInfo(const std::string&) {}

}  // namespace parvela
