#include "aac_parallel.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include "aac_join.h"
#include "mapped_file.h"

namespace parvela::toolkit {

namespace {

constexpr size_t kFrame = 1024;         // samples an AAC frame holds
constexpr size_t kLeadFrames = 32;      // encoded before a piece's start, so the encoder settles
constexpr size_t kTailFrames = 4;       // encoded after its end: the transform and the look-ahead
constexpr size_t kMinPieceFrames = 96;  // shorter pieces would be mostly overlap

// What the encode asks for: the input and output, and the options the pieces repeat.
struct AacCommand {
  std::string input, output;
  Args options;
};

// Only the classic line qualifies: "-f wav -i X -acodec aac -ac N -ab R Y.aac", any order of the
// encoder options (and the down-mix's matrix limit, which works sample by sample). A resampler or a filter would carry state across the cuts.
std::optional<AacCommand> ReadCommand(const Args& a) {
  static const std::set<std::string> kCodec = {"-acodec", "-c:a", "-codec:a"};
  static const std::set<std::string> kKept = {"-ac", "-ab", "-b:a", "-ba", "-rematrix_maxval"};
  AacCommand c;
  size_t i = 0;
  if (a.size() >= 2 && a[0] == "-f" && a[1] == "wav") i = 2;
  if (i + 1 >= a.size() || a[i] != "-i") return std::nullopt;
  c.input = a[i + 1];
  bool aac = false;
  for (i += 2; i + 1 < a.size(); i += 2) {
    if (kCodec.count(a[i]) && a[i + 1] == "aac") {
      aac = true;
    } else if (!kKept.count(a[i])) {
      return std::nullopt;
    }
    c.options.insert(c.options.end(), {a[i], a[i + 1]});
  }
  if (!aac || i + 1 != a.size() || !EndsWithNoCase(a[i], ".aac")) return std::nullopt;
  c.output = a[i];
  return c;
}

uint32_t Le(std::string_view s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
  return v;
}

uint64_t Le64(std::string_view s, size_t at) { return Le(s, at, 4) | (uint64_t{Le(s, at + 4, 4)} << 32); }

struct WavLayout {
  size_t dataOffset = 0, samples = 0, blockAlign = 0;
  uint32_t rate = 0;
  size_t ds64 = 0;  // the RF64 size chunk of a file past 4 GB; 0 in a plain RIFF file
};

// PCM at a rate the encoder takes as it is, so that frames fall on the same samples in every piece.
std::optional<WavLayout> ReadWavLayout(std::string_view f) {
  static const std::set<uint32_t> kRates = {96000, 88200, 64000, 48000, 44100, 32000,
                                            24000, 22050, 16000, 12000, 11025, 8000};
  if (f.size() < 12 || (f.substr(0, 4) != "RIFF" && f.substr(0, 4) != "RF64") || f.substr(8, 4) != "WAVE") {
    return std::nullopt;
  }
  WavLayout w;
  bool format = false;
  uint64_t bigData = 0;
  for (size_t at = 12; at + 8 <= f.size();) {
    uint32_t size = Le(f, at + 4, 4);
    if (f.substr(at, 4) == "ds64" && f.substr(0, 4) == "RF64" && at + 8 + 16 <= f.size()) {
      w.ds64 = at;
      bigData = Le64(f, at + 8 + 8);
    } else if (f.substr(at, 4) == "fmt " && at + 8 + 16 <= f.size()) {
      uint32_t tag = Le(f, at + 8, 2);
      w.blockAlign = Le(f, at + 8 + 12, 2);
      w.rate = Le(f, at + 8 + 4, 4);
      format = (tag == 1 || tag == 3 || tag == 0xFFFE) && w.blockAlign > 0 && kRates.count(Le(f, at + 8 + 4, 4));
    } else if (f.substr(at, 4) == "data") {
      if (!format || (f.substr(0, 4) == "RF64" && w.ds64 == 0)) return std::nullopt;
      w.dataOffset = at + 8;
      // A writer that could not go back leaves 0 or all ones: the data then runs to the end.
      uint64_t bytes = f.size() - w.dataOffset, declared = w.ds64 ? bigData : size;
      if (declared != 0 && declared != 0xFFFFFFFFu && declared < bytes) bytes = declared;
      w.samples = static_cast<size_t>(bytes / w.blockAlign);
      return w;
    }
    at += 8 + size + (size & 1);
  }
  return std::nullopt;
}

size_t PieceCount(size_t samples) {
  size_t pieces = 1;
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) pieces = static_cast<size_t>(CPU_COUNT(&set));
  if (const char* forced = std::getenv("PARVELA_AAC_PIECES")) pieces = std::strtoul(forced, nullptr, 10);
  size_t room = samples / kFrame / kMinPieceFrames;
  return std::max<size_t>(1, std::min(pieces, room));
}

// A piece feeds samples [from, to) to its encoder; its own range starts at `start`.
struct Piece {
  size_t from = 0, to = 0, start = 0;
  std::string path, header;
  std::string_view body;
  size_t bodyOffset = 0, released = 0;  // in the WAV file
  int pid = 0, fd = -1;
  size_t written = 0;
  std::string adts;
  std::vector<AdtsFrame> frames;
};

std::vector<Piece> PlanPieces(std::string_view wav, const WavLayout& w, size_t count, const std::string& output) {
  std::vector<Piece> pieces(count);
  size_t frames = w.samples / kFrame;
  for (size_t j = 0; j < count; ++j) pieces[j].start = frames * j / count * kFrame;
  for (size_t j = 0; j < count; ++j) {
    Piece& p = pieces[j];
    p.from = j == 0 ? 0 : p.start - kLeadFrames * kFrame;
    p.to = j + 1 == count ? w.samples : pieces[j + 1].start + kTailFrames * kFrame;
    p.path = output + ".piece" + std::to_string(j) + ".part";
    p.bodyOffset = p.released = w.dataOffset + p.from * w.blockAlign;
    p.body = wav.substr(p.bodyOffset, (p.to - p.from) * w.blockAlign);
    // The WAV's own header, with the sizes of this piece: the encoder reads it as it reads the file.
    p.header = std::string(wav.substr(0, w.dataOffset));
    auto put = [&p](size_t at, size_t value) {
      for (int i = 0; i < 4; ++i) p.header[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    // A piece of an RF64 file is small enough for plain RIFF: its size chunk becomes filler.
    if (w.ds64) p.header.replace(0, 4, "RIFF"), p.header.replace(w.ds64, 4, "JUNK");
    put(4, w.dataOffset - 8 + p.body.size());
    put(w.dataOffset - 4, p.body.size());
  }
  return pieces;
}

bool StartEncoders(std::string_view role, const AacCommand& c, std::vector<Piece>& pieces, int& failure) {
  for (Piece& p : pieces) {
    Args argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "wav", "-i", "pipe:0"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), {"-f", "adts", p.path});
    if ((failure = StartProgramFed(role, argv, p.pid, p.fd)) != 0) return false;
    fcntl(p.fd, F_SETFL, fcntl(p.fd, F_GETFL) | O_NONBLOCK);
  }
  return true;
}

// Writes every piece to its encoder at once, as fast as each one takes it, and tells how far
// the whole has come (`seconds` long) at every hundredth.
void FeedEncoders(std::vector<Piece>& pieces, const MappedFile& wav, double seconds) {
  std::signal(SIGPIPE, SIG_IGN);
  constexpr size_t kChunk = 1 << 20;
  size_t all = 0;
  for (const Piece& p : pieces) all += p.header.size() + p.body.size();
  int told = -1;
  bool spliceWorks = true;
  for (;;) {
    size_t fed = 0;
    for (const Piece& p : pieces) fed += p.written;
    const int hundredths = all == 0 ? 100 : static_cast<int>(fed * 100 / all);
    if (hundredths != told && seconds > 0) TellFfmpegTime(seconds * hundredths / 100), told = hundredths;
    std::vector<pollfd> waiting;
    for (Piece& p : pieces) {
      if (p.fd >= 0) waiting.push_back({p.fd, POLLOUT, 0});
    }
    if (waiting.empty() || (poll(waiting.data(), waiting.size(), -1) < 0 && errno != EINTR)) {
      if (told >= 0) std::fputc('\n', stderr);  // as ffmpeg ends its last progress line
      return;
    }
    for (Piece& p : pieces) {
      if (p.fd < 0) continue;
      size_t total = p.header.size() + p.body.size();
      std::string_view next = p.written < p.header.size() ? std::string_view(p.header).substr(p.written)
                                                           : p.body.substr(p.written - p.header.size());
      ssize_t n = -1;
      if (p.written >= p.header.size() && spliceWorks) {
        // The samples go from the page cache straight into the pipe: no copy through this process.
        n = wav.SpliceInto(p.fd, p.bodyOffset + (p.written - p.header.size()), std::min(next.size(), kChunk));
        if (n == 0 || (n < 0 && errno == EINVAL)) spliceWorks = false;
      }
      if (p.written < p.header.size() || !spliceWorks) n = write(p.fd, next.data(), std::min(next.size(), kChunk));
      if (n > 0) p.written += static_cast<size_t>(n);
      size_t sent = p.bodyOffset + (p.written > p.header.size() ? p.written - p.header.size() : 0);
      if (sent - p.released >= kChunk * 16) wav.ReleaseReadOnce(p.released, sent), p.released = sent;
      bool stop = (n < 0 && errno != EAGAIN && errno != EINTR) || p.written == total;
      if (stop) close(p.fd), p.fd = -1;
    }
  }
}

// The pieces' frames, one after the other, each from where it takes over.
int JoinPieces(std::string_view role, std::vector<Piece>& pieces, const std::string& output) {
  std::vector<PlacedFrames> placed;
  for (Piece& p : pieces) {
    std::error_code ec;
    auto size = std::filesystem::file_size(p.path, ec);
    p.adts = ec ? std::string() : ReadHead(p.path, static_cast<size_t>(size));
    if (!SplitAdts(p.adts, p.frames) || p.frames.empty()) return Fail(role, "the encoder wrote no ADTS stream");
    // An encoder whose writes fail (a full disk) still ends with status 0, its stream cut short.
    if (p.frames.size() < (p.to - p.from + kFrame - 1) / kFrame) {
      return Fail(role, p.path + " holds " + std::to_string(p.frames.size()) + " frames, fewer than its " +
                            std::to_string(p.to - p.from) + " samples need: the disk may be full");
    }
    placed.push_back({&p.frames, p.from / kFrame});
  }
  // Frame k of the result decodes to samples [(k - 1) * 1024, k * 1024): the encoder primes one frame.
  std::vector<size_t> joins = {0};
  for (size_t j = 1; j < pieces.size(); ++j) {
    size_t start = pieces[j].start / kFrame;
    joins.push_back(ChooseJoin(placed[j - 1], placed[j], start + 1, start + 1 - kLeadFrames / 2, start + kTailFrames - 1));
  }
  joins.push_back(placed.back().first + pieces.back().frames.size());
  FILE* out = std::fopen(output.c_str(), "wb");
  if (!out) return Fail(role, "cannot write " + output);
  bool ok = true;
  for (size_t j = 0; j < pieces.size(); ++j) {
    const auto& f = pieces[j].frames;
    size_t first = joins[j] - placed[j].first, last = joins[j + 1] - placed[j].first - 1;
    if (last >= f.size() || first > last) {
      ok = false;
      break;
    }
    size_t begin = f[first].offset, end = f[last].offset + f[last].size;
    ok = std::fwrite(pieces[j].adts.data() + begin, 1, end - begin, out) == end - begin;
    if (!ok) break;
  }
  ok = std::fclose(out) == 0 && ok;
  if (!ok) std::remove(output.c_str());
  return ok ? 0 : Fail(role, "cannot join the encoded pieces into " + output);
}

int EncodePieces(std::string_view role, const AacCommand& c, std::vector<Piece>& pieces, const MappedFile& wav,
                 double seconds) {
  int failure = 0;
  bool started = StartEncoders(role, c, pieces, failure);
  if (started) FeedEncoders(pieces, wav, seconds);
  for (Piece& p : pieces) {
    if (p.fd >= 0) close(p.fd);
    if (p.pid > 0) {
      int code = WaitProgram(p.pid);
      if (failure == 0 && code != 0) failure = code;
    }
  }
  if (failure == 0 && started) failure = JoinPieces(role, pieces, c.output);
  for (const Piece& p : pieces) std::remove(p.path.c_str());
  return failure;
}

}  // namespace

std::optional<int> EncodeAacInPieces(std::string_view role, const Args& translated) {
  std::optional<AacCommand> command = ReadCommand(translated);
  if (!command || StartsWith(command->input, "pipe:") || !IsFile(command->input)) return std::nullopt;
  MappedFile wav;
  if (!wav.Open(command->input)) return std::nullopt;
  std::optional<WavLayout> layout = ReadWavLayout(wav.bytes());
  if (!layout) return std::nullopt;
  size_t count = PieceCount(layout->samples);
  // A piece's sizes must fit the 32-bit fields of its header.
  while (count >= 2 && layout->samples / count * layout->blockAlign > 0xF0000000u) ++count;
  if (count < 2) return std::nullopt;
  std::vector<Piece> pieces = PlanPieces(wav.bytes(), *layout, count, command->output);
  const double seconds = layout->rate > 0 ? static_cast<double>(layout->samples) / layout->rate : 0;
  TellFfmpegDuration(seconds);
  return EncodePieces(role, *command, pieces, wav, seconds);
}

}  // namespace parvela::toolkit
