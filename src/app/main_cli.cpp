// parvela-cli: the window's start-up without a window, for scripts and servers.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/cli_options.h"
#include "app/instance_lock.h"
#include "app/own_usage.h"
#include "app/state_folder.h"
#include "fsutil/fsutil.h"
#include "fsutil/kept_files.h"
#include "playability/playability.h"
#include "process/process.h"
#include "ui/form1.h"
#include "ui/window_host.h"

namespace {

// --check's report file, removed when the run is interrupted while ffprobe writes it.
char checkReport[4096] = "";

void OnInterrupt(int signal) {
  parvela::TerminateRunningTool();
  // An earlier film set aside for its successor goes back: the successor was never judged.
  parvela::PutBackKeptFiles();
  if (checkReport[0] != '\0') unlink(checkReport);
  // Only async-signal-safe calls here.
  static const char kText[] = "Interrupted\n";
  ssize_t written = write(STDERR_FILENO, kText, sizeof kText - 1);
  (void)written;
  _exit(128 + signal);
}

// Every progress text becomes a line; on a terminal the once-a-second audio counter and the
// running step's percentage redraw one line instead of scrolling. Elsewhere a step that runs
// longer than a few seconds gets a plain line at every tenth.
class ProgressPrinter {
 public:
  explicit ProgressPrinter(bool terminal) : terminal_(terminal) {}
  ~ProgressPrinter() { EndCounterLine(); }
  void Print(const std::string& text) {
    const bool counter = terminal_ && text.rfind("Extracting ", 0) == 0 &&
                         text.find(" seconds of Audio :") != std::string::npos;
    if (counter) {
      Redraw(text);
    } else {
      EndCounterLine();
      std::printf("%s\n", text.c_str());
    }
    std::fflush(stdout);
  }
  // The step's share and time left, the encode running beside it, and the whole run's.
  void Follow(const parvela::Form1& form) {
    const parvela::StepMeter& meter = form.stepMeter;
    std::string text = meter.Text();
    if (form.besideMeter.Running() && !form.besideMeter.Text().empty()) {
      text += (text.empty() ? "" : " \u00b7 ") + ("video " + form.besideMeter.Text());
    }
    const std::string whole = form.runMeter.Text();
    const std::string line = text.empty() ? whole : whole.empty() ? text : text + " \u00b7 " + whole;
    if (!meter.Running() && !form.besideMeter.Running()) {
      if (counterOpen_) std::printf("\r\033[K");
      counterOpen_ = false;
      tenth_ = -1;
    } else if (terminal_ && !text.empty()) {
      Redraw("  " + line);
    } else if (!terminal_ && meter.Running() && meter.SecondsLeft() && *meter.Permille() / 100 != tenth_) {
      tenth_ = *meter.Permille() / 100;
      std::printf("  %s\n", line.c_str());
    }
    std::fflush(stdout);
  }

 private:
  void Redraw(const std::string& text) {
    std::printf("\r%s\033[K", text.c_str());
    counterOpen_ = true;
  }
  void EndCounterLine() {
    if (counterOpen_) std::printf("\n");
    counterOpen_ = false;
  }
  bool terminal_;
  bool counterOpen_ = false;
  int tenth_ = -1;
};

// --check: one "FILE: Plays on: ..." line per file; nothing is converted. It takes no lock, so
// that files can be checked while a conversion runs; its report is its own.
int CheckFiles(const std::vector<std::string>& files, bool verbose) {
  using namespace parvela;
  SystemProcessRunner runner(verbose);
  HeadlessHost host;
  RealSleeper sleeper;
  Application app(ExecutableFolder(), UserHomeFolder(), runner, host, sleeper);
  const std::string report =
      (std::filesystem::temp_directory_path() / ("parvela-probe-" + std::to_string(getpid()) + ".json")).string();
  if (report.size() < sizeof checkReport) std::snprintf(checkReport, sizeof checkReport, "%s", report.c_str());
  bool everyFilePlays = true;
  for (const std::string& file : files) {
    const playability::Verdict verdict = playability::CheckFile(app, file, report);
    std::printf("%s: %s\n", file.c_str(), verdict.Line().c_str());
    std::fflush(stdout);
    everyFilePlays = everyFilePlays && verdict.PlaysAnywhere();
  }
  return everyFilePlays ? 0 : 1;
}

// A folder that exists but cannot be written is refused before inspection runs any tool; the
// driver refuses it too, for the window and for batches.
bool OutputFolderUsable(parvela::Form1& form) {
  const std::string& folder = form.txtTMP.Text();
  if (!parvela::FolderExists(folder) || parvela::FolderIsWritable(folder)) return true;
  std::cerr << "Folder error: The output folder " << folder << " cannot be written. Nothing was converted.\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace parvela;
  std::vector<std::string> args(argv + 1, argv + argc);
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(args, options, error)) {
    std::cerr << "parvela-cli: " << error << "\n" << CliUsage();
    return 2;
  }
  if (options.help) {
    std::cout << CliUsage();
    return 0;
  }
  const std::string appFolder = ExecutableFolder();
  const std::string stateFolder = StateFolder(appFolder);
  if (options.version) {
    std::cout << "parvela-cli " << PARVELA_VERSION << "\n";
    // A portable folder keeps them beside the program, as it always did, and says no more.
    if (stateFolder != appFolder) std::cout << "Settings, log and lock in " << stateFolder << "\n";
    return 0;
  }
  if (options.tracks) {
    if (options.words.empty()) {
      std::cerr << "parvela-cli: --tracks needs at least one file\n" << CliUsage();
      return 2;
    }
    return ListTracks(options.words, options.verbose);
  }
  if (options.check) {
    if (options.words.empty()) {
      std::cerr << "parvela-cli: --check needs at least one file\n" << CliUsage();
      return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return CheckFiles(options.words, options.verbose);
  }
  if (options.plan && options.words.empty()) {
    std::cerr << "parvela-cli: --plan needs at least one file\n" << CliUsage();
    return 2;
  }
  if (options.argumentText.empty()) {
    std::cerr << "parvela-cli: no MKV file or folder given\n" << CliUsage();
    return 2;
  }
  if (!options.plan && !IsConvertibleArgument(options.argumentText)) {
    std::cerr << "parvela-cli: not an MKV file or a folder: " << options.argumentText << "\n";
    return 2;
  }

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  // No composed command line may start an argument with "-", so no path stays relative.
  MakePathsAbsolute(options, CurrentFolder());
  if (!PrepareStateFolder(appFolder, stateFolder)) {
    std::cerr << "parvela-cli: cannot create " << stateFolder
              << " for the settings, log and lock; nothing was converted.\n";
    return 1;
  }
  InstanceLock lock(stateFolder);
  if (!lock.Held()) {
    std::cerr << "parvela-cli: another Parvela run is using " << stateFolder
              << " (its report and settings); nothing was converted. Try again when it has ended.\n";
    return 1;
  }

  SystemProcessRunner runner(options.verbose);
  HeadlessHost host;
  RealSleeper sleeper;
  Application app(appFolder, UserHomeFolder(), runner, host, sleeper);
  app.stateFolder = stateFolder;
  auto graph = MakeDefaultGraphBackend(host);
  app.graph = graph.get();
  app.argumentText = options.argumentText;
  app.runOwnsOnlyItsFiles = true;

  Form1 form(app);
  ProgressPrinter printer(isatty(STDOUT_FILENO) == 1);
  form.txtProgress.Observe([&] { printer.Print(form.txtProgress.Text()); });
  form.stepMeter.Observe([&] { printer.Follow(form); });
  form.besideMeter.Observe([&] { printer.Follow(form); });
  form.runMeter.Observe([&] { printer.Follow(form); });
  form.onPlan = [&](const std::string& plan) { printer.Print(plan); };
  playability::VerdictMemo verdicts(app);
  form.judgeOutput = [&](const std::string& path) { return verdicts.NoneBecause(path); };
  form.onOutputFinished = [&](const std::string& path) { printer.Print(verdicts.Take(path).Line()); };
  form.onBatchFinished = [&](const std::string& summary) { printer.Print(summary); };

  // The window's start-up, with the options set between the settings and the argument.
  form.LoadSettings();
  bool usageError = false;  // an audio track the source does not have
  ApplyCliOptions(options, form, &usageError);
  if (options.plan) return PlanFiles(options, form);
  if (!OutputFolderUsable(form)) return 1;
  form.cmdLine();
  if (options.verbose) {
    // Parvela's own share of the work, without the tools it ran.
    std::cerr << "parvela-cli: " << OwnUsageText() << "\n";
  }
  if (usageError) return 2;
  return host.ErrorsShown() > 0 ? 1 : 0;
}
