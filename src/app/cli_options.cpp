#include "app/cli_options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

#include "analysis/source_info.h"
#include "fsutil/fsutil.h"
#include "ui/form1.h"

namespace parvela {

namespace {

bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value, std::string& error) {
  if (i + 1 >= args.size()) {
    error = "option " + args[i] + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      words.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
    } else if (a == "-o" || a == "--output") {
      if (!TakeValue(args, i, o.output, error)) return false;
    } else if (a == "--recode") {
      if (!TakeValue(args, i, o.recode, error)) return false;
      if (o.recode != "mpeg2" && o.recode != "h264" && o.recode != "xvid") {
        error = "--recode takes mpeg2, h264 or xvid";
        return false;
      }
    } else if (a == "--subs") {
      if (!TakeValue(args, i, o.subs, error)) return false;
    } else if (a == "--sub-track") {
      std::string n;
      if (!TakeValue(args, i, n, error)) return false;
      o.subTrack = n.size() <= 2 && !n.empty() && std::all_of(n.begin(), n.end(), ::isdigit) ? std::stoi(n) : 0;
      if (o.subTrack < 1 || o.subTrack > kTrackRows) {
        error = "--sub-track takes the number of a subtitle track, 1 to " + std::to_string(kTrackRows);
        return false;
      }
    } else if (a == "--audio") {
      std::string n;
      if (!TakeValue(args, i, n, error)) return false;
      o.audioNone = n == "none";
      if (o.audioNone) {
        o.audio = 0;
        continue;
      }
      o.audio = n.size() <= 2 && !n.empty() && std::all_of(n.begin(), n.end(), ::isdigit) ? std::stoi(n) : 0;
      if (o.audio < 1 || o.audio > kTrackRows) {
        error = "--audio takes the number of an audio track, 1 to " + std::to_string(kTrackRows);
        return false;
      }
    } else if (a == "--audio-lang") {
      if (!TakeValue(args, i, o.audioLang, error)) return false;
      if (o.audioLang.empty()) {
        error = "--audio-lang takes a language code such as eng";
        return false;
      }
    } else if (a == "--tracks") {
      o.tracks = true;
    } else if (a == "--srt-beside") {
      o.srtBeside = true;
    } else if (a == "--vob") {
      o.vob = 1;
    } else if (a == "--no-vob") {
      o.vob = 0;
    } else if (a == "--safe-sync") {
      o.safeSync = true;
    } else if (a == "--25fps") {
      o.fps25 = true;
    } else if (a == "--split") {
      o.split = 1;
    } else if (a == "--no-split") {
      o.split = 0;
    } else if (a == "--dvd") {
      o.dvd = true;
    } else if (a == "-v" || a == "--verbose") {
      o.verbose = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--plan") {
      o.plan = true;
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  const int subtitleSources = int{!o.subs.empty()} + int{o.subTrack != 0} + int{o.srtBeside};
  if (subtitleSources > 1) {
    error = "--subs, --sub-track and --srt-beside exclude each other";
    return false;
  }
  if ((o.audio != 0 || o.audioNone) && !o.audioLang.empty()) {
    error = "--audio and --audio-lang exclude each other";
    return false;
  }
  // The shell has split and unquoted the path already: join its words back into one text.
  for (size_t i = 0; i < words.size(); ++i) o.argumentText += (i ? " " : "") + words[i];
  o.words = std::move(words);
  return true;
}

std::string CliUsage() {
  return "Usage: parvela-cli [options] FILE.mkv|FOLDER\n"
         "   or: parvela-cli --check FILE...\n"
         "   or: parvela-cli --tracks FILE...\n"
         "   or: parvela-cli [options] --plan FILE...\n"
         "Converts a Matroska file, or every MKV file of a folder, into a file the PS3 and the\n"
         "Xbox 360 play (by default an MP4 with the source's H.264 video and AAC audio).\n"
         "\n"
         "Options:\n"
         "  -o, --output DIR          output folder (default: the one used last time)\n"
         "      --recode mpeg2|h264|xvid  re-encode the video\n"
         "      --vob, --no-vob       mux to a PS3 transport stream (.mpg), or not (saved)\n"
         "      --safe-sync           encode the audio with FFmpeg straight from the source track\n"
         "      --25fps               25 frames per second output\n"
         "      --split, --no-split   split sources above 4 GB (saved; on by default)\n"
         "      --dvd                 split into pieces that fit a 4.7 GB DVD\n"
         "      --subs FILE           burn this subtitle file into re-encoded video\n"
         "      --sub-track N         burn the source's Nth subtitle track into re-encoded video\n"
         "      --srt-beside          burn the SRT file named like the source, beside it\n"
         "      --audio N             convert the source's Nth audio track (as --tracks lists them)\n"
         "      --audio none          convert the picture alone, without the source's sound\n"
         "      --audio-lang CODE     convert the first audio track in this language (eng, jpn, ...)\n"
         "  -v, --verbose             show the tools' own output\n"
         "  -h, --help                show this text\n"
         "      --version             show the version (and the folder of the settings and log\n"
         "                            when they are not kept beside the program)\n"
         "      --check               judge each FILE against the consoles' players, convert nothing\n"
         "      --tracks              list every track of each FILE with its format, channels and\n"
         "                            name, and the numbers --audio and --sub-track take\n"
         "      --plan                say in one line what each FILE is and what the options\n"
         "                            would make of it, convert nothing (1: one cannot be converted)\n"
         "\n"
         "Every finished file is judged too, in a last line such as \"Plays on: PS3, Xbox 360\".\n"
         "Exit status: 0 when every conversion ended without an error message, 1 when one\n"
         "showed an error, 2 for a usage error. With --check: 0 when every file plays on at\n"
         "least one console, 1 otherwise.\n"
         "\n"
         "Files: the settings (parvela.conf), the log (debug.log) and the lock (parvela.lock)\n"
         "are kept beside the program when its folder may be written (a portable folder), and\n"
         "otherwise in $XDG_CONFIG_HOME/parvela, by default ~/.config/parvela.\n";
}

namespace {

// Ticks "Embed subs" as the window lets a user do it once a subtitle source exists.
void TickEmbedSubs(Form1& form) {
  form.chkMP2.SetEnabled(true);
  form.chkSubs.SetEnabled(true);
  form.chkSubs.SetVisible(true);
  form.chkMP2.SetValue(1);
  form.chkSubs.SetValue(1);
}

void ShowSubtitleError(Form1& form, const std::string& text) {
  form.app.host.MessageBox(text + " It is converted without subtitles.", "Subtitle error", MsgIcon::Critical,
                           MsgButtons::Ok);
}

// As choosing the source in the window does when an SRT lies beside it.
void UseSrtBeside(Form1& form, const std::string& source) {
  const std::string srt = source.substr(0, source.size() < 3 ? 0 : source.size() - 3) + "srt";
  if (!FileIsPresent(srt)) {
    ShowSubtitleError(form, "There is no subtitle file " + srt + " beside the source.");
    return;
  }
  form.cmbSubs.SetVisible(false);
  form.lblSRTFound.SetVisible(true);
  TickEmbedSubs(form);
}

std::string ListedLanguages(const Form1& form) {
  std::string text;
  for (const std::string& item : form.cmbAudio.Items()) text += (text.empty() ? "" : ", ") + TrimBlanks(item);
  return text;
}

// The audio track asked for, chosen as a click in the list would. False with the usage error.
bool ChooseAudio(const CliOptions& o, Form1& form, std::string& error) {
  const int count = form.cmbAudio.ListCount();
  const std::string there = count == 0 ? "it has no audio track" : "its audio tracks: " + ListedLanguages(form);
  int row = -1;
  if (o.audio != 0) {
    row = o.audio <= count ? o.audio - 1 : -1;
    if (row < 0) error = "--audio " + std::to_string(o.audio) + ": the source has no audio track " +
                         std::to_string(o.audio) + " (" + there + ")";
  } else {
    for (int i = 0; i < count && row < 0; ++i) {
      if (TrimBlanks(form.cmbAudio.Items()[static_cast<size_t>(i)]) == o.audioLang) row = i;
    }
    if (row < 0) error = "--audio-lang " + o.audioLang + ": the source has no audio track in that language (" +
                         there + ")";
  }
  if (row < 0) return false;
  form.cmbAudio.SetListIndex(row);
  form.cmbAudio_Click();  // also when the row was chosen already: the track fields follow it
  return true;
}

// The sound left out on request: every road then makes the film as for a source without audio.
void LeaveOutSound(Form1& form) {
  form.app.sourceInfo.audioTrackCount = 0;
  form.txtS2.SetText("");
}

bool ApplyAudioChoice(const CliOptions& o, Form1& form, const std::string& source, bool* usageError) {
  if (o.audioNone) LeaveOutSound(form);
  if (o.audio == 0 && o.audioLang.empty()) return true;
  std::string error;
  if (ChooseAudio(o, form, error)) return true;
  std::cerr << "parvela-cli: " << source << ": " << error << "\n";
  if (usageError) *usageError = true;
  return false;
}

void ApplyRecodeAndSubtitles(const CliOptions& o, Form1& form, const std::string& source) {
  if (!o.recode.empty()) {
    form.cmdConv.SetListIndex(o.recode == "mpeg2" ? 0 : o.recode == "h264" ? 1 : 2);
    form.chkMP2.SetValue(1);
  }
  if (!o.subs.empty()) {
    // As "Browse Subs" does: subtitles are burnt into re-encoded video.
    form.cmbSubs.SetVisible(false);
    form.lblSRTFound.SetVisible(false);
    TickEmbedSubs(form);
    form.strSubBrowse = o.subs;
  }
  if (source.empty()) return;  // the source's own subtitles are known after its inspection
  if (o.srtBeside) UseSrtBeside(form, source);
  if (o.subTrack == 0) return;
  if (o.subTrack > form.cmbSubs.ListCount()) {
    ShowSubtitleError(form, "The source has no subtitle track " + std::to_string(o.subTrack) + ": it lists " +
                                std::to_string(form.cmbSubs.ListCount()) + ".");
    return;
  }
  // The source's own track wins over an SRT lying beside it.
  form.lblSRTFound.SetVisible(false);
  TickEmbedSubs(form);
  form.cmbSubs.SetListIndex(o.subTrack - 1);
}

}  // namespace

void ApplyCliOptions(const CliOptions& o, Form1& form, bool* usageError) {
  if (!o.output.empty()) form.txtTMP.SetText(o.output);
  if (o.split >= 0) form.Check1.SetValue(o.split);
  if (o.dvd) form.chkDVD.SetValue(1);
  if (o.safeSync) form.chkFF.SetValue(1);
  if (o.vob >= 0) form.chkVob.SetValue(o.vob);
  if (o.fps25) form.chk25.SetValue(1);
  ApplyRecodeAndSubtitles(o, form, "");
  const bool audio = o.audio != 0 || o.audioNone || !o.audioLang.empty();
  if (!o.recode.empty() || !o.subs.empty() || o.subTrack != 0 || o.srtBeside || audio) {
    form.app.afterInspection = [o, &form, usageError](const std::string& source) {
      ApplyRecodeAndSubtitles(o, form, source);
      return ApplyAudioChoice(o, form, source, usageError);
    };
  }
}

void MakePathsAbsolute(CliOptions& o, const std::string& cwd) {
  const std::string base = cwd.empty() || cwd.back() == kSep ? cwd : cwd + kSep;
  std::vector<std::string*> paths = {&o.argumentText, &o.output, &o.subs};
  for (std::string& word : o.words) paths.push_back(&word);  // the files of --plan
  for (std::string* path : paths) {
    // Rooted paths stay: "/films" here, "D:\films" and "\films" in the Windows build.
    const std::filesystem::path given(*path);
    if (!path->empty() && !given.has_root_directory() && !given.has_root_name()) *path = base + *path;
  }
}

std::string CurrentFolder() {
  std::error_code error;
  const std::string cwd = std::filesystem::current_path(error).string();
  return error || cwd.empty() ? std::string(1, kSep) : cwd;
}

bool IsConvertibleArgument(const std::string& text) {
  if (FolderExists(text)) return true;
  return text.size() >= 4 && Upper(text.substr(text.size() - 4)) == ".MKV" && FileIsPresent(text);
}

}  // namespace parvela
