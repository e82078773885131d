// The decoding graph on GStreamer, with the components of the application folder, on MKV files
// made on the spot with ffmpeg.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "app/registration.h"
#include "dshow/dshow.h"
#include "fsutil/fsutil.h"
#include "process/process.h"
#include "test_support.h"

namespace parvela {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using testing::TempDir;

const std::string kAppDir = PARVELA_APP_DIR;

int Tool(const std::string& program, const std::string& args) {
  PosixProcessRunner runner;
  return runner.RunAndWait(Quoted("/usr/bin/" + program) + " " + args);
}

// A few seconds of a tone in the given codec, after a small video track, as ffmpeg writes them.
void MakeMkv(const std::string& path, const std::string& audioArgs, double seconds = 3) {
  const std::string t = std::to_string(seconds);
  ASSERT_EQ(Tool("ffmpeg", "-nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=" + t +
                               " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + t +
                               " -map 0:v -map 1:a -c:v mpeg4 " + audioArgs + " " + Quoted(path)),
            0);
}

struct WavFacts {
  std::string codec;
  int channels = 0;
  double duration = 0;
};

WavFacts Probe(const std::string& wav) {
  TempDir tmp;
  const std::string report = tmp / "probe.txt";
  Tool("ffprobe", "-v error -select_streams a:0 -show_entries stream=codec_name,channels,duration "
                  "-of default=noprint_wrappers=1 -o " + Quoted(report) + " " + Quoted(wav));
  WavFacts facts;
  std::vector<std::string> lines;
  ReadTextLines(report, lines);
  for (const auto& line : lines) {
    if (line.starts_with("codec_name=")) facts.codec = line.substr(11);
    if (line.starts_with("channels=")) facts.channels = std::stoi(line.substr(9));
    if (line.starts_with("duration=")) facts.duration = std::stod(line.substr(9));
  }
  return facts;
}

// Short real waits, so that the poll follows the graph closely; a graph that never ends fails
// the test instead of hanging it.
class ShortSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override {
    waits.push_back(milliseconds);
    if (waits.size() > 3000) throw std::runtime_error("the decoding never ended");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::vector<int> waits;
};

// The shared object a symbol of this process comes from.
std::string LibraryOf(void* symbol) {
  Dl_info info{};
  return dladdr(symbol, &info) && info.dli_fname ? info.dli_fname : "";
}

void RegisterComponents(const std::string& folder, bool doRegister) {
  Sub_RegisterServer(0, folder + kSep + "FSFWrap.dll", doRegister);
  Sub_RegisterServer(0, folder + kSep + "WAVDEST.AX", doRegister);
}

class DshowGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileIsPresent(kAppDir + "/WAVDEST.AX"));
    ASSERT_TRUE(FileIsPresent(kAppDir + "/FSFWrap.dll"));
    ASSERT_NE(backend, nullptr);
    app.graph = backend.get();
  }
  // The registry is process-wide: whatever a test registered goes again.
  void TearDown() override {
    RegisterComponents(kAppDir, false);
    RegisterComponents(components.path(), false);
  }

  void Decode(const std::string& source) {
    DecodeAudioToWav(app, txtProgress, source, temp, "movie name");
  }
  std::string Wav() const { return temp + "movie.wav"; }
  bool DecoderTakesAudioOf(const std::string& source) {
    auto graph = backend->CreateFilterGraph();
    dshow::IFilterInfo* decoder = nullptr;
    for (auto* info : graph->RegFilterCollection()) {
      if (info->Name() == "AC3Filter") decoder = info->Filter();
    }
    auto* sourceFilter = graph->AddSourceFilter(source);
    if (!decoder || !sourceFilter) return false;
    for (auto* pin : sourceFilter->Pins()) {
      if (pin->Name() == "Audio") return pin->Connect(*decoder->Pins().at(0));
    }
    return false;
  }
  Lines RegisteredNames() {
    auto graph = backend->CreateFilterGraph();
    Lines names;
    for (auto* info : graph->RegFilterCollection()) names.push_back(info->Name());
    return names;
  }
  // A private application folder holding copies of the components, to vary them.
  void CopyComponent(const std::string& name) {
    fs::copy_file(kAppDir + kSep + name, components / name);
  }

  TempDir appDir, work, input, components;
  testing::RecordingRunner runner;
  testing::ScriptedHost host;
  ShortSleeper sleeper;
  Application app{appDir.path(), work.path() + "/", runner, host, sleeper};
  std::unique_ptr<dshow::GraphBackend> backend = CreateGraphBackend(host);
  TextBox txtProgress;
  const std::string temp = work.path() + kSep;
};

TEST_F(DshowGraph, Ac3FiveOneBecomesASixChannelWavOfTheTracksLength) {
  RegisterComponents(kAppDir, true);
  const std::string source = input / "Film 5.1.mkv";
  MakeMkv(source, "-c:a ac3 -ac 6 -b:a 384k");
  Decode(source);
  const WavFacts wav = Probe(Wav());
  EXPECT_EQ(wav.codec, "pcm_s16le");
  EXPECT_EQ(wav.channels, 6);
  EXPECT_NEAR(wav.duration, 3.0, 0.1);
  EXPECT_EQ(txtProgress.Text(), "Extracting 3 seconds of Audio :3");
  EXPECT_TRUE(host.messages.empty());
  for (int wait : sleeper.waits) EXPECT_EQ(wait, 1000);
  // The graph's own wait between polls ends as the decoding does: no whole second is slept.
  EXPECT_TRUE(sleeper.waits.empty()) << sleeper.waits.size() << " waits";
}

// The loudest sample of a 16-bit WAV file.
int PeakOf(const std::string& wav) {
  const std::string bytes = testing::ReadFile(wav);
  const size_t data = bytes.find("data");
  if (data == std::string::npos || data + 8 > bytes.size()) return 0;
  uint32_t size = 0;
  for (int b = 3; b >= 0; --b) size = size << 8 | static_cast<uint8_t>(bytes[data + 4 + b]);
  // Only the data chunk: other chunks may follow it.
  const size_t end = std::min(bytes.size(), data + 8 + size);
  int peak = 0;
  for (size_t i = data + 8; i + 1 < end; i += 2) {
    const auto sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8);
    peak = std::max(peak, std::abs(static_cast<int>(sample)));
  }
  return peak;
}

TEST_F(DshowGraph, SettingsChosenInThePropertyPagesApplyToTheNextDecode) {
  RegisterComponents(kAppDir, true);
  const std::string source = input / "Film 5.1.mkv";
  MakeMkv(source, "-c:a ac3 -ac 6 -b:a 384k");
  Decode(source);
  const int plainPeak = PeakOf(Wav());
  ASSERT_GT(plainPeak, 1000);

  host.onPropertyPages = [](dshow::DecoderSettings& settings) {
    settings.outputChannels = 2;
    settings.dynamicRangeCompression = true;
    settings.gainDb = -6;
  };
  ShowDecoderOptions(app);
  DeleteFile(Wav());
  Decode(source);
  const WavFacts wav = Probe(Wav());
  EXPECT_EQ(wav.codec, "pcm_s16le");
  EXPECT_EQ(wav.channels, 2);
  EXPECT_NEAR(wav.duration, 3.0, 0.1);
  EXPECT_LT(PeakOf(Wav()), plainPeak * 3 / 4);  // 6 dB down, and a down-mix that does not clip
}

TEST_F(DshowGraph, DtsAndOtherAcceptedFormatsDecode) {
  RegisterComponents(kAppDir, true);
  const std::vector<std::pair<std::string, int>> formats = {
      {"-c:a dca -strict -2 -ac 6", 6}, {"-c:a eac3 -ac 6", 6}, {"-c:a mp2 -ac 2", 2}};
  for (const auto& [args, channels] : formats) {
    SCOPED_TRACE(args);
    const std::string source = input / "film.mkv";
    MakeMkv(source, args, 2);
    EXPECT_TRUE(DecoderTakesAudioOf(source));
    DeleteFile(Wav());
    Decode(source);
    const WavFacts wav = Probe(Wav());
    EXPECT_EQ(wav.codec, "pcm_s16le");
    EXPECT_EQ(wav.channels, channels);
    EXPECT_NEAR(wav.duration, 2.0, 0.1);
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowGraph, AacAndVorbisAreRefusedSilently) {
  RegisterComponents(kAppDir, true);
  for (const std::string args : {"-c:a aac -ac 2", "-c:a libvorbis -ac 2"}) {
    SCOPED_TRACE(args);
    const std::string source = input / "film.mkv";
    MakeMkv(source, args);
    EXPECT_FALSE(DecoderTakesAudioOf(source));  // refused when connecting, not later
    Decode(source);
    EXPECT_FALSE(FileIsPresent(Wav()));
  }
  EXPECT_TRUE(txtProgress.Text().empty());
  EXPECT_TRUE(sleeper.waits.empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowGraph, SourcesThatAreNoMatroskaFilesGiveNothing) {
  RegisterComponents(kAppDir, true);
  WriteTextLines(input / "notes.mkv", {"not a movie"});
  for (const std::string& source : {input / "notes.mkv", input / "missing.mkv"}) {
    SCOPED_TRACE(source);
    auto graph = backend->CreateFilterGraph();
    EXPECT_EQ(graph->AddSourceFilter(source), nullptr);
    Decode(source);
    EXPECT_FALSE(FileIsPresent(Wav()));
  }
  EXPECT_TRUE(txtProgress.Text().empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowGraph, TheFirstAudioTrackIsDecoded) {
  RegisterComponents(kAppDir, true);
  const std::string source = input / "two tracks.mkv";
  ASSERT_EQ(Tool("ffmpeg", "-nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=2 "
                           "-f lavfi -i sine=duration=2 -f lavfi -i sine=duration=2 "
                           "-map 0:v -map 1:a -map 2:a -c:v mpeg4 -c:a:0 ac3 -ac:a:0 2 -c:a:1 ac3 -ac:a:1 6 " +
                               Quoted(source)),
            0);
  auto graph = backend->CreateFilterGraph();
  auto* filter = graph->AddSourceFilter(source);
  ASSERT_NE(filter, nullptr);
  Lines pins;
  for (auto* pin : filter->Pins()) pins.push_back(pin->Name() + " " + std::to_string(pin->Direction()));
  EXPECT_EQ(pins, (Lines{"Video 1", "Audio 1", "Audio 2 1"}));

  Decode(source);
  EXPECT_EQ(Probe(Wav()).channels, 2);
}

TEST_F(DshowGraph, WithoutAUsableWavDestNothingIsWritten) {
  const std::string source = input / "film.mkv";
  MakeMkv(source, "-c:a ac3 -ac 6");
  CopyComponent("FSFWrap.dll");
  WriteTextLines(components / "WAVDEST.AX", {});  // zero bytes
  ASSERT_EQ(fs::file_size(components / "WAVDEST.AX"), 0u);
  RegisterComponents(components.path(), true);
  Decode(source);
  EXPECT_FALSE(FileIsPresent(Wav()));

  DeleteFile(components / "WAVDEST.AX");
  RegisterComponents(components.path(), true);
  Decode(source);
  EXPECT_FALSE(FileIsPresent(Wav()));
  EXPECT_TRUE(txtProgress.Text().empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowGraph, WithoutTheWrapperNothingIsWritten) {
  const std::string source = input / "film.mkv";
  MakeMkv(source, "-c:a ac3 -ac 6");
  CopyComponent("WAVDEST.AX");
  CopyComponent("FSFWrap.dll");
  RegisterComponents(components.path(), true);
  fs::remove(components / "FSFWrap.dll");  // registered, but its file is gone
  Decode(source);
  EXPECT_FALSE(FileIsPresent(Wav()));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DshowGraph, RegistrationAddsAndRemovesTheWavDestFilter) {
  const Lines builtIn = {"AC3Filter", "File writer"};
  EXPECT_EQ(RegisteredNames(), builtIn);
  RegisterComponents(kAppDir, true);
  RegisterComponents(kAppDir, true);  // a second start does no harm
  EXPECT_EQ(RegisteredNames(), (Lines{"AC3Filter", "File writer", "WAV Dest"}));
  RegisterComponents(kAppDir, false);
  EXPECT_EQ(RegisteredNames(), builtIn);
}

TEST_F(DshowGraph, AnEmptyWrapperFileDoesNotStopTheNextRegistration) {
  WriteTextLines(components / "FSFWrap.dll", {});
  CopyComponent("WAVDEST.AX");
  RegisterComponents(components.path(), true);
  EXPECT_EQ(RegisteredNames(), (Lines{"AC3Filter", "File writer", "WAV Dest"}));
  EXPECT_EQ(backend->CreateWrapper(dshow::kClsidFileSinkWrapper, dshow::kIidFileSinkWrapper), nullptr);
}

TEST_F(DshowGraph, FilesThatAreNoComponentsRegisterNothing) {
  WriteTextLines(components / "WAVDEST.AX", {"not a shared object"});
  Sub_RegisterServer(0, components / "WAVDEST.AX", true);
  Sub_RegisterServer(0, components / "missing.ax", true);
  const std::string library = LibraryOf(reinterpret_cast<void*>(&gst_init));
  ASSERT_TRUE(FileIsPresent(library));
  Sub_RegisterServer(0, library, true);  // a shared object without the entry point
  EXPECT_EQ(RegisteredNames(), (Lines{"AC3Filter", "File writer"}));
}

TEST_F(DshowGraph, DecoderOptionsShowThePropertyPagesThroughTheHost) {
  RegisterComponents(kAppDir, true);
  ShowDecoderOptions(app);
  EXPECT_EQ(host.log, Lines{"PropertyPages AC3Filter"});
}

}  // namespace
}  // namespace parvela
