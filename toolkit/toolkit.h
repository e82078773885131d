// parvela-tools: one program standing in for the Windows tools Parvela drives. Each role gets
// its arguments already split and runs Debian's programs directly, never through a shell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace parvela::toolkit {

using Args = std::vector<std::string>;

// The roles; `args` holds the arguments after the program name.
int MkvinfoMain(const Args& args);
int MkvextractMain(const Args& args);
int MkvmergeMain(const Args& args);
int FfmpegMain(const Args& args);
int FaadMain(const Args& args);
int SoundstretchMain(const Args& args);
int ValdecMain(const Args& args);
int BeSweetMain(const Args& args);
int Mp4BoxMain(const Args& args);
int X264CheckerMain(const Args& args);
int AftenMain(const Args& args);
int TsMuxerMain(const Args& args);
int H264InfoMain(const Args& args);
int MencoderMain(const Args& args);
int AvimuxMain(const Args& args);
int FfprobeMain(const Args& args);

// Exit codes of the roles themselves (a program they run passes its own code on).
inline constexpr int kUsageError = 2;
inline constexpr int kInputMissing = 3;
inline constexpr int kNotInstalled = 127;

// Prints "<role>: error: <message>" and returns `code`.
int Fail(std::string_view role, std::string_view message, int code = kUsageError);
// The error for an input that is not there; names the file.
int FailMissing(std::string_view role, const std::string& path);

// A command as a POSIX shell would need it typed: arguments quoted only where they must be.
std::string CommandText(const Args& argv);

// Runs argv[0] (found on PATH) with the rest as arguments, after printing "<role>: <command>"
// on standard error; standard streams are inherited. Returns its exit code, 128+signal when it
// was killed, kNotInstalled (with a message) when the program cannot be found.
int RunProgram(std::string_view role, const Args& argv);
// What a run may leave behind when it fails: a tool stopped midway (a full disk, a file-size
// limit) leaves a shortened file that would pass for a finished one.
struct OutputGuard {
  std::vector<std::string> outputs, inputs;
  int failureFrom = 1;  // the lowest exit code that is a failure
};
// RunProgram, and when the program fails, removes each of `outputs` it wrote to: regular files
// changed since the start that are none of `inputs`.
int RunProgramLeavingWholeFiles(std::string_view role, const Args& argv, const OutputGuard& guard);
// The same for `producer | consumer`: the consumer's exit code, or the producer's when the
// consumer succeeded on what a failed producer gave it.
int RunPipedLeavingWholeFiles(std::string_view role, const Args& producer, const Args& consumer,
                              const OutputGuard& guard);
// The running time ffprobe gives a media file, in seconds; 0 when it gives none.
// `announce` false leaves the ffprobe run out of the role's account of what it runs (a look
// that only serves the progress it reports).
double MediaDuration(std::string_view role, const std::string& path, bool announce = true);
// ffmpeg's own progress output on standard error, for a reader of it: the input's
// "  Duration: 00:01:02.50, start: 0.000000" line, then "time=00:00:31.25" lines redrawn.
void TellFfmpegDuration(double seconds);
void TellFfmpegTime(double seconds);
// The shortest running time of `inputs`, of those that have one; 0 when none has.
double ShortestRunningTime(std::string_view role, const std::vector<std::string>& inputs);
// A film of `made` seconds ends well before the `expected` ones (both known).
bool EndsEarly(double made, double expected);
// The disk (or the file-size limit) has no room left for `output` to grow: its writes failed.
bool NoRoomLeft(const std::string& output);
// True, after an error message, when `output` ends well before the shortest of `inputs` that
// has a running time and the disk has no room left: what a tool that goes on after failed writes
// leaves. A film cut short by its source's own timestamps is not one.
bool CutShort(std::string_view role, const std::string& output, const std::vector<std::string>& inputs);
// The same, with the program's standard output collected into `out` (small outputs only).
int RunProgramCapture(std::string_view role, const Args& argv, std::string& out, bool announce = true);

// Starts argv as RunProgram does, with its standard input the read end of a new pipe; `input`
// gets the write end (the caller closes it). 0, or the code of a program that cannot start.
int StartProgramFed(std::string_view role, const Args& argv, int& pid, int& input);
// The exit code of a program started with StartProgramFed, as RunProgram gives it.
int WaitProgram(int pid);

// `mkvmerge -J` of a Matroska (or any mkvmerge-readable) file. False after a printed error; `code`
// then holds the exit code to return.
bool IdentifyFile(std::string_view role, const std::string& path, nlohmann::json& info, int& code);

bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
std::string ToLower(std::string_view text);
bool StartsWith(std::string_view text, std::string_view head);
bool EndsWithNoCase(std::string_view text, std::string_view tail);
// The folder part of a path with its trailing '/', or "./" when there is none.
std::string FolderOf(const std::string& path);
// Moves a finished file into place; across file systems by copying.
bool MoveFile(const std::string& from, const std::string& to);
// Reads up to `limit` bytes from the start of a file in one go.
std::string ReadHead(const std::string& path, size_t limit);

// The path the program was started under: the tool link's path, or the role name given to
// parvela-tools. A role that keeps its settings beside itself looks there.
const std::string& InvokedAs();
void SetInvokedAs(std::string path);

}  // namespace parvela::toolkit
