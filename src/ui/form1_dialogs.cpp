#include "ui/form1.h"

namespace parvela {

void Form1::Command1_Click() {}
void Form1::cmdSubs_Click() {}
void Form1::cmdTargetFolder_Click() {}

}  // namespace parvela
