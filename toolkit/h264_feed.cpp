#include "h264_feed.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include "gather_writer.h"
#include "streams/h264_sps.h"

namespace parvela::toolkit {

namespace {

// Microsecond timestamps: a 1001/24000 s picture rounds back exactly at the MP4's timescale.
constexpr uint64_t kTimestampScale = 1000;
constexpr int64_t kMaxRelative = 32767;  // a block's time is 16 bits from its cluster's
constexpr size_t kMaxPicturesPerCluster = 64;

std::string Id(uint32_t id) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if ((id >> shift) != 0 || !out.empty()) out.push_back(static_cast<char>((id >> shift) & 0xFF));
  }
  return out;
}

std::string Size(uint64_t size) {
  int length = 1;
  while (length < 8 && size >= (uint64_t{1} << (7 * length)) - 1) ++length;
  std::string out(static_cast<size_t>(length), '\0');
  for (int i = length - 1; i >= 0; --i, size >>= 8) out[static_cast<size_t>(i)] = static_cast<char>(size & 0xFF);
  out[0] = static_cast<char>(out[0] | (0x80 >> (length - 1)));
  return out;
}

std::string Element(uint32_t id, std::string_view payload) { return Id(id) + Size(payload.size()) + std::string(payload); }

std::string Unsigned(uint32_t id, uint64_t value) {
  std::string bytes;
  do {
    bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
    value >>= 8;
  } while (value != 0);
  return Element(id, bytes);
}

std::string Header(const H264Timeline& t, const FeedFormat& f) {
  std::string ebml = Unsigned(0x4286, 1) + Unsigned(0x42F7, 1) + Unsigned(0x42F2, 4) + Unsigned(0x42F3, 8) +
                     Element(0x4282, "matroska") + Unsigned(0x4287, 4) + Unsigned(0x4285, 2);
  std::string info = Unsigned(0x2AD7B1, kTimestampScale) + Element(0x4D80, "parvela-tools") + Element(0x5741, "parvela-tools");
  std::string video = Unsigned(0xB0, t.width) + Unsigned(0xBA, t.height);
  if (f.displayWidth && f.displayHeight) video += Unsigned(0x54B0, f.displayWidth) + Unsigned(0x54BA, f.displayHeight);
  auto duration = static_cast<uint64_t>((2'000'000'000LL * f.rateDen + f.rateNum) / (2LL * f.rateNum));
  std::string track = Unsigned(0xD7, 1) + Unsigned(0x73C5, 1) + Unsigned(0x83, 1) + Unsigned(0x9C, 0) +
                      Element(0x86, "V_MPEG4/ISO/AVC") + Unsigned(0x23E383, duration) + Element(0x63A2, t.avcC) +
                      Element(0xE0, video);
  // The segment's size is unknown, as in a live stream: it ends with the pipe.
  return Element(0x1A45DFA3, ebml) + Id(0x18538067) + std::string("\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8) +
         Element(0x1549A966, info) + Element(0x1654AE6B, Element(0xAE, track));
}

int64_t Timestamp(uint32_t shownAs, const FeedFormat& f) {
  int64_t ticks = int64_t{1'000'000'000} / static_cast<int64_t>(kTimestampScale);
  return (2 * ticks * shownAs * f.rateDen + f.rateNum) / (2 * f.rateNum);
}

uint64_t PictureBytes(const H264Timeline& t, const H264Picture& p) {
  uint64_t bytes = 0;
  for (uint32_t n = p.firstNal; n < p.firstNal + p.nalCount; ++n) bytes += 4 + t.nals[n].size;
  return bytes;
}

std::string BigEndian32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// Pictures [first, end) in one cluster, NAL units with four-byte lengths instead of start codes.
void WriteCluster(GatherWriter& out, std::string_view stream, const H264Timeline& t, const FeedFormat& f,
                  size_t first, size_t end) {
  int64_t base = Timestamp(t.pictures[first].shownAs, f);
  std::string time = Unsigned(0xE7, static_cast<uint64_t>(base));
  uint64_t size = time.size();
  std::vector<uint64_t> blockSizes;
  for (size_t i = first; i < end; ++i) {
    blockSizes.push_back(4 + PictureBytes(t, t.pictures[i]));
    size += 1 + Size(blockSizes.back()).size() + blockSizes.back();
  }
  out.Copy(Id(0x1F43B675) + Size(size) + time);
  for (size_t i = first; i < end; ++i) {
    const H264Picture& p = t.pictures[i];
    auto relative = static_cast<int16_t>(Timestamp(p.shownAs, f) - base);
    char head[4] = {static_cast<char>(0x81), static_cast<char>(static_cast<uint16_t>(relative) >> 8),
                    static_cast<char>(relative & 0xFF), static_cast<char>(p.key ? 0x80 : 0)};
    out.Copy(Id(0xA3) + Size(blockSizes[i - first]) + std::string(head, 4));
    for (uint32_t n = p.firstNal; n < p.firstNal + p.nalCount; ++n) {
      out.Copy(BigEndian32(t.nals[n].size));
      out.Point(stream.substr(t.nals[n].offset, t.nals[n].size));
    }
  }
}

}  // namespace

bool WriteMatroskaStream(int fd, std::string_view stream, const H264Timeline& timeline, const FeedFormat& format,
                         const std::function<void(size_t)>& sent) {
  // A reader that quits early must give a failed write, not end this process.
  std::signal(SIGPIPE, SIG_IGN);
  GatherWriter out(fd);
  out.Copy(Header(timeline, format));
  const auto& pictures = timeline.pictures;
  constexpr size_t kReport = 16 << 20;
  size_t reported = 0;
  for (size_t first = 0; first < pictures.size() && out.ok();) {
    int64_t base = Timestamp(pictures[first].shownAs, format);
    size_t end = first + 1;
    while (end < pictures.size() && end - first < kMaxPicturesPerCluster &&
           std::abs(Timestamp(pictures[end].shownAs, format) - base) <= kMaxRelative) {
      ++end;
    }
    WriteCluster(out, stream, timeline, format, first, end);
    const NalRange& last = timeline.nals[pictures[end - 1].firstNal + pictures[end - 1].nalCount - 1];
    if (sent && last.offset + last.size - reported >= kReport && out.Flush()) sent(reported = last.offset + last.size);
    first = end;
  }
  return out.Flush();
}

int RunWithVideoFeed(std::string_view role, const Args& argv, std::string_view stream, const H264Timeline& timeline,
                     const FeedFormat& format, const std::function<void(size_t)>& sent) {
  int pid = 0, input = -1;
  if (int failed = StartProgramFed(role, argv, pid, input)) return failed;
  bool whole = WriteMatroskaStream(input, stream, timeline, format, sent);
  close(input);
  int code = WaitProgram(pid);
  if (code == 0 && !whole) return Fail(role, argv[0] + " stopped reading the video before its end");
  return code;
}

bool PipedVideo::Open(std::string_view role, const std::string& path, std::pair<long, long> rate,
                      std::pair<long, long> aspect) {
  if (const char* wrap = std::getenv("PARVELA_MP4BOX_WRAP"); wrap && std::string(wrap) == "1") return false;
  if (!file_.Open(path) || !SpsFromByteStream(file_.bytes().substr(0, 1 << 20))) return false;
  std::string why;
  size_t released = 0;
  auto release = [this, &released](size_t n) { file_.Release(released, n), released = n; };
  if (!BuildTimeline(file_.bytes(), timeline_, why, release)) {
    std::cerr << role << ": " << why << " in " << path << ": wrapping it with mkvmerge" << std::endl;
    return false;
  }
  format_.rateNum = rate.first, format_.rateDen = rate.second;
  if (aspect.first != aspect.second) {
    // The display size that gives the pixels the aspect asked for, in whole numbers.
    long w = static_cast<long>(timeline_.width) * aspect.first, h = static_cast<long>(timeline_.height) * aspect.second;
    long g = std::gcd(w, h);
    format_.displayWidth = static_cast<unsigned>(w / g), format_.displayHeight = static_cast<unsigned>(h / g);
  }
  return true;
}

bool PipedVideo::Track(Mp4Track& track) {
  if (format_.displayWidth != 0 || !H264Track(file_.bytes(), timeline_, format_.rateNum, format_.rateDen, track)) {
    return false;
  }
  track.sent = [this, released = size_t{0}](size_t pictures) mutable {
    const H264Picture& last = timeline_.pictures[pictures - 1];
    const NalRange& nal = timeline_.nals[last.firstNal + last.nalCount - 1];
    file_.Release(released, nal.offset + nal.size);
    released = (nal.offset + nal.size) / 4096 * 4096;  // the page it ends in goes with the next
  };
  return true;
}

int PipedVideo::Run(std::string_view role, const Args& argv) {
  size_t released = 0;
  return RunWithVideoFeed(role, argv, file_.bytes(), timeline_, format_, [this, &released](size_t n) {
    file_.Release(released, n), released = n;
  });
}

}  // namespace parvela::toolkit
