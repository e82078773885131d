// The window's widgets, each named after the control it shows, in three rows of work: what to
// convert and where to, what the source holds, how to convert; then the status and "Convert".
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/qt/main_window.h"

namespace parvela::qt {

namespace {

template <class W>
W* Make(QWidget* parent, const char* name) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  return widget;
}

// Controls that come and go keep their place, so the window does not jump about.
template <class W>
W* Steady(W* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
  return widget;
}

void Narrow(QLineEdit* edit, const char* sample) {
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(sample) + 16);
  edit->setAlignment(Qt::AlignRight);
}

QFrame* Rule(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

}  // namespace

void MainWindow::BuildLayout() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(14, 12, 14, 12);
  outer->setSpacing(10);
  outer->addLayout(BuildPaths());
  outer->addLayout(BuildFound());
  outer->addLayout(BuildOptions());
  outer->addWidget(Rule(this));
  outer->addLayout(BuildStatus());
  outer->addLayout(BuildActions());
  outer->addStretch(1);
}

// What to convert and where the result goes.
QLayout* MainWindow::BuildPaths() {
  Form1& f = form_;
  auto* paths = new QGridLayout;
  paths->setHorizontalSpacing(8);
  auto* sourceLabel = Make<QLabel>(this, "Label5_1");
  auto* txtFile = Make<QLineEdit>(this, "txtFile");
  txtFile->setMinimumWidth(340);
  auto* command1 = Make<QPushButton>(this, "Command1");
  auto* cmdFolder = Make<QPushButton>(this, "cmdFolder");
  auto* outputLabel = Make<QLabel>(this, "Label5_0");
  auto* txtTMP = Make<QLineEdit>(this, "txtTMP");
  auto* cmdTargetFolder = Make<QPushButton>(this, "cmdTargetFolder");
  command1->setFocus(Qt::OtherFocusReason);  // choosing a source comes first
  sourceLabel->setBuddy(txtFile);
  outputLabel->setBuddy(txtTMP);
  paths->addWidget(sourceLabel, 0, 0);
  paths->addWidget(txtFile, 0, 1);
  paths->addWidget(command1, 0, 2);
  paths->addWidget(cmdFolder, 0, 3);
  // Under the source, what it is and what will become of it; two lines are kept for it, so
  // that a longer plan never moves the controls below.
  auto* lblPlan = Make<QLabel>(this, "lblPlan");
  lblPlan->setWordWrap(true);
  lblPlan->setFixedHeight(lblPlan->fontMetrics().lineSpacing() * 2 + 2);
  lblPlan->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblPlan->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblPlan->setMinimumWidth(1);
  paths->addWidget(lblPlan, 1, 1, 1, 3);
  paths->addWidget(outputLabel, 2, 0);
  paths->addWidget(txtTMP, 2, 1);
  paths->addWidget(cmdTargetFolder, 2, 2, 1, 2);
  views_.Bind(lblPlan, f.lblPlan);
  paths->setColumnStretch(1, 1);
  views_.Bind(sourceLabel, f.Label5[1]);
  views_.Bind(txtFile, f.txtFile);
  views_.Bind(command1, f.Command1);
  views_.Bind(cmdFolder, f.cmdFolder);
  views_.Bind(outputLabel, f.Label5[0]);
  views_.Bind(txtTMP, f.txtTMP);
  views_.Bind(cmdTargetFolder, f.cmdTargetFolder);
  return paths;
}

// What the source holds, as source inspection found it.
QLayout* MainWindow::BuildFound() {
  auto* found = new QHBoxLayout;
  found->setSpacing(10);
  found->addWidget(BuildStreams(), 3);
  found->addWidget(BuildAudio(), 4);
  found->addWidget(BuildFps(), 0);
  return found;
}

QWidget* MainWindow::BuildStreams() {
  Form1& f = form_;
  auto* frame1 = Make<QGroupBox>(this, "Frame1");
  auto* streams = new QGridLayout(frame1);
  auto* label2 = Make<QLabel>(frame1, "Label2");
  auto* txtS1 = Make<QLineEdit>(frame1, "txtS1");
  Narrow(txtS1, "000");
  auto* lblSubs = Steady(Make<QLabel>(frame1, "lblSubs"));
  auto* cmbSubs = Steady(Make<QComboBox>(frame1, "cmbSubs"));
  cmbSubs->setMinimumContentsLength(10);
  auto* chkSubs = Steady(Make<QCheckBox>(frame1, "chkSubs"));
  auto* lblSRTFound = Steady(Make<QLabel>(frame1, "lblSRTFound"));
  QFont strong = lblSRTFound->font();
  strong.setBold(true);
  lblSRTFound->setFont(strong);
  streams->addWidget(label2, 0, 0);
  streams->addWidget(txtS1, 0, 1, Qt::AlignLeft);
  streams->addWidget(lblSubs, 1, 0);
  streams->addWidget(cmbSubs, 1, 1);
  streams->addWidget(chkSubs, 2, 0);
  streams->addWidget(lblSRTFound, 2, 1);
  streams->setColumnStretch(1, 1);
  views_.Bind(frame1, f.Frame1);
  views_.Bind(label2, f.Label2);
  views_.Bind(txtS1, f.txtS1);
  views_.Bind(lblSubs, f.lblSubs);
  views_.Bind(cmbSubs, f.cmbSubs);
  views_.Bind(chkSubs, f.chkSubs);
  views_.Bind(lblSRTFound, f.lblSRTFound);
  return frame1;
}

QWidget* MainWindow::BuildAudio() {
  Form1& f = form_;
  auto* frame2 = Make<QGroupBox>(this, "Frame2");
  auto* audio = new QGridLayout(frame2);
  auto* cmbAudio = Make<QComboBox>(frame2, "cmbAudio");
  cmbAudio->setMinimumContentsLength(14);
  cmbAudio->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  auto* txtS2 = Make<QLineEdit>(frame2, "txtS2");
  Narrow(txtS2, "000");
  audio->addWidget(cmbAudio, 0, 0, 1, OptionButtons::kCount - 1);
  audio->addWidget(txtS2, 0, OptionButtons::kCount - 1, Qt::AlignRight);
  std::array<QRadioButton*, OptionButtons::kCount> formats{};
  for (int i = 0; i < OptionButtons::kCount; ++i) {
    const std::string name = "Option1_" + std::to_string(i);
    formats[static_cast<size_t>(i)] = Make<QRadioButton>(frame2, name.c_str());
    audio->addWidget(formats[static_cast<size_t>(i)], 1, i);
  }
  auto* lblAudioInfo = Make<QLabel>(frame2, "lblAudioInfo");
  audio->addWidget(lblAudioInfo, 2, 0, 1, OptionButtons::kCount);
  views_.Bind(lblAudioInfo, f.lblAudioInfo);
  views_.Bind(frame2, f.Frame2);
  views_.Bind(cmbAudio, f.cmbAudio);
  views_.Bind(txtS2, f.txtS2);
  views_.Bind(formats, f.Option1);
  return frame2;
}

QWidget* MainWindow::BuildFps() {
  auto* frame3 = Make<QGroupBox>(this, "Frame3");
  auto* fps = new QVBoxLayout(frame3);
  auto* txtSFPS = Make<QLineEdit>(frame3, "txtSFPS");
  Narrow(txtSFPS, "000.000");
  fps->addWidget(txtSFPS);
  fps->addStretch(1);
  views_.Bind(frame3, form_.Frame3);
  views_.Bind(txtSFPS, form_.txtSFPS);
  return frame3;
}

// How to convert.
QLayout* MainWindow::BuildOptions() {
  Form1& f = form_;
  auto* column = new QVBoxLayout;
  column->setSpacing(8);
  auto* options = new QGridLayout;
  options->setHorizontalSpacing(18);
  auto* chkMP2 = Make<QCheckBox>(this, "chkMP2");
  auto* cmdConv = Make<QComboBox>(this, "cmdConv");
  cmdConv->setMinimumContentsLength(6);
  auto* recode = new QHBoxLayout;
  recode->addWidget(chkMP2);
  recode->addWidget(cmdConv);
  recode->addStretch(1);
  auto* chkVob = Make<QCheckBox>(this, "chkVob");
  auto* chk25 = Make<QCheckBox>(this, "chk25");
  auto* chkFF = Make<QCheckBox>(this, "chkFF");
  auto* check1 = Make<QCheckBox>(this, "Check1");
  auto* autosplit = Make<QLabel>(this, "Autosplit");
  auto* split = new QHBoxLayout;
  split->setSpacing(4);
  split->addWidget(check1);
  split->addWidget(autosplit);
  split->addStretch(1);
  auto* chkDVD = Make<QCheckBox>(this, "chkDVD");
  auto* chkChapters = Steady(Make<QCheckBox>(this, "chkChapters"));
  options->addLayout(recode, 0, 0);
  options->addWidget(chk25, 0, 1);
  options->addWidget(chkVob, 1, 0);
  options->addWidget(chkFF, 1, 1);
  options->addLayout(split, 2, 0);
  options->addWidget(chkDVD, 2, 1);
  options->addWidget(chkChapters, 0, 2);
  options->setColumnStretch(2, 1);
  column->addLayout(options);
  views_.Bind(chkMP2, f.chkMP2);
  views_.Bind(cmdConv, f.cmdConv);
  views_.Bind(chkVob, f.chkVob);
  views_.Bind(chk25, f.chk25);
  views_.Bind(chkFF, f.chkFF);
  views_.Bind(check1, f.Check1);
  views_.Bind(autosplit, f.Autosplit);
  views_.Bind(chkDVD, f.chkDVD);
  views_.Bind(chkChapters, f.chkChapters);

  auto* tools = new QHBoxLayout;
  auto* cmdSubs = Make<QPushButton>(this, "cmdSubs");
  auto* command3 = Make<QPushButton>(this, "Command3");
  tools->addWidget(cmdSubs);
  tools->addWidget(command3);
  tools->addStretch(1);
  column->addLayout(tools);
  views_.Bind(cmdSubs, f.cmdSubs);
  views_.Bind(command3, f.Command3);
  return column;
}

// The status: the progress line with the batch position, the bar, and room for more lines.
QLayout* MainWindow::BuildStatus() {
  Form1& f = form_;
  status_ = new QVBoxLayout;
  status_->setSpacing(6);
  auto* progressRow = new QHBoxLayout;
  auto* txtProgress = Make<QLineEdit>(this, "txtProgress");
  txtProgress->setReadOnly(true);
  txtProgress->setFocusPolicy(Qt::NoFocus);
  auto* lblMulti = Make<QLabel>(this, "lblMulti");
  lblMulti->setMinimumWidth(lblMulti->fontMetrics().horizontalAdvance("000 of 000"));
  lblMulti->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  progressRow->addWidget(txtProgress, 1);
  progressRow->addWidget(lblMulti);
  status_->addLayout(progressRow);
  bar_ = Steady(Make<QProgressBar>(this, "progressBar"));
  bar_->setTextVisible(true);
  status_->addWidget(bar_);
  // In one row: the tool running beside the step (the video encode beside the audio work), and
  // the whole run across its steps; each keeps its place while it is hidden.
  auto* runRow = new QHBoxLayout;
  besideBar_ = Steady(Make<QProgressBar>(this, "besideBar"));
  besideBar_->setTextVisible(true);
  runBar_ = Steady(Make<QProgressBar>(this, "runBar"));
  runBar_->setTextVisible(true);
  runBar_->setRange(0, 1000);
  runRow->addWidget(besideBar_, 1);
  runRow->addWidget(runBar_, 1);
  status_->addLayout(runRow);
  // Whether the file just made plays on the consoles; empty until a conversion finishes one.
  // Two lines are kept for it (the longest verdicts and summaries wrap), so "Convert" stays put.
  verdict_ = Steady(Make<QLabel>(this, "lblVerdict"));
  verdict_->setWordWrap(true);
  verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  verdict_->setFixedHeight(verdict_->fontMetrics().lineSpacing() * 2 + 2);
  verdict_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  verdict_->setMinimumWidth(1);
  verdict_->hide();
  status_->addWidget(verdict_);
  views_.Bind(txtProgress, f.txtProgress);
  views_.Bind(lblMulti, f.lblMulti);
  return status_;
}

QLayout* MainWindow::BuildActions() {
  Form1& f = form_;
  auto* bottom = new QHBoxLayout;
  auto* label3 = Make<QLabel>(this, "Label3");
  label3->setForegroundRole(QPalette::PlaceholderText);
  auto* command2 = Make<QPushButton>(this, "Command2");
  command2->setDefault(true);
  command2->setMinimumWidth(command2->fontMetrics().horizontalAdvance("Convert") * 3);
  QFont bold = command2->font();
  bold.setBold(true);
  command2->setFont(bold);
  // Stop stands beside "Convert" while a conversion runs; it is the one control that answers
  // then, so its click runs at once instead of waiting for the window to be idle.
  stop_ = Make<QPushButton>(this, "cmdStop");
  stop_->setMinimumWidth(stop_->fontMetrics().horizontalAdvance("Stop") * 3);
  bottom->addWidget(label3, 0, Qt::AlignBottom);
  bottom->addStretch(1);
  bottom->addWidget(stop_);
  bottom->addWidget(command2);
  views_.Bind(label3, f.Label3);
  views_.Bind(command2, f.Command2);
  // While a run goes, "Convert" is disabled by the model; the other buttons that would start
  // something look as inert as they are.
  std::vector<std::pair<QPushButton*, const Button*>> inert;
  for (const auto& [name, model] : std::initializer_list<std::pair<const char*, const Button*>>{
           {"Command1", &f.Command1}, {"cmdFolder", &f.cmdFolder}, {"cmdTargetFolder", &f.cmdTargetFolder},
           {"cmdSubs", &f.cmdSubs}, {"Command3", &f.Command3}}) {
    if (auto* button = findChild<QPushButton*>(name)) inert.emplace_back(button, model);
  }
  views_.Follow(f.Command2, [this, inert] {
    for (const auto& [button, model] : inert) button->setEnabled(model->Enabled() && form_.Command2.Enabled());
  });
  views_.Follow(f.cmdStop, [this] {
    MirrorState(stop_, form_.cmdStop);
    stop_->setText(QString::fromStdString(form_.cmdStop.Caption()));
    // A new run makes the last verdict stale.
    if (form_.cmdStop.Visible()) verdict_->hide();
  });
  connect(stop_, &QPushButton::clicked, this, [this] { form_.cmdStop.Click(); });
  return bottom;
}

}  // namespace parvela::qt
