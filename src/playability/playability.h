// Will a finished file play on the consoles? Reads the file's streams (ffprobe's report and the
// headers it carries) and judges them against what each console's media player accepts.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace parvela {

class ProcessRunner;
struct Application;

namespace playability {

enum class Container { Unknown, Mp4, Matroska, ProgramStream, TransportStream, Avi };

// One stream as the rules see it. Unknown numbers are 0 (refFrames: -1).
struct Stream {
  enum class Kind { Video, Audio, Other };
  Kind kind = Kind::Other;
  std::string codec;    // ffprobe's codec name; "pcm" for every kind of LPCM
  std::string profile;  // ffprobe's profile name: "High", "LC", "Advanced Simple Profile"
  int level = 0;        // H.264 level_idc, from the sequence parameter set
  int width = 0, height = 0;
  int refFrames = -1;   // H.264 max_num_ref_frames, from the sequence parameter set
  double fps = 0;       // frames a second, as the container times them
  bool interlaced = false;  // H.264 coded as fields or frames (frame_mbs_only_flag 0)
  int channels = 0;
  bool gmc = false;     // MPEG-4 Visual global motion compensation
  bool qpel = false;    // MPEG-4 Visual quarter-pixel motion
};

struct MediaFile {
  Container container = Container::Unknown;
  std::string formatName;  // ffprobe's name of the format, to name one the rules do not know
  bool indexFirst = true;  // an MP4's index (moov) comes before its media data (mdat)
  std::vector<Stream> streams;
};

// One console's answer: it plays the file when no reason is left.
struct ConsoleVerdict {
  std::string console;               // "PS3", "Xbox 360"
  std::vector<std::string> reasons;  // every limit the file breaks, in table order
  bool Plays() const { return reasons.empty(); }
};

struct Verdict {
  std::vector<ConsoleVerdict> consoles;  // PS3 first, then Xbox 360
  std::string unknownBecause;            // set when the file could not be judged at all
  bool PlaysAnywhere() const;
  // Why no console plays the file, as the verdict line says it; empty when one does or when the
  // file could not be judged.
  std::string NoneBecause() const;
  // "Plays on: PS3, Xbox 360", "Plays on: PS3 (Xbox 360: reason)", "Plays on: none (reason)",
  // "Plays on: unknown (reason)".
  std::string Line() const;
};

// The rules alone, on a description of the file.
Verdict Judge(const MediaFile& file);
// Every console refuses, for the same reason (a file that cannot be read).
Verdict Refused(const std::string& reason);

// Describes a file from ffprobe's JSON report (written to reportPath, removed after reading)
// and from its own bytes: the H.264 sequence parameter set, the MPEG-4 Visual VOL header, the
// order of an MP4's top-level boxes. False with a reason when the file cannot be read.
bool DescribeFile(ProcessRunner& runner, const std::string& ffprobePath, const std::string& reportPath,
                  const std::string& path, MediaFile& file, std::string& error);

// The front ends' one call: describes and judges a finished file with the application's tools.
// The report goes to "probe.json" in the state folder, or to `reportPath` when given (a run
// that does not hold the state folder's lock).
Verdict CheckFile(Application& app, const std::string& path, const std::string& reportPath = {});

// Judges each finished file once: the conversion's safety net asks before it cleans up, the
// front end shows the same verdict afterwards.
class VerdictMemo {
 public:
  explicit VerdictMemo(Application& app) : app_(app) {}
  std::string NoneBecause(const std::string& path) { return Of(path).NoneBecause(); }
  // The file's verdict, judged now unless it already was; forgotten after this call, as the
  // file may be made afresh.
  Verdict Take(const std::string& path);

 private:
  const Verdict& Of(const std::string& path);
  Application& app_;
  std::map<std::string, Verdict> verdicts_;
};

}  // namespace playability
}  // namespace parvela
