// The clean-ups of each road's temporary files in the output folder.
#pragma once

#include <string>

namespace parvela {

class TextBox;

// Each reads the output folder afresh from txtTMP before every name and deletes plainly:
// read-only files stay, missing ones are no error, nothing is reported.
void DeleteMp4TempFiles(const TextBox& txtTMP);
void DeleteVc1TempFiles(const TextBox& txtTMP);
void DeleteMpegTempFiles(const TextBox& txtTMP);

}  // namespace parvela
