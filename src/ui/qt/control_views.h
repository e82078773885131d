// Widgets mirroring the window's control models. Each widget follows its model's change signal;
// a user's action sets the model, so the model's handlers run exactly as for a change by code.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "ui/controls.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace parvela::qt {

class ControlViews {
 public:
  // Runs a user's action; returns false when the window refuses it (a handler is running).
  using ActionRunner = std::function<bool(const std::function<void()>&)>;
  explicit ControlViews(ActionRunner run) : run_(std::move(run)) {}

  void Bind(QCheckBox* view, CheckBox& model);
  void Bind(QPushButton* view, Button& model);
  void Bind(QLineEdit* view, TextBox& model);
  void Bind(QComboBox* view, ComboBox& model);
  void Bind(QLabel* view, Label& model);
  void Bind(QGroupBox* view, Frame& model);
  void Bind(const std::array<QRadioButton*, OptionButtons::kCount>& views, OptionButtons& model);
  // Calls `sync` now and on every change of the model, for as long as these views live.
  void Follow(Control& model, std::function<void()> sync);

 private:
  ActionRunner run_;
  // The models may outlive the views: their observers hold this only weakly.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// Visible, enabled and tool-tip of any control.
void MirrorState(QWidget* view, const Control& model);

}  // namespace parvela::qt
