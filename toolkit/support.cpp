#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "toolkit.h"

extern char** environ;

namespace parvela::toolkit {

namespace {

// The Debian package to name when a program is missing.
std::string PackageOf(const std::string& program) {
  if (program == "mkvmerge" || program == "mkvextract") return "mkvtoolnix";
  return program;
}

bool NeedsQuoting(const std::string& arg) {
  if (arg.empty()) return true;
  for (char c : arg) {
    bool plain = std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_-./:=+,@%^", c);
    if (!plain) return true;
  }
  return false;
}

std::string ShellQuoted(const std::string& arg) {
  if (!NeedsQuoting(arg)) return arg;
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

int WaitFor(pid_t pid) {
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  if (done < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Spawns with PATH search; `stdoutFd` >= 0 replaces the child's standard output (or `target`).
int Spawn(std::string_view role, const Args& argv, int stdoutFd, int closeFd, pid_t& pid,
          int target = STDOUT_FILENO, bool announce = true) {
  if (announce) std::cerr << role << ": " << CommandText(argv) << std::endl;
  std::vector<char*> cargv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, target);
    posix_spawn_file_actions_addclose(&actions, closeFd);
  }
  int err = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err == ENOENT) {
    return Fail(role,
                argv[0] + " is not installed (install the Debian package " + PackageOf(argv[0]) + ")",
                kNotInstalled);
  }
  if (err != 0) return Fail(role, "cannot start " + argv[0] + ": " + std::strerror(err), kNotInstalled);
  return 0;
}

}  // namespace

int Fail(std::string_view role, std::string_view message, int code) {
  std::cerr << role << ": error: " << message << std::endl;
  return code;
}

int FailMissing(std::string_view role, const std::string& path) {
  return Fail(role, "cannot find the input file " + path, kInputMissing);
}

std::string CommandText(const Args& argv) {
  std::string text;
  for (const auto& a : argv) {
    if (!text.empty()) text += ' ';
    text += ShellQuoted(a);
  }
  return text;
}

int RunProgram(std::string_view role, const Args& argv) {
  pid_t pid = 0;
  if (int failed = Spawn(role, argv, -1, -1, pid)) return failed;
  return WaitFor(pid);
}

namespace {

using FileClock = std::filesystem::file_time_type::clock;

// Timestamps come from a coarser clock than now(); a second of slack covers it.
FileClock::time_point RunStart() { return FileClock::now() - std::chrono::seconds(1); }

// Removes each of the guard's outputs written since `start` that is none of its inputs.
void RemoveUnfinished(std::string_view role, const OutputGuard& guard, FileClock::time_point start) {
  namespace fs = std::filesystem;
  for (const std::string& output : guard.outputs) {
    std::error_code ec;
    if (!fs::is_regular_file(output, ec) || fs::last_write_time(output, ec) < start || ec) continue;
    bool isInput = false;
    for (const std::string& input : guard.inputs) isInput = isInput || fs::equivalent(input, output, ec);
    if (isInput) continue;
    fs::remove(output, ec);
    std::cerr << role << ": removed the unfinished " << output << std::endl;
  }
}

}  // namespace

int RunProgramLeavingWholeFiles(std::string_view role, const Args& argv, const OutputGuard& guard) {
  const auto start = RunStart();
  const int code = RunProgram(role, argv);
  if (code >= guard.failureFrom) RemoveUnfinished(role, guard, start);
  return code;
}

int RunPipedLeavingWholeFiles(std::string_view role, const Args& producer, const Args& consumer,
                              const OutputGuard& guard) {
  const auto start = RunStart();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return Fail(role, "cannot create a pipe", kNotInstalled);
  pid_t from = 0, to = 0;
  const int started = Spawn(role, producer, fds[1], fds[0], from);
  int code = started ? started : Spawn(role, consumer, fds[0], fds[1], to, STDIN_FILENO);
  close(fds[0]);
  close(fds[1]);
  const int produced = started ? started : WaitFor(from);
  if (!code) code = WaitFor(to);
  // A consumer that ends well after a failed producer made a film of what it was given.
  if (code == 0 && produced != 0) {
    Fail(role, producer[0] + " failed (exit status " + std::to_string(produced) + ")", produced);
    code = produced;
  }
  if (code >= guard.failureFrom) RemoveUnfinished(role, guard, start);
  return code;
}

double MediaDuration(std::string_view role, const std::string& path, bool announce) {
  std::string text;
  RunProgramCapture(role, {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path}, text,
                    announce);
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  return end != text.c_str() && seconds > 0 ? seconds : 0;
}

namespace {

std::string ClockOf(double seconds) {
  const long centis = std::lround(seconds * 100);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld.%02ld", centis / 360000, centis / 6000 % 60, centis / 100 % 60,
                centis % 100);
  return text;
}

}  // namespace

void TellFfmpegDuration(double seconds) {
  if (seconds > 0) std::cerr << "  Duration: " << ClockOf(seconds) << ", start: 0.000000" << std::endl;
}

void TellFfmpegTime(double seconds) { std::cerr << "size=N/A time=" << ClockOf(seconds) << " bitrate=N/A\r" << std::flush; }

double ShortestRunningTime(std::string_view role, const std::vector<std::string>& inputs) {
  double shortest = 0;
  for (const std::string& input : inputs) {
    const double seconds = MediaDuration(role, input);
    if (seconds > 0 && (shortest == 0 || seconds < shortest)) shortest = seconds;
  }
  return shortest;
}

bool EndsEarly(double made, double expected) {
  // A raw stream has no running time to read. Muxers may drop the last few tenths of a second.
  return expected > 0 && made > 0 && made < expected - (0.5 + 0.01 * expected);
}

bool NoRoomLeft(const std::string& output) {
  // Writes fail a block or a muxer's buffer short of the end: what is left then is less than this.
  constexpr unsigned long long kSlack = 4ull << 20;
  struct statvfs disk;
  if (statvfs(FolderOf(output).c_str(), &disk) == 0) {
    // root may fill the blocks kept back for it.
    const unsigned long long blocks = geteuid() == 0 ? disk.f_bfree : disk.f_bavail;
    if (blocks * disk.f_frsize < kSlack) return true;
  }
  struct rlimit limit;
  struct stat st;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || stat(output.c_str(), &st) != 0) {
    return false;
  }
  return static_cast<unsigned long long>(st.st_size) + kSlack >= limit.rlim_cur;
}

bool CutShort(std::string_view role, const std::string& output, const std::vector<std::string>& inputs) {
  const double shortest = ShortestRunningTime(role, inputs);
  const double made = MediaDuration(role, output);
  // A film shorter than its source's last timestamps with room to spare was written whole.
  if (!EndsEarly(made, shortest) || !NoRoomLeft(output)) return false;
  Fail(role, output + " ends after " + std::to_string(made) + " s of " + std::to_string(shortest) +
                 " s: the disk may be full");
  return true;
}

int RunProgramCapture(std::string_view role, const Args& argv, std::string& out, bool announce) {
  int fds[2];
  if (pipe(fds) != 0) return Fail(role, "cannot create a pipe", kNotInstalled);
  pid_t pid = 0;
  int failed = Spawn(role, argv, fds[1], fds[0], pid, STDOUT_FILENO, announce);
  close(fds[1]);
  if (failed) {
    close(fds[0]);
    return failed;
  }
  char buf[65536];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) out.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  return WaitFor(pid);
}

int StartProgramFed(std::string_view role, const Args& argv, int& pid, int& input) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return Fail(role, "cannot create a pipe", kNotInstalled);
  // A larger pipe lets a fast writer hand over big frames in fewer switches.
  fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
  pid_t child = 0;
  int failed = Spawn(role, argv, fds[0], fds[1], child, STDIN_FILENO);
  close(fds[0]);
  if (failed) {
    close(fds[1]);
    return failed;
  }
  pid = child;
  input = fds[1];
  return 0;
}

int WaitProgram(int pid) { return WaitFor(pid); }

bool IdentifyFile(std::string_view role, const std::string& path, nlohmann::json& info, int& code) {
  std::string text;
  code = RunProgramCapture(role, {"mkvmerge", "-J", path}, text);
  if (code == kNotInstalled) return false;
  info = nlohmann::json::parse(text, nullptr, false);
  if (info.is_discarded() || !info.value(nlohmann::json::json_pointer("/container/recognized"), false)) {
    std::string why = "mkvmerge cannot read " + path;
    if (!info.is_discarded() && info.contains("errors") && !info["errors"].empty()) {
      why += ": " + info["errors"][0].get<std::string>();
    }
    code = Fail(role, why, code == 0 ? kUsageError : code);
    return false;
  }
  code = 0;
  return true;
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(std::string_view text, std::string_view head) {
  return text.substr(0, head.size()) == head;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && ToLower(text.substr(text.size() - tail.size())) == ToLower(tail);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return false;
  std::filesystem::remove(from, ec);
  return true;
}

std::string ReadHead(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::string head(limit, '\0');
  in.read(head.data(), static_cast<std::streamsize>(limit));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

namespace {
std::string& InvokedAsStorage() {
  static std::string path;
  return path;
}
}  // namespace

const std::string& InvokedAs() { return InvokedAsStorage(); }

void SetInvokedAs(std::string path) { InvokedAsStorage() = std::move(path); }

}  // namespace parvela::toolkit
