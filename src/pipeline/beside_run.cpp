// The tool a road starts beside its next steps (mencoder's encode beside the audio work): its
// own output moves the window's second meter, as the running step's output moves the first.
#include <memory>

#include "pipeline/conversion.h"
#include "pipeline/tool_progress.h"
#include "process/process.h"

namespace parvela {

void Conversion::RunBeside(const std::string& commandLine) {
  const std::vector<std::string> args = SplitCommandLine(commandLine);
  auto reader = std::make_shared<ToolProgressReader>(args.empty() ? std::string() : args[0]);
  f.besideMeter.Start();
  if (reader->Tells()) {
    app.runner.SetBesideObserver([this, reader](std::string_view line) {
      if (const std::optional<double> share = reader->Read(line)) f.besideMeter.Update(*share);
    });
  }
  app.runner.StartBeside(commandLine);
}

int Conversion::EndBeside() {
  const int code = app.runner.WaitBeside();
  app.runner.SetBesideObserver({});
  f.besideMeter.Stop();
  return code;
}

}  // namespace parvela
