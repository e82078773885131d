// A window model over an application folder in the scratch folder, with seams that run nothing
// and show nothing: what the report parser and the settings reader need around them.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>

#include "app/application.h"
#include "fuzz_support.h"
#include "ui/form1.h"

namespace parvela::fuzz {

class NoRunner : public ProcessRunner {
 public:
  int RunAndWait(const std::string&) override { return -1; }
  void RunAndWaitHidden(const std::string&) override {}
};

class SilentHost : public HeadlessHost {
 public:
  MsgAnswer ShowMessageBox(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
    return MsgAnswer::Ok;
  }
};

class NoSleeper : public Sleeper {
 public:
  void Sleep(int) override {}
};

struct AppFixture {
  AppFixture() : app(ScratchFolder(), ScratchFolder() + "/", runner, host, sleeper) {
    // The log is appended to on every parse; millions of inputs must not fill the disk.
    symlink("/dev/null", app.DebugLogPath().c_str());
  }
  // A fresh window for every input, so no input depends on what the one before it left.
  std::unique_ptr<Form1> NewForm() { return std::make_unique<Form1>(app); }

  NoRunner runner;
  SilentHost host;
  NoSleeper sleeper;
  Application app;
};

}  // namespace parvela::fuzz
