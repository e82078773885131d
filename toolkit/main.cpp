// Picks the role from the name the program was started under: "MKVToolnix/mkvinfo.exe" is the
// mkvinfo role, whatever the letter case. Started as parvela-tools, the first argument names it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "drive_paths.h"
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
    {"ffprobe", parvela::toolkit::FfprobeMain},
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

// The toolkit started from a Windows program under wine cannot be waited for (wine gives no
// process handle for a Linux program); its bridge passes "--exit-status-file FILE" first and
// waits for that file, which gets the exit code when the role has ended.
int RunRole(const std::string& name, const Args& args) {
  for (const Role& role : kRoles) {
    if (name == role.name) return role.run(args);
  }
  std::cerr << "parvela-tools: no role named \"" << name << "\"" << std::endl;
  return Usage();
}

int ReportExitStatus(const std::string& file, int code) {
  const std::string partial = file + ".partial";
  std::ofstream(partial) << code << "\n";
  std::rename(partial.c_str(), file.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  for (int i = 1; i < argc; ++i) args.push_back(parvela::toolkit::LinuxPaths(argv[i]));
  std::string invokedAs = argc > 0 ? parvela::toolkit::LinuxPaths(argv[0]) : "";
  std::string name = RoleName(invokedAs);
  std::string statusFile;
  if (name == "parvela-tools" && args.size() >= 2 && args[0] == "--exit-status-file") {
    statusFile = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (name == "parvela-tools") {
    if (args.empty()) return statusFile.empty() ? Usage() : ReportExitStatus(statusFile, Usage());
    invokedAs = args.front();
    name = RoleName(invokedAs);
    args.erase(args.begin());
  }
  parvela::toolkit::SetInvokedAs(invokedAs);
  const int code = RunRole(name, args);
  return statusFile.empty() ? code : ReportExitStatus(statusFile, code);
}
