#include "ui/qt/control_views.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace parvela::qt {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Captions are shown as they are: an ampersand is no keyboard mnemonic here.
QString Caption(const std::string& text) { return Text(text).replace('&', "&&"); }

}  // namespace

void MirrorState(QWidget* view, const Control& model) {
  view->setVisible(model.Visible());
  view->setEnabled(model.Enabled());
  view->setToolTip(Text(model.ShownToolTip()));
}

void ControlViews::Follow(Control& model, std::function<void()> sync) {
  std::weak_ptr<int> alive = alive_;
  model.Observe([alive, sync] {
    if (alive.lock()) sync();
  });
  sync();
}

void ControlViews::Bind(QCheckBox* view, CheckBox& model) {
  auto sync = [view, &model] {
    MirrorState(view, model);
    view->setText(Caption(model.Caption()));
    const QSignalBlocker quiet(view);
    view->setChecked(model.Checked());
  };
  Follow(model, sync);
  QObject::connect(view, &QCheckBox::clicked, view, [this, &model, sync](bool checked) {
    run_([&model, checked] { model.SetValue(checked ? 1 : 0); });
    sync();  // a refused click puts the box back
  });
}

void ControlViews::Bind(QPushButton* view, Button& model) {
  Follow(model, [view, &model] {
    MirrorState(view, model);
    view->setText(Caption(model.Caption()));
  });
  QObject::connect(view, &QPushButton::clicked, view, [this, &model] {
    run_([&model] { model.Click(); });
  });
}

void ControlViews::Bind(QLineEdit* view, TextBox& model) {
  Follow(model, [view, &model] {
    MirrorState(view, model);
    const QString text = Text(model.Text());
    if (view->text() != text) view->setText(text);
  });
  QObject::connect(view, &QLineEdit::textEdited, view, [this, view, &model](const QString& text) {
    if (!run_([&model, text] { model.SetText(text.toStdString()); })) {
      view->setText(Text(model.Text()));
    }
  });
}

void ControlViews::Bind(QComboBox* view, ComboBox& model) {
  auto sync = [view, &model] {
    MirrorState(view, model);
    const QSignalBlocker quiet(view);
    QStringList items;
    for (const auto& item : model.Items()) items << Text(item);
    QStringList shown;
    for (int i = 0; i < view->count(); ++i) shown << view->itemText(i);
    if (shown != items) {
      view->clear();
      view->addItems(items);
    }
    view->setCurrentIndex(model.ListIndex());
  };
  Follow(model, sync);
  QObject::connect(view, &QComboBox::activated, view, [this, &model, sync](int index) {
    run_([&model, index] { model.SetListIndex(index); });
    sync();
  });
}

void ControlViews::Bind(QLabel* view, Label& model) {
  view->setTextFormat(Qt::PlainText);
  Follow(model, [view, &model] {
    MirrorState(view, model);
    view->setText(Text(model.Caption()));
  });
}

void ControlViews::Bind(QGroupBox* view, Frame& model) {
  Follow(model, [view, &model] {
    MirrorState(view, model);
    view->setTitle(Caption(model.Caption()));
  });
}

void ControlViews::Bind(const std::array<QRadioButton*, OptionButtons::kCount>& views,
                        OptionButtons& model) {
  auto* group = new QButtonGroup(views[0]->parentWidget());
  // Exclusive by hand: the model may hold no selection, which an exclusive group cannot show.
  group->setExclusive(false);
  for (int i = 0; i < OptionButtons::kCount; ++i) {
    views[static_cast<size_t>(i)]->setText(Caption(model.ElementCaption(i)));
    group->addButton(views[static_cast<size_t>(i)], i);
  }
  auto sync = [views, &model] {
    for (int i = 0; i < OptionButtons::kCount; ++i) {
      QRadioButton* view = views[static_cast<size_t>(i)];
      MirrorState(view, model);
      const QSignalBlocker quiet(view);
      view->setChecked(model.Value(i));
    }
  };
  Follow(model, sync);
  QObject::connect(group, &QButtonGroup::idClicked, group, [this, &model, sync](int i) {
    run_([&model, i] { model.Select(i); });
    sync();
  });
}

}  // namespace parvela::qt
