#include "ui/form1.h"

namespace parvela {

void Form1::Form_Load() {}
void Form1::Form_DblClick() {}
void Form1::cmdFolder_Click() {}

}  // namespace parvela
