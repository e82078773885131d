// Small models of the window's controls. Views observe them; handlers run on value changes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace parvela {

class Control {
 public:
  using Observer = std::function<void()>;

  bool Visible() const { return visible_; }
  bool Enabled() const { return enabled_; }
  const std::string& Caption() const { return caption_; }
  const std::string& ToolTip() const { return toolTip_; }
  // Showing, hiding, enabling and disabling never run a handler.
  void SetVisible(bool v) { if (v != visible_) { visible_ = v; Notify(); } }
  void SetEnabled(bool e) { if (e != enabled_) { enabled_ = e; Notify(); } }
  void SetCaption(const std::string& c) { if (c != caption_) { caption_ = c; Notify(); } }
  void SetToolTip(const std::string& t) { toolTip_ = t; }
  // Beside the tool-tip of a disabled control: which option greyed it out ("" when none did).
  const std::string& DisabledReason() const { return disabledReason_; }
  void SetDisabledReason(const std::string& r) { if (r != disabledReason_) { disabledReason_ = r; Notify(); } }
  // The tool-tip a view shows: the control's own, and while it is disabled, why.
  std::string ShownToolTip() const {
    if (enabled_ || disabledReason_.empty()) return toolTip_;
    return toolTip_.empty() ? disabledReason_ : toolTip_ + "\n" + disabledReason_;
  }
  void Observe(Observer o) { observers_.push_back(std::move(o)); }

 protected:
  void Notify() { for (auto& o : observers_) o(); }

 private:
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  std::string toolTip_;
  std::string disabledReason_;
  std::vector<Observer> observers_;
};

class CheckBox : public Control {
 public:
  int Value() const { return value_; }
  bool Checked() const { return value_ == 1; }
  // Setting a different value runs the click handler at once, to its end; the same value runs
  // nothing. Values other than 0 and 1 are refused and leave the box unchanged.
  void SetValue(int v) {
    if ((v != 0 && v != 1) || v == value_) return;
    value_ = v;
    Notify();
    if (onClick) onClick();
  }
  std::function<void()> onClick;

 private:
  int value_ = 0;
};

class TextBox : public Control {
 public:
  const std::string& Text() const { return text_; }
  void SetText(std::string t) { if (t != text_) { text_ = std::move(t); Notify(); } }

 private:
  std::string text_;
};

// A list: items and a selected index (-1 for none). Choosing another entry runs the click handler.
class ComboBox : public Control {
 public:
  const std::vector<std::string>& Items() const { return items_; }
  int ListCount() const { return static_cast<int>(items_.size()); }
  int ListIndex() const { return listIndex_; }
  void AddItem(std::string item) { items_.push_back(std::move(item)); Notify(); }
  void Clear() { items_.clear(); listIndex_ = -1; Notify(); }
  // An index outside the list is refused, except -1 (no selection).
  void SetListIndex(int i) {
    if (i < -1 || i >= ListCount() || i == listIndex_) return;
    listIndex_ = i;
    Notify();
    if (onClick && i >= 0) onClick();
  }
  std::function<void()> onClick;

 private:
  std::vector<std::string> items_;
  int listIndex_ = -1;
};

// The five audio-format option buttons: at most one is selected.
class OptionButtons : public Control {
 public:
  static constexpr int kCount = 5;
  bool Value(int i) const { return i == selected_; }
  int Selected() const { return selected_; }
  void Select(int i) { if (i >= 0 && i < kCount && i != selected_) { selected_ = i; Notify(); } }
  void Clear() { if (selected_ != -1) { selected_ = -1; Notify(); } }
  std::string ElementCaption(int i) const { return captions_[static_cast<size_t>(i)]; }
  void SetElementCaption(int i, std::string c) { captions_[static_cast<size_t>(i)] = std::move(c); }

 private:
  int selected_ = -1;
  std::array<std::string, kCount> captions_;
};

class Label : public Control {};
class Button : public Control {
 public:
  std::function<void()> onClick;
  void Click() { if (onClick) onClick(); }
};
class Frame : public Control {};

}  // namespace parvela
