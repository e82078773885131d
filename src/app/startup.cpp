#include "ui/form1.h"

namespace parvela {

void Form1::Form_Load() {}
void Form1::Form_DblClick() {}
void Form1::cmdFolder_Click() {}
void Form1::LoadSettings() {}
void Form1::SaveSettings() {}
void Form1::cmdLine() {}
void Form1::cmdlineFile(const std::string&) {}
void Form1::cmdlineFolder(const std::string&) {}

}  // namespace parvela
