// h264info's ini reader on any text: it ends and keeps each value on its line. And the file
// Parvela writes reads back exactly, whatever its output folder holds: the input is taken for a
// folder name (line breaks dropped, as no path in the ini can hold them).
#include "fuzz_support.h"
#include "role_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvela;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto any = toolkit::ParseH264InfoIni(text);
  fuzz::Require(any.input.find('\n') == std::string::npos && any.output.find('\n') == std::string::npos,
                "a value ends at its line");

  std::string folder = "/";
  for (char c : text) {
    if (c != '\r' && c != '\n') folder += c;
  }
  folder += '/';
  const std::string in = folder + "movie_raw.h264", out = folder + "movie.h264";
  const auto paths = toolkit::ParseH264InfoIni("[Paths]\r\nInputPath=" + in + "\r\nOutputPath=" + out + "\r\n");
  fuzz::Require(paths.input == in && paths.output == out, "the paths Parvela writes read back");
  return 0;
}
