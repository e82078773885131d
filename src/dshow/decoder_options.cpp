#include "dshow/dshow.h"
#include "ui/form1.h"

namespace parvela {

void Form1::Command3_Click() { ShowDecoderOptions(app); }

}  // namespace parvela
