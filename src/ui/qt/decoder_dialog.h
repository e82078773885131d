// The decoder filter's property pages: its output channels, dynamic range compression and gain.
#pragma once

#include <QDialog>

#include "dshow/decoder_settings.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace parvela::qt {

class DecoderDialog : public QDialog {
 public:
  DecoderDialog(const QString& filterName, const dshow::DecoderSettings& settings,
                QWidget* parent = nullptr);
  // What the pages show now.
  dshow::DecoderSettings Settings() const;
  void Show(const dshow::DecoderSettings& settings);

  QComboBox* channels;
  QCheckBox* compression;
  QSpinBox* gain;
};

// Shows the pages; OK writes them back into the settings the next decode uses.
void EditDecoderSettings(QWidget* parent, const QString& filterName,
                         dshow::DecoderSettings& settings);

}  // namespace parvela::qt
