#include "ui/form1.h"

namespace parvela {

void Form1::Command2_Click() {}

}  // namespace parvela
