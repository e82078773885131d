#include "ui/qt/decoder_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace parvela::qt {

namespace {

using dshow::DecoderSettings;

constexpr int kChannelChoices[] = {DecoderSettings::kAsSource, 2, 1};

QGroupBox* OutputGroup(DecoderDialog& d) {
  auto* group = new QGroupBox("Output", &d);
  auto* form = new QFormLayout(group);
  d.channels = new QComboBox(group);
  d.channels->addItems({"As in the source", "Stereo (2/0)", "Mono (1/0)"});
  d.channels->setToolTip("Down-mix the decoded audio to fewer speakers.");
  form->addRow("Speakers:", d.channels);
  d.gain = new QSpinBox(group);
  d.gain->setRange(DecoderSettings::kMinGainDb, DecoderSettings::kMaxGainDb);
  d.gain->setSuffix(" dB");
  d.gain->setToolTip("Raise or lower the level of the decoded audio.");
  form->addRow("Gain:", d.gain);
  return group;
}

QGroupBox* DynamicsGroup(DecoderDialog& d) {
  auto* group = new QGroupBox("Dynamics", &d);
  auto* layout = new QVBoxLayout(group);
  d.compression = new QCheckBox("Dynamic range compression", group);
  layout->addWidget(d.compression);
  auto* note = new QLabel("Brings loud scenes down and keeps dialogue clear at a low volume.", group);
  note->setWordWrap(true);
  note->setEnabled(false);
  layout->addWidget(note);
  return group;
}

}  // namespace

DecoderDialog::DecoderDialog(const QString& filterName, const DecoderSettings& settings,
                             QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(filterName + " Properties");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(OutputGroup(*this));
  layout->addWidget(DynamicsGroup(*this));
  auto* note = new QLabel("Used from the next audio decoding on.", this);
  note->setEnabled(false);
  layout->addWidget(note);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
          [this] { Show(DecoderSettings{}); });
  Show(settings);
}

void DecoderDialog::Show(const DecoderSettings& settings) {
  int index = 0;
  for (int i = 0; i < static_cast<int>(std::size(kChannelChoices)); ++i) {
    if (kChannelChoices[i] == settings.outputChannels) index = i;
  }
  channels->setCurrentIndex(index);
  compression->setChecked(settings.dynamicRangeCompression);
  gain->setValue(settings.gainDb);
}

DecoderSettings DecoderDialog::Settings() const {
  DecoderSettings s;
  s.outputChannels = kChannelChoices[channels->currentIndex()];
  s.dynamicRangeCompression = compression->isChecked();
  s.gainDb = gain->value();
  return s;
}

void EditDecoderSettings(QWidget* parent, const QString& filterName,
                         DecoderSettings& settings) {
  DecoderDialog dialog(filterName, settings, parent);
  if (dialog.exec() == QDialog::Accepted) settings = dialog.Settings();
}

}  // namespace parvela::qt
