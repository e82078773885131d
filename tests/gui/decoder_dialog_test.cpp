// The decoder's property pages edit the settings the next decode uses.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>

#include "ui/qt/decoder_dialog.h"

namespace parvela {
namespace {

using dshow::DecoderSettings;

TEST(DecoderDialog, ShowsAndReturnsTheSettings) {
  DecoderSettings start;
  start.outputChannels = 1;
  start.gainDb = -6;
  qt::DecoderDialog dialog("AC3Filter", start);
  EXPECT_EQ(dialog.windowTitle(), "AC3Filter Properties");
  EXPECT_EQ(dialog.channels->currentText(), "Mono (1/0)");
  EXPECT_EQ(dialog.gain->value(), -6);
  EXPECT_FALSE(dialog.compression->isChecked());

  dialog.channels->setCurrentIndex(1);
  dialog.compression->setChecked(true);
  dialog.gain->setValue(99);  // held to the range
  const DecoderSettings chosen = dialog.Settings();
  EXPECT_EQ(chosen.outputChannels, 2);
  EXPECT_TRUE(chosen.dynamicRangeCompression);
  EXPECT_EQ(chosen.gainDb, DecoderSettings::kMaxGainDb);

  dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::RestoreDefaults)->click();
  EXPECT_TRUE(dialog.Settings() == DecoderSettings{});
}

}  // namespace
}  // namespace parvela
