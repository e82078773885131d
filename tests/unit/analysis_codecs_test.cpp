// The codec table: every reader finds a format the same way, by Matroska ID, FourCC or ffprobe name.
#include <gtest/gtest.h>

#include <string>

#include "analysis/codecs.h"

namespace parvela {
namespace {

std::string NameOf(const CodecInfo* codec) { return codec ? codec->name : "(none)"; }

TEST(CodecTable, FindsFormatsByMatroskaIdFourccAndFfprobeName) {
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("A_AC3")), "AC-3");
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("A_AAC/MPEG4/LC")), "AAC");  // continues "A_AAC"
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("A_AAC/MPEG4/LC/SBR")), "HE-AAC");
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("A_DTS/LOSSLESS")), "DTS");
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("A_EAC3")), "E-AC-3");
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("A_AC3X")), "(none)");  // no "/" after the row's ID
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("V_MS/VFW/FOURCC", "wvc1")), "VC-1");
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("V_MS/VFW/FOURCC", "ABCD")), "(none)");
  EXPECT_EQ(NameOf(FindCodecByMatroskaId("V_MPEGH/ISO/HEVC")), "HEVC");
  EXPECT_EQ(NameOf(FindCodecByFfprobeName("pcm_f32le")), "LPCM");
  EXPECT_EQ(NameOf(FindCodecByFfprobeName("mpeg4")), "MPEG-4 Visual");
  EXPECT_EQ(NameOf(FindCodecByFfprobeName("h264")), "H.264");
  EXPECT_EQ(NameOf(FindCodecByFfprobeName("nonesuch")), "(none)");
  EXPECT_EQ(ChannelsText(6) + "|" + ChannelsText(1) + "|" + ChannelsText(3), "5.1|mono|3 channels");
}

TEST(CodecTable, KeepsTheFiveButtonsAndTheThreeVideoKindsInTheirOrder) {
  const char* extensions[] = {"ac3", "dts", "ogg", "mp3", "aac"};
  for (int button = 0; button < 5; ++button) {
    ASSERT_NE(AudioCodecOfButton(button), nullptr);
    EXPECT_EQ(std::string(AudioCodecOfButton(button)->extension), extensions[button]);
  }
  EXPECT_EQ(AudioCodecOfButton(5), nullptr);
  std::string audioTags, videoKinds;
  for (const CodecInfo& c : CodecTable()) {
    if (c.kind == CodecKind::Audio && *c.reportTag) audioTags += std::string(c.reportTag) + " ";
    if (c.kind == CodecKind::Video && *c.reportTag) videoKinds += std::string(c.videoKind) + " ";
    // Every audio row has an extracted track of its own name, never the decoded "movie.wav".
    if (c.kind == CodecKind::Audio) {
      EXPECT_STRNE(c.extension, "wav") << c.name;
    }
  }
  EXPECT_EQ(audioTags, "A_AC3 DTS A_VORBIS A_MPEG/L3 A_AAC ");
  EXPECT_EQ(videoKinds, "vc1 mpeg2 avc ");
}

}  // namespace
}  // namespace parvela
