// Decodes one MKV's audio to movie.wav through the decoding graph, as a conversion would:
// registers the components of the application folder, then runs DecodeAudioToWav with real
// one-second waits. Prints the seconds taken. With --fine-poll every wait lasts 10 ms instead,
// which times the decoding itself.
// Usage: parvela-decode-bench [--fine-poll] APPDIR SOURCE OUTDIR
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/application.h"
#include "app/registration.h"
#include "dshow/dshow.h"
#include "fsutil/fsutil.h"

namespace {

class FineSleeper : public parvela::Sleeper {
 public:
  void Sleep(int) override { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }
};

}  // namespace

int main(int argc, char** argv) {
  const bool finePoll = argc > 1 && std::string(argv[1]) == "--fine-poll";
  if (finePoll) {
    --argc;
    ++argv;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: parvela-decode-bench [--fine-poll] APPDIR SOURCE.mkv OUTDIR\n");
    return 2;
  }
  const std::string appDir = argv[1];
  std::string outDir = argv[3];
  if (outDir.back() != parvela::kSep) outDir.push_back(parvela::kSep);

  parvela::PosixProcessRunner runner;
  parvela::HeadlessHost host;
  parvela::RealSleeper realSleeper;
  FineSleeper fineSleeper;
  parvela::Sleeper& sleeper = finePoll ? static_cast<parvela::Sleeper&>(fineSleeper) : realSleeper;
  parvela::Application app(appDir, parvela::UserHomeFolder(), runner, host, sleeper);
  auto backend = parvela::CreateGraphBackend(host);
  app.graph = backend.get();
  parvela::Sub_RegisterServer(0, appDir + parvela::kSep + "FSFWrap.dll", true);
  parvela::Sub_RegisterServer(0, appDir + parvela::kSep + "WAVDEST.AX", true);

  parvela::TextBox progress;
  const auto start = std::chrono::steady_clock::now();
  parvela::DecodeAudioToWav(app, progress, argv[2], outDir, "movie");
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", took.count());
  return parvela::FileIsPresent(outDir + "movie.wav") ? 0 : 1;
}
