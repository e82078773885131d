#include "ui/qt/progress_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/progress_counter.h"

namespace parvela::qt {

void ShowProgress(QProgressBar* bar, const Form1& form) {
  if (form.stepMeter.Running()) {
    const std::optional<int> permille = form.stepMeter.Permille();
    bar->setVisible(true);
    bar->setRange(0, permille ? 1000 : 0);
    bar->setValue(permille.value_or(0));
    bar->setFormat(QString::fromStdString(form.stepMeter.Text()));
    return;
  }
  auto counter = CurrentCounter(form.txtProgress.Text(), form.lblMulti.Caption(), form.lblMulti.Visible());
  bar->setVisible(counter.has_value());
  if (!counter) return;
  bar->setRange(0, counter->maximum);
  bar->setValue(counter->value);
  bar->setFormat(counter->seconds ? QString("%v of %m seconds of audio") : QString("%v of %m"));
}

void ShowBesideProgress(QProgressBar* bar, const Form1& form) {
  const StepMeter& meter = form.besideMeter;
  bar->setVisible(meter.Running());
  if (!meter.Running()) return;
  const std::optional<int> permille = meter.Permille();
  bar->setRange(0, permille ? 1000 : 0);
  bar->setValue(permille.value_or(0));
  bar->setFormat(QString::fromStdString("Video encode: " + (permille ? meter.Text() : std::string("started"))));
}

void ShowRunProgress(QProgressBar* bar, const Form1& form) {
  const RunMeter& meter = form.runMeter;
  bar->setVisible(meter.Running());
  if (!meter.Running()) return;
  bar->setValue(meter.Permille().value_or(0));
  bar->setFormat(QString::fromStdString(meter.Text()));
}

ArgumentProgressWindow::ArgumentProgressWindow(Form1& form)
    : form_(form), views_([](const std::function<void()>&) { return false; }) {
  setObjectName("argumentProgress");
  setWindowTitle(QString::fromStdString(form_.caption + " \u2014 converting"));
  setMinimumWidth(420);
  auto* column = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  step_ = new QLabel(this);
  step_->setObjectName("step");
  multi_ = new QLabel(this);
  multi_->setObjectName("multi");
  row->addWidget(step_, 1);
  row->addWidget(multi_);
  column->addLayout(row);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("progressBar");
  QSizePolicy policy = bar_->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  bar_->setSizePolicy(policy);
  column->addWidget(bar_);
  // The encode beside the step takes a row only while it runs; the whole run keeps its own.
  besideBar_ = new QProgressBar(this);
  besideBar_->setObjectName("besideBar");
  column->addWidget(besideBar_);
  runBar_ = new QProgressBar(this);
  runBar_->setObjectName("runBar");
  runBar_->setSizePolicy(policy);
  runBar_->setRange(0, 1000);
  column->addWidget(runBar_);
  auto* buttons = new QHBoxLayout;
  stop_ = new QPushButton("Stop", this);
  stop_->setObjectName("cmdStop");
  buttons->addStretch(1);
  buttons->addWidget(stop_);
  column->addLayout(buttons);
  connect(stop_, &QPushButton::clicked, this, [this] { form_.cmdStop.Click(); });
  auto sync = [this] {
    step_->setText(QString::fromStdString(form_.txtProgress.Text()));
    multi_->setText(form_.lblMulti.Visible() ? QString::fromStdString(form_.lblMulti.Caption()) : QString());
    stop_->setText(QString::fromStdString(form_.cmdStop.Caption()));
    stop_->setEnabled(form_.cmdStop.Visible());
    ShowProgress(bar_, form_);
    ShowBesideProgress(besideBar_, form_);
    ShowRunProgress(runBar_, form_);
  };
  for (Control* model : std::initializer_list<Control*>{&form_.txtProgress, &form_.lblMulti, &form_.cmdStop,
                                                         &form_.stepMeter, &form_.besideMeter,
                                                         &form_.runMeter}) {
    views_.Follow(*model, sync);
  }
}

void ArgumentProgressWindow::closeEvent(QCloseEvent* event) {
  // The conversion cannot be left running unseen: closing this window stops it.
  event->ignore();
  if (form_.cmdStop.Visible()) form_.cmdStop.Click();
}

}  // namespace parvela::qt
