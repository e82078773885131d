#include "dshow/dshow.h"

namespace parvela {

void DecodeAudioToWav(Application&, TextBox&, const std::string&, const std::string&, const std::string&) {}
void ShowDecoderOptions(Application&) {}

}  // namespace parvela
