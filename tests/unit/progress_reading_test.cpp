// What the step meter makes of the tools' own progress lines, and its estimate of time left.
#include <gtest/gtest.h>

#include "pipeline/tool_progress.h"
#include "ui/step_meter.h"

namespace parvela {
namespace {

using Shares = std::vector<std::optional<double>>;

Shares ReadAll(const std::string& program, const std::vector<std::string>& lines) {
  ToolProgressReader reader(program);
  Shares shares;
  for (const auto& line : lines) shares.push_back(reader.Read(line));
  return shares;
}

TEST(ToolProgressReader, EachToolInItsOwnWords) {
  EXPECT_EQ(ReadAll("/app/MKVToolnix/mkvextract.exe",
                    {"Extracting track 0 with the CodecID 'V_MPEG4/ISO/AVC'", "Progress: 45%", "Progress: 100%"}),
            (Shares{std::nullopt, 0.45, 1.0}));
  EXPECT_EQ(ReadAll("/app/MKVToolnix/mkvmerge.exe", {"Progress: 7%"}), (Shares{0.07}));
  // FFmpeg: nothing before the input's duration is known, then "time=" against it.
  EXPECT_EQ(ReadAll("/app/FFMpeg/FFmpeg.exe", {"size= 0kB time=00:00:05.00 bitrate=N/A",
                                               "  Duration: 00:01:40.00, start: 0.000000, bitrate: 448 kb/s",
                                               "size= 256kB time=00:00:25.00 bitrate= 192.2kbits/s speed=21.8x",
                                               "  Duration: 00:00:10.00, start: 0.000000"}),
            (Shares{std::nullopt, std::nullopt, 0.25, std::nullopt}));
  EXPECT_EQ(ReadAll("/app/FFMpeg/FFmpeg.exe", {"  Duration: 01:00:00.00,", "size=1kB time=00:30:00.00"}),
            (Shares{std::nullopt, 0.5}));
  EXPECT_EQ(ReadAll("/app/Mencoder/Mencoder.exe",
                    {"Pos:   1.2s     30f ( 5%) 29.97fps Trem:   0min   2mb  A-V:0.000 [1500:0]", "Skipping frame!"}),
            (Shares{0.05, std::nullopt}));
  EXPECT_EQ(ReadAll("/app/MP4Box/MP4Box.exe", {"Importing AVC-H264: |=========           | (45/100)"}), (Shares{0.45}));
  EXPECT_EQ(ReadAll("/app/TS/tsmuxer.exe", {"12.5% complete"}), (Shares{0.125}));
  EXPECT_FALSE(ToolProgressReader("/app/aften/aften.exe").Tells());
  EXPECT_EQ(ReadAll("/app/aften/aften.exe", {"Progress: 45%"}), (Shares{std::nullopt}));
}

TEST(StepMeter, PercentAtOnceTimeLeftOnceSettledBusyWhileUnknown) {
  using namespace std::chrono_literals;
  StepMeter meter;
  int changes = 0;
  meter.Observe([&] { ++changes; });
  const auto t0 = StepMeter::Clock::time_point{} + 100s;
  meter.Start(t0);
  EXPECT_TRUE(meter.Running());
  EXPECT_FALSE(meter.Permille());  // a busy bar until the tool says how far it is
  EXPECT_EQ(meter.Text(), "");
  meter.Update(0.25, t0 + 1s);
  EXPECT_EQ(meter.Text(), "25%");  // too early to tell the time left
  meter.Update(0.2504, t0 + 1100ms);  // no visible change: nobody is told
  const int before = changes;
  meter.Update(0.2504, t0 + 1200ms);
  EXPECT_EQ(changes, before);
  meter.Update(0.5, t0 + 4s);
  EXPECT_EQ(meter.Permille(), 500);
  EXPECT_EQ(meter.SecondsLeft(), 4);
  EXPECT_EQ(meter.Text(), "50% \u00b7 0:04 left");
  meter.Update(0.01, t0 + 3600s);
  EXPECT_EQ(meter.Text(), "1% \u00b7 99:00:00 left");
  meter.Stop();
  EXPECT_FALSE(meter.Running());
  EXPECT_EQ(meter.Text(), "");
  EXPECT_EQ(ClockText(3725), "1:02:05");
}

}  // namespace
}  // namespace parvela
