#include "app/cli_options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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
    } else if (a == "--vob") {
      o.vob = true;
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
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  // The shell has split and unquoted the path already: join its words back into one text.
  for (size_t i = 0; i < words.size(); ++i) o.argumentText += (i ? " " : "") + words[i];
  return true;
}

std::string CliUsage() {
  return "Usage: parvela-cli [options] FILE.mkv|FOLDER\n"
         "Converts a Matroska file, or every MKV file of a folder, into a file the PS3 and the\n"
         "Xbox 360 play (by default an MP4 with the source's H.264 video and AAC audio).\n"
         "\n"
         "Options:\n"
         "  -o, --output DIR          output folder (default: the one used last time)\n"
         "      --recode mpeg2|h264|xvid  re-encode the video\n"
         "      --vob                 mux to a PS3 transport stream (.mpg)\n"
         "      --safe-sync           encode the audio with FFmpeg straight from the source track\n"
         "      --25fps               25 frames per second output\n"
         "      --split, --no-split   split sources above 4 GB (saved; on by default)\n"
         "      --dvd                 split into pieces that fit a 4.7 GB DVD\n"
         "      --subs FILE           burn this subtitle file into re-encoded video\n"
         "  -v, --verbose             show the tools' own output\n"
         "  -h, --help                show this text\n"
         "      --version             show the version\n"
         "\n"
         "Exit status: 0 when every conversion ended without an error message, 1 when one\n"
         "showed an error, 2 for a usage error.\n";
}

void ApplyCliOptions(const CliOptions& o, Form1& form) {
  if (!o.output.empty()) form.txtTMP.SetText(o.output);
  if (o.split >= 0) form.Check1.SetValue(o.split);
  if (o.dvd) form.chkDVD.SetValue(1);
  if (o.safeSync) form.chkFF.SetValue(1);
  if (o.vob) form.chkVob.SetValue(1);
  if (o.fps25) form.chk25.SetValue(1);
  if (!o.recode.empty()) {
    form.cmdConv.SetListIndex(o.recode == "mpeg2" ? 0 : o.recode == "h264" ? 1 : 2);
    form.chkMP2.SetValue(1);
  }
  if (!o.subs.empty()) {
    // As "Browse Subs" does: subtitles are burnt into re-encoded video.
    form.chkMP2.SetEnabled(true);
    form.chkSubs.SetEnabled(true);
    form.chkSubs.SetVisible(true);
    form.chkMP2.SetValue(1);
    form.chkSubs.SetValue(1);
    form.strSubBrowse = o.subs;
  }
}

void MakePathsAbsolute(CliOptions& o, const std::string& cwd) {
  const std::string base = cwd.empty() || cwd.back() == kSep ? cwd : cwd + kSep;
  for (std::string* path : {&o.argumentText, &o.output, &o.subs}) {
    if (!path->empty() && (*path)[0] != kSep) *path = base + *path;
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
