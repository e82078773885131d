#include "ui/form1.h"

#include "analysis/analysis.h"

namespace parvela {

namespace {

void Setup(Control& c, const char* caption, const char* toolTip = "") {
  c.SetCaption(caption);
  c.SetToolTip(toolTip);
}

}  // namespace

Form1::Form1(Application& application) : app(application), caption("Parvela 0.23") {
  for (const char* item : {"MPEG2", "H264", "Xvid!"}) cmdConv.AddItem(item);
  Setup(cmdSubs, "Browse Subs");
  Setup(chkDVD, "  Fit to DVD (4.7)");
  Setup(cmdTargetFolder, "Set Output");
  const char* formats[] = {"AC3", "DTS", "OGG", "MP3", "AAC"};
  for (int i = 0; i < OptionButtons::kCount; ++i) Option1.SetElementCaption(i, formats[i]);
  Option1.SetEnabled(false);
  Setup(chk25, "25 FPS output",
        "Speed up the video slightly, to play exteremely smooth on 720p50 displays.");
  Setup(chkMP2, "MPEG2 Recode", "Encode to mpeg. Used to be able to play otherwise incompatible movies.");
  Setup(chkVob, "Mux to Vob (PS3)", "PS3 only method to encode 5.1 audio + h264 video in a m2ts");
  Setup(chkChapters, "Add Chapters");
  chkChapters.SetValue(1);
  chkChapters.SetVisible(false);
  Setup(chkFF, "Safe Sync", "Decode ac3 audio with ffmpeg to try to bypass sync issues.");
  Setup(cmdFolder, "Folder");
  Check1.SetValue(1);  // before its handler is wired: the design-time state
  Setup(Command3, "AC3Filter Options");
  txtProgress.SetText("progress......");
  // The design-time output folder of the Windows build (a drive root) is the home folder here.
  txtTMP.SetText(app.homeFolder);
  Setup(Frame3, "FPS", "Frames per second in h264");
  txtSFPS.SetText("23.976");
  txtS1.SetText("1");
  txtS2.SetText("2");
  Setup(Command2, "Convert");
  Setup(Command1, "File");
  Setup(Frame1, "Streams", "AV streams in MKV");
  Setup(chkSubs, "Embed subs");
  chkSubs.SetVisible(false);
  cmbSubs.SetVisible(false);
  Setup(lblSRTFound, "SRT Found !");
  lblSRTFound.SetVisible(false);
  Setup(lblSubs, "subtitles");
  lblSubs.SetVisible(false);
  Setup(Label2, "Video track");
  Setup(Frame2, "Audio detected", "Original Audio format ");
  Setup(Label5[1], "Sourcefile");
  Setup(Autosplit, "Split > 4GB ?",
        "Needed for MP4 on PS3, and where you want to store data on a FAT32 disk.");
  Setup(Label3, "3Ivx");
  Setup(Label5[0], "Output folder");
  Setup(cmdStop, "Stop");
  cmdStop.SetVisible(false);

  Check1.onClick = [this] { Check1_Click(); };
  chk25.onClick = [this] { chk25_Click(); };
  chkFF.onClick = [this] { chkFF_Click(); };
  chkMP2.onClick = [this] { chkMP2_Click(); };
  chkVob.onClick = [this] { chkVob_Click(); };
  cmbAudio.onClick = [this] { cmbAudio_Click(); };
  Command1.onClick = [this] { Command1_Click(); };
  Command2.onClick = [this] { Command2_Click(); };
  Command3.onClick = [this] { Command3_Click(); };
  cmdStop.onClick = [this] { cmdStop_Click(); };
  cmdSubs.onClick = [this] { cmdSubs_Click(); };
  cmdFolder.onClick = [this] { cmdFolder_Click(); };
  cmdTargetFolder.onClick = [this] { cmdTargetFolder_Click(); };
  FollowOptions();
}

void Form1::SetProgress(const std::string& text) { txtProgress.SetText(text); }

void Form1::Check1_Click() { chkDVD.SetEnabled(Check1.Checked()); }

void Form1::chk25_Click() {
  const bool enable = !chk25.Checked();
  chkMP2.SetEnabled(enable);
  chkVob.SetEnabled(enable);
  chkFF.SetEnabled(enable);
}

void Form1::chkFF_Click() {
  if (chkFF.Checked()) {
    chkMP2.SetValue(0);
    chkMP2.SetEnabled(false);
    chkVob.SetValue(0);
    chkVob.SetEnabled(false);
    chk25.SetValue(0);
    chk25.SetEnabled(false);
  } else {
    chkMP2.SetEnabled(true);
    chkVob.SetEnabled(true);
    chk25.SetEnabled(true);
  }
}

void Form1::chkMP2_Click() {
  if (chkMP2.Checked()) {
    chkMP2.SetEnabled(true);
    chk25.SetEnabled(false);
    chkSubs.SetEnabled(true);
  } else {
    chkSubs.SetEnabled(false);
    chkSubs.SetValue(0);
    chkFF.SetEnabled(true);
    chkVob.SetEnabled(true);
    chk25.SetEnabled(true);
  }
}

void Form1::chkVob_Click() {
  if (chkVob.Checked()) {
    chkFF.SetValue(0);
    chkFF.SetEnabled(false);
    chk25.SetValue(0);
    chk25.SetEnabled(false);
  } else {
    chkFF.SetEnabled(true);
    chk25.SetEnabled(true);
  }
}

void Form1::cmbAudio_Click() {
  const int i = cmbAudio.ListIndex();
  if (i < 0 || i >= kTrackRows) return;
  const AudioTrackRow& row = app.sourceInfo.audioTracks[static_cast<size_t>(i)];
  if (!row.codecCode.empty()) {
    Option1.Select(std::stoi(row.codecCode));
  } else if (!row.trackNumber.empty()) {
    Option1.Clear();  // a format without a button (FLAC, Opus, ...): FFmpeg decodes it
  }
  txtS2.SetText(row.trackNumber);
  lblAudioInfo.SetCaption(row.trackNumber.empty() ? std::string()
                                                  : AudioTrackSummary(row.codecId, row.channels, row.name));
}

}  // namespace parvela
