// Picks the role from the name the program was started under: "MKVToolnix/mkvinfo.exe" is the
// mkvinfo role, whatever the letter case. Started as parvela-tools, the first argument names it.
#include <iostream>
#include <string>

#include "toolkit.h"

namespace {

using parvela::toolkit::Args;

struct Role {
  const char* name;  // lower case, without ".exe"
  int (*run)(const Args&);
};

constexpr Role kRoles[] = {
    {"mkvinfo", parvela::toolkit::MkvinfoMain},
    {"mkvextract", parvela::toolkit::MkvextractMain},
    {"mkvmerge", parvela::toolkit::MkvmergeMain},
    {"ffmpeg", parvela::toolkit::FfmpegMain},
    {"faad", parvela::toolkit::FaadMain},
    {"soundstretch", parvela::toolkit::SoundstretchMain},
    {"valdec", parvela::toolkit::ValdecMain},
    {"besweet", parvela::toolkit::BeSweetMain},
    {"mp4box", parvela::toolkit::Mp4BoxMain},
    {"x264_checker", parvela::toolkit::X264CheckerMain},
    {"aften", parvela::toolkit::AftenMain},
    {"tsmuxer", parvela::toolkit::TsMuxerMain},
    {"h264info", parvela::toolkit::H264InfoMain},
    {"mencoder", parvela::toolkit::MencoderMain},
    {"avimux_gui", parvela::toolkit::AvimuxMain},
};

std::string RoleName(std::string invokedAs) {
  size_t slash = invokedAs.find_last_of("/\\");
  if (slash != std::string::npos) invokedAs.erase(0, slash + 1);
  invokedAs = parvela::toolkit::ToLower(invokedAs);
  if (parvela::toolkit::EndsWithNoCase(invokedAs, ".exe")) invokedAs.resize(invokedAs.size() - 4);
  return invokedAs;
}

int Usage() {
  std::cerr << "usage: parvela-tools ROLE [ARGUMENTS...], or started through a link named after "
               "the role\nroles:";
  for (const Role& role : kRoles) std::cerr << ' ' << role.name;
  std::cerr << std::endl;
  return parvela::toolkit::kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  Args args(argv + 1, argv + argc);
  std::string invokedAs = argc > 0 ? argv[0] : "";
  std::string name = RoleName(invokedAs);
  if (name == "parvela-tools") {
    if (args.empty()) return Usage();
    invokedAs = args.front();
    name = RoleName(invokedAs);
    args.erase(args.begin());
  }
  parvela::toolkit::SetInvokedAs(invokedAs);
  for (const Role& role : kRoles) {
    if (name == role.name) return role.run(args);
  }
  std::cerr << "parvela-tools: no role named \"" << name << "\"" << std::endl;
  return Usage();
}
