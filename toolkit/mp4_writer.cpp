#include "mp4_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>

#include "aac_join.h"
#include "fsutil/write_behind.h"

namespace parvela::toolkit {

namespace {

constexpr uint32_t kMovieTimescale = 1000;  // the movie's clock: milliseconds
constexpr double kChunkSeconds = 0.5;       // each track's samples go out in half-second chunks
constexpr uint32_t kAacFrame = 1024;

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v >> 8));
  s.push_back(static_cast<char>(v));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v >> 16);
  Put16(s, v & 0xFFFF);
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v >> 32));
  Put32(s, static_cast<uint32_t>(v));
}
void PutZeros(std::string& s, size_t n) { s.append(n, '\0'); }

std::string Box(const char* type, std::string_view payload) {
  std::string box;
  Put32(box, static_cast<uint32_t>(8 + payload.size()));
  box.append(type, 4);
  box.append(payload);
  return box;
}

std::string FullBox(const char* type, uint32_t versionAndFlags, std::string_view payload) {
  std::string body;
  Put32(body, versionAndFlags);
  body.append(payload);
  return Box(type, body);
}

// The identity matrix of movie and track headers.
void PutMatrix(std::string& s) {
  for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u}) Put32(s, v);
}

// An MPEG-4 descriptor: its tag and a four-byte length, as ffmpeg writes them.
std::string Descriptor(uint8_t tag, std::string_view payload) {
  std::string d(1, static_cast<char>(tag));
  const auto n = static_cast<uint32_t>(payload.size());
  for (int shift = 21; shift > 0; shift -= 7) d.push_back(static_cast<char>(0x80 | ((n >> shift) & 0x7F)));
  d.push_back(static_cast<char>(n & 0x7F));
  d.append(payload);
  return d;
}

uint64_t MediaDuration(const Mp4Track& t) { return uint64_t{t.sampleDuration} * t.sizes.size(); }

uint32_t MovieDuration(const Mp4Track& t) {
  return static_cast<uint32_t>((MediaDuration(t) * kMovieTimescale + t.timescale / 2) / t.timescale);
}

uint32_t TrackDuration(const Mp4Track& t) { return t.delayMs + MovieDuration(t); }

// A sample's place on the movie's clock, in seconds: the interleaving follows it.
double SampleTime(const Mp4Track& t, size_t i) {
  return t.delayMs / 1000.0 + static_cast<double>(i) * t.sampleDuration / t.timescale;
}

struct Chunk {
  size_t track = 0, first = 0, count = 0;
  uint64_t offset = 0;  // from the start of the samples
};

std::vector<Chunk> Interleave(const std::vector<Mp4Track>& tracks) {
  std::vector<Chunk> chunks;
  std::vector<size_t> next(tracks.size(), 0);
  uint64_t offset = 0;
  for (size_t window = 1;; ++window) {
    bool left = false;
    for (size_t t = 0; t < tracks.size(); ++t) {
      const Mp4Track& track = tracks[t];
      size_t end = next[t];
      while (end < track.sizes.size() && SampleTime(track, end) < window * kChunkSeconds) ++end;
      if (end > next[t]) {
        Chunk c{t, next[t], end - next[t], offset};
        for (size_t i = c.first; i < end; ++i) offset += track.sizes[i];
        chunks.push_back(c);
        next[t] = end;
      }
      left = left || next[t] < track.sizes.size();
    }
    if (!left) return chunks;
  }
}

// Run-length table entries of equal values: (count, value) pairs.
std::vector<std::pair<uint32_t, uint32_t>> Runs(const std::vector<uint32_t>& values) {
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  for (uint32_t v : values) {
    if (!runs.empty() && runs.back().second == v) {
      ++runs.back().first;
    } else {
      runs.push_back({1, v});
    }
  }
  return runs;
}

std::string SampleTable(const Mp4Track& t, const std::vector<Chunk>& chunks, size_t index, uint64_t base, bool co64) {
  std::string stts, ctts, stss, stsc, stsz, stco;
  Put32(stts, 1);
  Put32(stts, static_cast<uint32_t>(t.sizes.size()));
  Put32(stts, t.sampleDuration);
  std::string table = Box("stsd", std::string("\0\0\0\0\0\0\0\1", 8) + t.sampleEntry) + FullBox("stts", 0, stts);
  if (!t.syncSamples.empty()) {
    Put32(stss, static_cast<uint32_t>(t.syncSamples.size()));
    for (uint32_t n : t.syncSamples) Put32(stss, n);
    table += FullBox("stss", 0, stss);
  }
  if (!t.compositionOffsets.empty()) {
    const auto runs = Runs(t.compositionOffsets);
    Put32(ctts, static_cast<uint32_t>(runs.size()));
    for (const auto& [count, value] : runs) Put32(ctts, count), Put32(ctts, value);
    table += FullBox("ctts", 0, ctts);
  }
  std::vector<std::pair<uint32_t, uint32_t>> entries;  // first chunk (from 1), samples per chunk
  uint32_t number = 0;
  std::string offsets;
  for (const Chunk& c : chunks) {
    if (c.track != index) continue;
    ++number;
    if (entries.empty() || entries.back().second != c.count) entries.push_back({number, static_cast<uint32_t>(c.count)});
    if (co64) {
      Put64(offsets, base + c.offset);
    } else {
      Put32(offsets, static_cast<uint32_t>(base + c.offset));
    }
  }
  Put32(stsc, static_cast<uint32_t>(entries.size()));
  for (const auto& [first, count] : entries) Put32(stsc, first), Put32(stsc, count), Put32(stsc, 1);
  Put32(stsz, 0);
  Put32(stsz, static_cast<uint32_t>(t.sizes.size()));
  for (uint32_t size : t.sizes) Put32(stsz, size);
  std::string chunkTable;
  Put32(chunkTable, number);
  chunkTable += offsets;
  return Box("stbl", table + FullBox("stsc", 0, stsc) + FullBox("stsz", 0, stsz) +
                         FullBox(co64 ? "co64" : "stco", 0, chunkTable));
}

std::string Trak(const Mp4Track& t, const std::vector<Chunk>& chunks, size_t index, uint64_t base, bool co64) {
  std::string tkhd;
  PutZeros(tkhd, 8);  // creation and modification times
  Put32(tkhd, static_cast<uint32_t>(index + 1));
  PutZeros(tkhd, 4);
  Put32(tkhd, TrackDuration(t));
  PutZeros(tkhd, 8 + 2);
  Put16(tkhd, t.video ? 0 : 1);       // the sound is one of a group of alternatives
  Put16(tkhd, t.video ? 0 : 0x0100);  // full volume
  PutZeros(tkhd, 2);
  PutMatrix(tkhd);
  Put32(tkhd, t.width << 16);
  Put32(tkhd, t.height << 16);

  std::string elst;
  Put32(elst, t.delayMs > 0 ? 2 : 1);
  if (t.delayMs > 0) Put32(elst, t.delayMs), Put32(elst, 0xFFFFFFFFu), Put32(elst, 0x00010000);
  Put32(elst, MovieDuration(t));
  Put32(elst, t.mediaStart);
  Put32(elst, 0x00010000);

  std::string mdhd;
  PutZeros(mdhd, 8);
  Put32(mdhd, t.timescale);
  Put32(mdhd, static_cast<uint32_t>(MediaDuration(t)));
  Put16(mdhd, 0x55C4);  // language "und"
  PutZeros(mdhd, 2);

  std::string hdlr;
  PutZeros(hdlr, 4);
  hdlr += t.video ? "vide" : "soun";
  PutZeros(hdlr, 12);
  hdlr += t.video ? "VideoHandler" : "SoundHandler";
  hdlr.push_back('\0');

  std::string header = t.video ? FullBox("vmhd", 1, std::string(8, '\0')) : FullBox("smhd", 0, std::string(4, '\0'));
  std::string dref;
  Put32(dref, 1);
  dref += FullBox("url ", 1, "");
  std::string minf = header + Box("dinf", FullBox("dref", 0, dref)) + SampleTable(t, chunks, index, base, co64);
  std::string mdia = FullBox("mdhd", 0, mdhd) + FullBox("hdlr", 0, hdlr) + Box("minf", minf);
  return Box("trak", FullBox("tkhd", 3, tkhd) + Box("edts", FullBox("elst", 0, elst)) + Box("mdia", mdia));
}

std::string Moov(const std::vector<Mp4Track>& tracks, const std::vector<Chunk>& chunks, uint64_t base, bool co64) {
  std::string mvhd;
  PutZeros(mvhd, 8);
  Put32(mvhd, kMovieTimescale);
  uint32_t longest = 0;
  for (const Mp4Track& t : tracks) longest = std::max(longest, TrackDuration(t));
  Put32(mvhd, longest);
  Put32(mvhd, 0x00010000);  // normal rate
  Put16(mvhd, 0x0100);      // full volume
  PutZeros(mvhd, 10);
  PutMatrix(mvhd);
  PutZeros(mvhd, 24);
  Put32(mvhd, static_cast<uint32_t>(tracks.size() + 1));
  std::string moov = FullBox("mvhd", 0, mvhd);
  for (size_t i = 0; i < tracks.size(); ++i) moov += Trak(tracks[i], chunks, i, base, co64);
  return Box("moov", moov);
}

std::string Ftyp() {
  std::string ftyp = "isom";
  Put32(ftyp, 0x200);
  ftyp += "isomiso2avc1mp41";
  return Box("ftyp", ftyp);
}

std::string Avc1Entry(const H264Timeline& t) {
  std::string e;
  PutZeros(e, 6);
  Put16(e, 1);  // data reference
  PutZeros(e, 16);
  Put16(e, t.width);
  Put16(e, t.height);
  Put32(e, 0x00480000);  // 72 dpi
  Put32(e, 0x00480000);
  PutZeros(e, 4);
  Put16(e, 1);  // one picture a sample
  PutZeros(e, 32);  // no compressor name
  Put16(e, 0x0018);
  Put16(e, 0xFFFF);
  return Box("avc1", e + Box("avcC", t.avcC));
}

// The decoder's buffer and the bit rates: the largest frame, the most bits in any second, the mean.
std::string Mp4aEntry(const std::vector<uint32_t>& sizes, uint32_t rate, unsigned channels, std::string_view config,
                      uint32_t trackId) {
  uint64_t total = 0, window = 0, most = 0;
  uint32_t largest = 0;
  const size_t perSecond = std::max<size_t>(1, rate / kAacFrame);
  for (size_t i = 0; i < sizes.size(); ++i) {
    total += sizes[i], window += sizes[i];
    largest = std::max(largest, sizes[i]);
    if (i >= perSecond) window -= sizes[i - perSecond];
    most = std::max(most, window);
  }
  const double seconds = static_cast<double>(sizes.size()) * kAacFrame / rate;
  std::string decoder;
  decoder.push_back(0x40);  // MPEG-4 audio
  decoder.push_back(0x15);  // an audio stream
  decoder.push_back(static_cast<char>(largest >> 16));
  Put16(decoder, largest & 0xFFFF);
  Put32(decoder, static_cast<uint32_t>(most * 8));
  Put32(decoder, seconds > 0 ? static_cast<uint32_t>(std::lround(total * 8 / seconds)) : 0);
  decoder += Descriptor(0x05, config);
  std::string es;
  Put16(es, trackId);
  es.push_back(0);
  es += Descriptor(0x04, decoder) + Descriptor(0x06, std::string(1, '\x02'));
  std::string e;
  PutZeros(e, 6);
  Put16(e, 1);
  PutZeros(e, 8);
  Put16(e, channels);
  Put16(e, 16);
  PutZeros(e, 4);
  Put32(e, rate << 16);
  return Box("mp4a", e + FullBox("esds", 0, Descriptor(0x03, es)));
}

std::string BigEndian32(uint32_t v) {
  std::string s;
  Put32(s, v);
  return s;
}

}  // namespace

bool H264Track(std::string_view stream, const H264Timeline& timeline, long rateNum, long rateDen, Mp4Track& track) {
  // The same clock as ffmpeg's: the rate's numerator, or thousandths of whole pictures a second.
  const int64_t timescale = rateDen > 1 ? rateNum : int64_t{rateNum} * 1000;
  const int64_t duration = rateDen > 1 ? rateDen : 1000;
  const size_t n = timeline.pictures.size();
  if (rateNum <= 0 || timescale > INT32_MAX || duration > INT32_MAX || n == 0 ||
      static_cast<double>(duration) * static_cast<double>(n) + 64.0 * duration > UINT32_MAX) {
    return false;
  }
  track = Mp4Track();
  track.video = true;
  track.timescale = static_cast<uint32_t>(timescale);
  track.sampleDuration = static_cast<uint32_t>(duration);
  track.width = timeline.width;
  track.height = timeline.height;
  // Pictures shown before they are decoded would need negative offsets: all are shifted by the
  // deepest reordering, and the edit list starts the track where the first picture is shown.
  int64_t shift = 0;
  for (size_t i = 0; i < n; ++i) shift = std::max<int64_t>(shift, static_cast<int64_t>(i) - timeline.pictures[i].shownAs);
  bool reordered = shift > 0;
  track.sizes.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const H264Picture& p = timeline.pictures[i];
    uint64_t bytes = 0;
    for (uint32_t k = p.firstNal; k < p.firstNal + p.nalCount; ++k) bytes += 4 + timeline.nals[k].size;
    if (bytes > UINT32_MAX) return false;
    track.sizes.push_back(static_cast<uint32_t>(bytes));
    reordered = reordered || p.shownAs != i;
  }
  bool allKey = true;
  for (size_t i = 0; i < n; ++i) allKey = allKey && timeline.pictures[i].key;
  for (size_t i = 0; i < n && !allKey; ++i) {
    if (timeline.pictures[i].key) track.syncSamples.push_back(static_cast<uint32_t>(i + 1));
  }
  if (reordered) {
    track.compositionOffsets.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      const int64_t offset = (timeline.pictures[i].shownAs + shift - static_cast<int64_t>(i)) * duration;
      if (offset < 0 || offset > INT32_MAX) return false;
      track.compositionOffsets.push_back(static_cast<uint32_t>(offset));
    }
  }
  track.mediaStart = static_cast<uint32_t>(shift * duration);
  track.sampleEntry = Avc1Entry(timeline);
  track.addSample = [stream, &timeline](size_t i, GatherWriter& out) {
    const H264Picture& p = timeline.pictures[i];
    for (uint32_t k = p.firstNal; k < p.firstNal + p.nalCount; ++k) {
      out.Copy(BigEndian32(timeline.nals[k].size));
      out.Point(stream.substr(timeline.nals[k].offset, timeline.nals[k].size));
    }
  };
  return true;
}

bool AdtsTrack(std::string_view stream, uint32_t trackId, Mp4Track& track) {
  static constexpr uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                        22050, 16000, 12000, 11025, 8000,  7350};
  auto frames = std::make_shared<std::vector<AdtsFrame>>();
  if (!SplitAdts(stream, *frames) || frames->empty()) return false;
  auto byte = [&](size_t at, size_t i) { return static_cast<unsigned char>(stream[at + i]); };
  // Profile, rate and channel layout of the first frame; every frame must share them.
  auto layout = [&](size_t at) { return (byte(at, 2) & 0xFDu) << 8 | (byte(at, 3) & 0xC0u); };
  const size_t first = frames->front().offset;
  const unsigned profile = byte(first, 2) >> 6, rateIndex = (byte(first, 2) >> 2) & 0xF;
  const unsigned channels = ((byte(first, 2) & 1u) << 2) | (byte(first, 3) >> 6);
  if (rateIndex >= std::size(kRates) || channels == 0 || channels > 7) return false;  // 0: a layout in the stream
  const uint32_t rate = kRates[rateIndex];
  if (static_cast<double>(frames->size()) * kAacFrame > UINT32_MAX) return false;
  track = Mp4Track();
  track.timescale = rate;
  track.sampleDuration = kAacFrame;
  std::vector<size_t> headers;
  for (const AdtsFrame& f : *frames) {
    if (layout(f.offset) != layout(first)) return false;
    const size_t header = (byte(f.offset, 1) & 1) ? 7 : 9;
    track.sizes.push_back(static_cast<uint32_t>(f.size - header));
  }
  // The decoder configuration: object type (profile + 1), rate index, channel configuration.
  const unsigned objectType = profile + 1;
  std::string config;
  config.push_back(static_cast<char>((objectType << 3) | (rateIndex >> 1)));
  config.push_back(static_cast<char>(((rateIndex & 1) << 7) | (channels << 3)));
  track.sampleEntry = Mp4aEntry(track.sizes, rate, channels == 7 ? 8 : channels, config, trackId);
  track.addSample = [stream, frames, sizes = track.sizes](size_t i, GatherWriter& out) {
    const AdtsFrame& f = (*frames)[i];
    out.Point(stream.substr(f.offset + f.size - sizes[i], sizes[i]));
  };
  return true;
}

bool WriteMp4(int fd, const std::vector<Mp4Track>& tracks, const std::function<void(double)>& done) {
  const std::vector<Chunk> chunks = Interleave(tracks);
  uint64_t samples = 0;
  for (const Mp4Track& t : tracks) {
    for (uint32_t size : t.sizes) samples += size;
  }
  const std::string ftyp = Ftyp();
  // The index's size does not depend on the offsets it holds, only on their width.
  bool co64 = false;
  uint64_t head = ftyp.size() + Moov(tracks, chunks, 0, false).size() + 8;
  if (head + samples > UINT32_MAX) {
    co64 = true;
    head = ftyp.size() + Moov(tracks, chunks, 0, true).size() + 16;
  }
  std::string mdat;
  if (co64) {
    Put32(mdat, 1);
    mdat += "mdat";
    Put64(mdat, 16 + samples);
  } else {
    Put32(mdat, static_cast<uint32_t>(8 + samples));
    mdat += "mdat";
  }
  GatherWriter out(fd);
  WriteBehind behind(fd);
  out.Copy(ftyp + Moov(tracks, chunks, head, co64) + mdat);
  uint64_t written = 0;
  for (const Chunk& c : chunks) {
    const Mp4Track& t = tracks[c.track];
    for (size_t i = c.first; i < c.first + c.count; ++i) {
      t.addSample(i, out);
      written += t.sizes[i];
    }
    if (!out.Flush()) return false;
    behind.Written(out.written());
    if (t.sent) t.sent(c.first + c.count);
    if (done) done(samples ? static_cast<double>(written) / samples : 1.0);
  }
  return out.Flush();
}

}  // namespace parvela::toolkit
