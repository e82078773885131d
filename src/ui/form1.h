// The main window's model: its controls, the job's members and the handlers. No toolkit here.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "app/application.h"
#include "pipeline/conversion_job.h"
#include "ui/controls.h"
#include "ui/run_meter.h"
#include "ui/step_meter.h"

namespace parvela {

class Form1 : public ConversionJob {
 public:
  explicit Form1(Application& app);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  Application& app;
  ToolPaths tools;
  std::string caption;

  // Controls, in creation order.
  ComboBox cmdConv;
  Button cmdSubs;
  CheckBox chkDVD;
  Button cmdTargetFolder;
  OptionButtons Option1;
  CheckBox chk25;
  CheckBox chkMP2;
  CheckBox chkVob;
  CheckBox chkChapters;
  CheckBox chkFF;
  Button cmdFolder;
  CheckBox Check1;
  Button Command3;
  TextBox txtProgress;
  TextBox txtTMP;
  Frame Frame3;
  TextBox txtSFPS;
  TextBox txtS1;
  TextBox txtS2;
  Button Command2;
  Button Command1;
  TextBox txtFile;
  Frame Frame1;
  CheckBox chkSubs;
  ComboBox cmbSubs;
  Label lblSRTFound;
  Label lblSubs;
  Label Label2;
  Frame Frame2;
  ComboBox cmbAudio;
  std::array<Label, 2> Label5;  // element 1 "Sourcefile", element 0 "Output folder"
  Label lblMulti;
  Label Autosplit;
  Label Label3;
  Label lblAudioInfo;  // the chosen audio track's format, channels and name
  // Shown beside "Convert" while a conversion runs; the one control that takes input then.
  Button cmdStop;
  // How far the step now running has come, from the tool's own output.
  StepMeter stepMeter;
  // How far the tool running beside the others has come (the video encode beside the audio).
  StepMeter besideMeter;
  // How far the whole run has come across its steps.
  RunMeter runMeter;
  // Under the source: what it is and what will become of it (form1_plan.cpp).
  Label lblPlan;

  // Option handlers and the cascade between them (form1.cpp).
  void Check1_Click();
  void chk25_Click();
  void chkFF_Click();
  void chkMP2_Click();
  void chkVob_Click();
  void cmbAudio_Click();

  // Dialog handlers (form1_dialogs.cpp).
  void Command1_Click();
  void cmdSubs_Click();
  void cmdTargetFolder_Click();

  // Source inspection (analysis/).
  // False when an "Inspection error" was shown: the source is then left uninspected.
  bool ReadInfo(const std::string& strFullname);
  bool Inspect(const std::string& strFullname);  // ReadInfo without the command line's choices
  // Why the last inspection failed, in a few words ("not a Matroska file").
  std::string inspectionProblem;

  // The conversion driver (pipeline/).
  void Command2_Click();
  // Ends the running tool and the run; in a batch it asks whether to end the batch too.
  void cmdStop_Click();
  // The source the track fields describe (set by ReadInfo); "Convert" inspects any other first.
  std::string inspectedSource;
  // True while a folder batch runs (the Stop button then asks about the rest of it).
  bool batchRunning = false;
  // How deep "Convert" runs: the pieces of a split source run inside the outer run.
  int runDepth = 0;
  // Told the path of every file a conversion finished (once per piece of a split source), after
  // the road's own texts; a front end judges it there.
  std::function<void(const std::string& outputPath)> onOutputFinished;
  // The file the last run of "Convert" finished; empty when it made none.
  std::string lastOutputPath;
  // Told the summary of a folder batch when it ends ("3 files: 1 converted, ...").
  std::function<void(const std::string& summary)> onBatchFinished;
  // Asked before a road cleans up: why the finished file plays on neither console, or empty when
  // it plays on one (or cannot be judged). Unset, every file passes.
  std::function<std::string(const std::string& outputPath)> judgeOutput;

  // Start-up, settings, command line and batches (app/).
  void Form_Load();
  void LoadSettings();
  void SaveSettings();
  void cmdLine();
  void cmdlineFile(const std::string& strFile);
  void cmdlineFolder(const std::string& strpath);
  void Form_DblClick();
  void cmdFolder_Click();
  void Command3_Click();

  // Sets the progress line and lets the views show it.
  void SetProgress(const std::string& text);

  // The plan line, the whole run's progress and the unattended batch (form1_plan.cpp).
  // Recomputes lblPlan from the last inspection and the options.
  void UpdatePlan();
  // Told the plan line when a run starts, once per outermost run.
  std::function<void(const std::string& plan)> onPlan;
  // After the outermost run of "Convert": the window as the next run needs it.
  void RunEnded();
  // Whether a message box is one of Parvela's own that a batch records instead of waiting on
  // (true: `unattendedNote` holds its text). The message boxes of the classic behaviour wait.
  bool DivertsInBatch(const std::string& text, const std::string& title, MsgButtons buttons);
  std::string unattendedNote;  // Parvela's own last message in a batch, not shown

 private:
  void FollowOptions();
  void UpdateDisabledReasons();
  void StartRunMeter();
  void ShowStopWhileRunning();
  bool followingOptions_ = false;
};

}  // namespace parvela
