// A window model wired to the test stand-ins, with an application folder of its own.
#pragma once

#include <string>
#include <vector>

#include "app/application.h"
#include "test_support.h"
#include "ui/form1.h"

namespace parvela::testing {

struct FormFixture {
  TempDir appDir;
  TempDir homeDir;
  RecordingRunner runner;
  ScriptedHost host;
  RecordingSleeper sleeper;
  Application app{appDir.path(), homeDir.path() + "/", runner, host, sleeper};
  Form1 form{app};

  // The track fields an inspection of an H.264 source leaves (video 1, audio 2), the output
  // folder, splitting off, and every progress text recorded in `progress`.
  void ChooseH264Source(const std::string& source, const std::string& outputFolder, const std::string& fps,
                        std::vector<std::string>& progress) {
    app.sourceInfo.videoKind = "avc";
    form.txtFile.SetText(source);
    form.txtTMP.SetText(outputFolder);
    form.txtS1.SetText("1");
    form.txtS2.SetText("2");
    form.txtSFPS.SetText(fps);
    form.Check1.SetValue(0);
    form.txtProgress.Observe([this, &progress] { progress.push_back(form.txtProgress.Text()); });
  }
};

}  // namespace parvela::testing
