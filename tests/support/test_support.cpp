#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "fsutil/fsutil.h"

namespace parvela::testing {

int RecordingRunner::RunAndWait(const std::string& commandLine) {
  calls.push_back({commandLine, false});
  events.push_back("run " + commandLine);
  lastCrash_.clear();
  return onRun ? onRun(commandLine) : 0;
}

void RecordingRunner::RunAndWaitHidden(const std::string& commandLine) {
  calls.push_back({commandLine, true});
  events.push_back("run " + commandLine);
  if (onRun) onRun(commandLine);
}

void RecordingRunner::StartBeside(const std::string& commandLine) {
  calls.push_back({commandLine, false});
  events.push_back("beside " + commandLine);
  besideCode_ = onRun ? onRun(commandLine) : 0;
}

int RecordingRunner::WaitBeside() {
  events.push_back("wait beside");
  return besideCode_;
}

std::vector<std::string> RecordingRunner::Lines() const {
  std::vector<std::string> lines;
  for (const auto& c : calls) lines.push_back(c.commandLine);
  return lines;
}

MsgAnswer ScriptedHost::ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                                   MsgButtons buttons) {
  messages.push_back({text, title, icon, buttons});
  log.push_back("MessageBox " + title + ": " + text);
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  if (answers.empty()) return MsgAnswer::Yes;
  MsgAnswer a = answers.front();
  answers.pop_front();
  return a;
}

std::string ScriptedHost::OpenFileDialog(const OpenFileRequest& request) {
  fileRequests.push_back(request);
  log.push_back("OpenFileDialog " + request.title);
  if (fileAnswers.empty()) return {};
  std::string a = fileAnswers.front();
  fileAnswers.pop_front();
  return a;
}

std::string ScriptedHost::BrowseForFolder(const std::string& title) {
  folderTitles.push_back(title);
  log.push_back("BrowseForFolder " + title);
  if (folderAnswers.empty()) return {};
  std::string a = folderAnswers.front();
  folderAnswers.pop_front();
  return a;
}

TempDir::TempDir() {
  // A fresh folder of a name no other run took: creating it is the test of the name.
  std::random_device seed;
  std::mt19937 random(seed());
  const std::string base = std::filesystem::temp_directory_path().string();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base;
    if (candidate.back() != kSep) candidate += kSep;
    candidate += "parvela-test-" + std::to_string(random() % 1000000000u);
    if (CreateNewFolder(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files made by a test must not stop the removal.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

void CopyApplicationFolder(const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  for (const char* runState : {"parvela.conf", "debug.log", "info.txt", "probe.json", "parvela.lock", "register.bat"}) {
    fs::remove(fs::path(to) / runState);
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace parvela::testing
