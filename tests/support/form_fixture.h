// A window model wired to the test stand-ins, with an application folder of its own.
#pragma once

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
};

}  // namespace parvela::testing
