// What the window adds around the classic controls: the plan line under the source, the whole
// run's progress across its steps, why an option box is greyed out, and a batch that does not
// wait on Parvela's own messages.
#include <array>

#include "fsutil/fsutil.h"
#include "pipeline/plan.h"
#include "ui/form1.h"

namespace parvela {

namespace {

std::string Quote(const Control& box) { return "\"" + TrimBlanks(box.Caption()) + "\""; }

// The message boxes of the classic behaviour, which wait for the user even in a batch.
bool ClassicMessage(const std::string& text, const std::string& title) {
  if (title == "MP4box error" || title == "info") return true;
  if (title == "Folder error") return text == "Output folder does not exist.";
  if (title == "Audio error") return text == "Error during audio extraction. Temp files not deleted.";
  return title.empty();  // the not-playable notice and the batch's own question
}

}  // namespace

// A path typed over the inspected one is not described until "Convert" inspects it.
void Form1::UpdatePlan() {
  const bool typedOver = !inspectedSource.empty() && TrimBlanks(inspectedSource) != TrimBlanks(txtFile.Text());
  lblPlan.SetCaption(typedOver ? std::string() : PlanConversion(*this).line);
}

// The option rules grey a box out for the boxes that are checked (or, for two of them,
// unchecked); a VC-1 source greys out what its road cannot do.
void Form1::UpdateDisabledReasons() {
  struct Cause {
    const CheckBox& box;
    bool whenChecked;
  };
  auto reason = [this](const CheckBox& target, std::initializer_list<Cause> causes, bool vc1) {
    if (target.Enabled()) return std::string();
    for (const Cause& c : causes) {
      if (c.box.Checked() == c.whenChecked) {
        return "Greyed out by " + Quote(c.box) + (c.whenChecked ? "" : " being unticked");
      }
    }
    if (vc1 && app.sourceInfo.videoKind == "vc1") return std::string("Greyed out for a VC-1 source");
    return std::string();
  };
  chk25.SetDisabledReason(reason(chk25, {{chkFF, true}, {chkVob, true}, {chkMP2, true}}, true));
  chkMP2.SetDisabledReason(reason(chkMP2, {{chkFF, true}, {chk25, true}}, false));
  chkVob.SetDisabledReason(reason(chkVob, {{chkFF, true}, {chk25, true}}, true));
  chkFF.SetDisabledReason(reason(chkFF, {{chkVob, true}, {chk25, true}}, true));
  chkDVD.SetDisabledReason(reason(chkDVD, {{Check1, false}}, false));
  chkSubs.SetDisabledReason(reason(chkSubs, {{chkMP2, false}}, false));
}

void Form1::FollowOptions() {
  for (Control* c : std::array<Control*, 12>{&chkMP2, &cmdConv, &chkVob, &chk25, &chkFF, &Check1, &chkDVD, &chkSubs,
                                             &cmbAudio, &cmbSubs, &txtSFPS, &txtFile}) {
    c->Observe([this] {
      if (followingOptions_) return;  // one change notifies several boxes
      followingOptions_ = true;
      UpdateDisabledReasons();
      // A run's plan is the one it started with (the pieces of a split change the source box).
      if (runDepth == 0) UpdatePlan();
      followingOptions_ = false;
    });
  }
  // Every progress text may begin a step of the whole run; the first one of a run starts it.
  txtProgress.Observe([this] {
    app.runner.DeliverBesideOutput();
    if (runDepth > 0) Command2.SetEnabled(false);  // a run is going: "Convert" does not answer
    if (runDepth > 0 && !runMeter.Running()) StartRunMeter();
    runMeter.OnText(txtProgress.Text());
  });
  stepMeter.Observe([this] {
    if (stepMeter.Running()) ShowStopWhileRunning();
    if (const std::optional<int> permille = stepMeter.Permille()) runMeter.OnStepShare(*permille / 1000.0);
  });
  besideMeter.Observe([this] {
    if (besideMeter.Running()) ShowStopWhileRunning();
    if (const std::optional<int> permille = besideMeter.Permille()) runMeter.OnBesideShare(*permille / 1000.0);
    if (!besideMeter.Running()) runMeter.OnBesideEnded();
  });
}

// Stop stands beside "Convert" once the run's first tool is running (in front or beside the
// next steps), not beside a message that ends the run before it starts.
void Form1::ShowStopWhileRunning() {
  if (runDepth == 0) return;
  cmdStop.SetVisible(true);
  Command2.SetEnabled(false);
}

void Form1::StartRunMeter() {
  const ConversionPlan plan = PlanConversion(*this);
  lblPlan.SetCaption(plan.line);
  if (!plan.convertible || plan.steps.empty()) return;
  runMeter.Start(plan.steps);
  if (onPlan) onPlan(plan.line);
}

void Form1::RunEnded() {
  runMeter.Stop();
  besideMeter.Stop();
  Command2.SetEnabled(true);
  // The end of a conversion hides the subtitle list; the source still has its tracks, and the
  // next run may want another one of them.
  if (lblSubs.Visible() && cmbSubs.ListCount() > 0) cmbSubs.SetVisible(true);
  UpdateDisabledReasons();
  UpdatePlan();
}

bool Form1::DivertsInBatch(const std::string& text, const std::string& title, MsgButtons buttons) {
  if (!batchRunning || buttons != MsgButtons::Ok || ClassicMessage(text, title)) return false;
  unattendedNote = text;
  return true;
}

}  // namespace parvela
