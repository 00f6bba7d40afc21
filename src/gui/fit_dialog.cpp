#include "gui/fit_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/data_commands.h"
#include "app/parameter_names.h"
#include "data/atomic_file.h"
#include "gui/fit_request.h"
#include "gui/number_field.h"

namespace quorra::gui {

namespace {

enum ParameterColumn { kName, kLow, kHigh, kStart };

// Bounds to begin with: ±0.05 in g, ±10 G of field offset, the whole range
// of the Gaussian share, ±30 % of anything else (±1 about zero), pulled
// toward the start until they lie in the parameter's range.
std::pair<double, double> proposedBounds(const std::string& name, double start) {
  if (name == fit::kFieldOffset) return {-10, 10};
  if (name == "percentGaussian") return {0, 100};
  const double half = name[0] == 'g' && name.size() >= 2 && name[1] >= 'x' && name[1] <= 'z' ? 0.05
                      : start != 0 ? 0.3 * std::abs(start)
                                   : 1.0;
  double low = start - half, high = start + half;
  fit::VariedParameter p;
  p.name = name;
  for (const std::string& target : p.targets())
    for (int k = 0; k < 60 && !(parameterInRange(target, low) && parameterInRange(target, high)); ++k) {
      if (!parameterInRange(target, low)) low = (low + start) / 2;
      if (!parameterInRange(target, high)) high = (high + start) / 2;
    }
  return {low, high};
}

QTableWidgetItem* fixedItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

QString number(double value, int digits) {
  return std::isfinite(value) ? QString::number(value, 'g', digits) : QString("\u2013");
}

QTableWidget* makeTable(QWidget* parent, const QStringList& headers) {
  auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  table->setHorizontalHeaderLabels(headers);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table->verticalHeader()->setVisible(false);
  return table;
}

}  // namespace

FitDialog::FitDialog(CEprWindow& state, ToolUndo& undo, std::function<bool()> readParameters, QWidget* parent)
    : QDialog(parent), state_(state), undo_(undo), readParameters_(std::move(readParameters)) {
  setWindowTitle("Fit");
  spectrum_ = new QLabel(this);
  spectrum_->setWordWrap(true);

  auto* varied = new QGroupBox("Varied parameters (each starts from its value)", this);
  parameters_ = makeTable(varied, {"Parameter", "Low", "High", "Start"});
  parameters_->setMinimumHeight(160);
  name_ = new QComboBox(varied);
  name_->setEditable(true);
  name_->setObjectName("parameterName");
  for (const std::string& name : variableNames(state_)) name_->addItem(QString::fromStdString(name));
  name_->setCurrentIndex(-1);
  name_->lineEdit()->setPlaceholderText("parameter to vary");
  name_->setToolTip(
      "A name of the parameter table, several joined by commas to vary them as one (gx,gy), "
      "or fieldOffset (G)");
  add_ = new QPushButton("Add", varied);
  remove_ = new QPushButton("Remove", varied);
  auto* adding = new QHBoxLayout;
  adding->addWidget(name_, 1);
  adding->addWidget(add_);
  adding->addWidget(remove_);
  auto* variedLayout = new QVBoxLayout(varied);
  variedLayout->addWidget(parameters_);
  variedLayout->addLayout(adding);

  auto* how = new QGroupBox("Method and points", this);
  method_ = new QComboBox(how);
  method_->addItem("Levenberg-Marquardt", "lm");
  method_->addItem("Nelder-Mead simplex", "simplex");
  method_->addItem("Global: quasi-random starts, each polished", "global");
  starts_ = new QSpinBox(how);
  starts_->setRange(1, 10000);
  starts_->setValue(16);
  seed_ = new QSpinBox(how);
  seed_->setRange(0, 2147483647);
  seed_->setValue(1);
  windowFrom_ = new QLineEdit(how);
  windowTo_ = new QLineEdit(how);
  windowFrom_->setPlaceholderText("whole grid");
  windowTo_->setPlaceholderText("whole grid");
  exclude_ = new QLineEdit(how);
  exclude_->setPlaceholderText("FROM:TO, FROM:TO ... (G)");
  baseline_ = new QSpinBox(how);
  baseline_->setRange(0, 3);
  auto* grid = new QGridLayout(how);
  grid->addWidget(new QLabel("Method", how), 0, 0);
  grid->addWidget(method_, 0, 1, 1, 3);
  grid->addWidget(new QLabel("Starts", how), 1, 0);
  grid->addWidget(starts_, 1, 1);
  grid->addWidget(new QLabel("Seed", how), 1, 2);
  grid->addWidget(seed_, 1, 3);
  grid->addWidget(new QLabel("Field window (G)", how), 2, 0);
  grid->addWidget(windowFrom_, 2, 1);
  grid->addWidget(new QLabel("to", how), 2, 2);
  grid->addWidget(windowTo_, 2, 3);
  grid->addWidget(new QLabel("Excluded ranges", how), 3, 0);
  grid->addWidget(exclude_, 3, 1, 1, 3);
  grid->addWidget(new QLabel("Baseline order", how), 4, 0);
  grid->addWidget(baseline_, 4, 1);

  fit_ = new QPushButton("Fit", this);
  fit_->setDefault(true);
  break_ = new QPushButton("Break", this);
  status_ = new QLabel(this);
  auto* running = new QHBoxLayout;
  running->addWidget(fit_);
  running->addWidget(break_);
  running->addWidget(status_, 1);

  auto* outcome = new QGroupBox("Result", this);
  results_ = makeTable(outcome, {"Parameter", "Value", "Error", "95 % interval"});
  correlation_ = makeTable(outcome, {});
  // Every number and name shown whole; the window grows or scrolls instead.
  results_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  results_->horizontalHeader()->setStretchLastSection(true);
  correlation_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  summary_ = new QLabel(outcome);
  summary_->setWordWrap(true);
  auto* outcomeLayout = new QVBoxLayout(outcome);
  outcomeLayout->addWidget(results_);
  outcomeLayout->addWidget(new QLabel("Correlations", outcome));
  outcomeLayout->addWidget(correlation_);
  outcomeLayout->addWidget(summary_);

  apply_ = new QPushButton("Apply", this);
  cancel_ = new QPushButton("Cancel", this);
  saveJson_ = new QPushButton("Save JSON...", this);
  saveText_ = new QPushButton("Save text...", this);
  auto* close = new QPushButton("Close", this);
  apply_->setToolTip("Write the fitted values into the parameters");
  cancel_->setToolTip("Take the applied values back out of the parameters");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {apply_, cancel_, saveJson_, saveText_}) buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(spectrum_);
  layout->addWidget(varied);
  layout->addWidget(how);
  layout->addLayout(running);
  layout->addWidget(outcome, 1);
  layout->addLayout(buttons);
  resize(560, 760);

  connect(add_, &QPushButton::clicked, this, [this] { addParameter(name_->currentText().trimmed()); });
  connect(remove_, &QPushButton::clicked, this, [this] {
    if (parameters_->currentRow() >= 0) parameters_->removeRow(parameters_->currentRow());
  });
  connect(parameters_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() != kName || parameters_->item(item->row(), kStart) == nullptr) return;
    const std::optional<double> start = startValue(state_, item->text().trimmed().toStdString());
    parameters_->item(item->row(), kStart)->setText(start ? formatDouble(*start) : QString("?"));
  });
  connect(method_, &QComboBox::currentIndexChanged, this, [this] {
    const bool global = method_->currentData().toString() == "global";
    starts_->setEnabled(global);
    seed_->setEnabled(global);
  });
  connect(fit_, &QPushButton::clicked, this, &FitDialog::startFit);
  connect(break_, &QPushButton::clicked, this, &FitDialog::breakFit);
  connect(apply_, &QPushButton::clicked, this, &FitDialog::applyValues);
  connect(cancel_, &QPushButton::clicked, this, &FitDialog::cancelValues);
  connect(saveJson_, &QPushButton::clicked, this, [this] { saveReport(true); });
  connect(saveText_, &QPushButton::clicked, this, [this] { saveReport(false); });
  connect(close, &QPushButton::clicked, this, &FitDialog::reject);
  connect(&runner_, &FitRunner::progressed, this, &FitDialog::showProgress);
  connect(&runner_, &FitRunner::finished, this, [this] {
    setRunning(false);
    showResult();
  });
  starts_->setEnabled(false);
  seed_->setEnabled(false);
  setRunning(false);
  refresh();
}

FitDialog::~FitDialog() = default;  // the runner stops and waits for a fit under way

void FitDialog::refresh() {
  const std::optional<fit::Experiment> experiment = measuredSpectrum(state_);
  if (experiment) {
    const QString file = QFileInfo(QString::fromStdString(experiment->path)).fileName();
    spectrum_->setText(QString("Fitting the simulation to %1: %2 points from %3 to %4 G, at %5 GHz.")
                           .arg(file)
                           .arg(experiment->points)
                           .arg(experiment->fieldAt(0), 0, 'f', 2)
                           .arg(experiment->fieldAt(experiment->points - 1), 0, 'f', 2)
                           .arg(experiment->frequency, 0, 'g', 8));
  } else {
    spectrum_->setText(
        "No measured spectrum is loaded. Load one (File menu): the fit compares the "
        "simulation with the blue trace.");
  }
  if (!running()) fit_->setEnabled(experiment.has_value());
  for (int row = 0; row < parameters_->rowCount(); ++row) {
    const QTableWidgetItem* name = parameters_->item(row, kName);
    const std::optional<double> start =
        name != nullptr ? startValue(state_, name->text().trimmed().toStdString()) : std::nullopt;
    if (parameters_->item(row, kStart) != nullptr)
      parameters_->item(row, kStart)->setText(start ? formatDouble(*start) : QString("?"));
  }
}

void FitDialog::addParameter(const QString& name, const QString& low, const QString& high) {
  if (name.isEmpty()) return;
  const std::optional<double> start = startValue(state_, name.toStdString());
  QString lowText = low, highText = high;
  if (start && (lowText.isEmpty() || highText.isEmpty())) {
    const auto [from, to] = proposedBounds(name.toStdString(), *start);
    if (lowText.isEmpty()) lowText = formatDouble(from);
    if (highText.isEmpty()) highText = formatDouble(to);
  }
  const int row = parameters_->rowCount();
  parameters_->insertRow(row);
  parameters_->setItem(row, kStart, fixedItem(start ? formatDouble(*start) : QString("?")));
  parameters_->setItem(row, kName, new QTableWidgetItem(name));
  parameters_->setItem(row, kLow, new QTableWidgetItem(lowText));
  parameters_->setItem(row, kHigh, new QTableWidgetItem(highText));
}

void FitDialog::refused(const std::string& text) {
  state_.ui().messageBox(text, "FIT NOT STARTED", MessageIcon::Exclamation);
}

std::optional<FitRequest> FitDialog::readRequest() {
  if (!readParameters_()) return std::nullopt;  // the Parameters dialog said why
  std::optional<fit::Experiment> experiment = measuredSpectrum(state_);
  if (!experiment) {
    refused("There is no measured spectrum to fit: load one first.");
    return std::nullopt;
  }
  FitRequest request;
  request.experiments.push_back(std::move(*experiment));
  if (parameters_->rowCount() == 0) {
    refused("Nothing to fit: add a parameter to vary.");
    return std::nullopt;
  }
  for (int row = 0; row < parameters_->rowCount(); ++row) {
    const auto text = [&](int column) {
      const QTableWidgetItem* item = parameters_->item(row, column);
      return item != nullptr ? item->text().trimmed() : QString();
    };
    fit::VariedParameter p;
    p.name = text(kName).toStdString();
    const std::optional<double> low = readDouble(text(kLow)), high = readDouble(text(kHigh));
    if (!low || !high) {
      refused("The bounds of " + p.name + " must be numbers, LOW and HIGH: \"" + text(kLow).toStdString() +
              "\" and \"" + text(kHigh).toStdString() + "\".");
      return std::nullopt;
    }
    p.low = *low;
    p.high = *high;
    p.start = startValue(state_, p.name).value_or(0.0);
    request.varied.push_back(p);
  }

  fit::ModelSettings& settings = request.settings;
  settings.baselineOrder = baseline_->value();
  settings.fixedFrequency = true;  // the frequency of the parameters, as "Simulation" has it
  const QString from = windowFrom_->text().trimmed(), to = windowTo_->text().trimmed();
  if (!from.isEmpty() || !to.isEmpty()) {
    const std::optional<double> a = readDouble(from), b = readDouble(to);
    if (!a || !b) {
      refused("The field window expects FROM and TO in gauss, got \"" + from.toStdString() + "\" and \"" +
              to.toStdString() + "\".");
      return std::nullopt;
    }
    settings.hasWindow = true;
    settings.window = {*a, *b};
  }
  for (const QString& range : exclude_->text().split(QRegularExpression("[,;\\s]+"), Qt::SkipEmptyParts)) {
    const QStringList ends = range.split(':');
    const std::optional<double> a = ends.size() == 2 ? readDouble(ends[0]) : std::nullopt;
    const std::optional<double> b = ends.size() == 2 ? readDouble(ends[1]) : std::nullopt;
    if (!a || !b) {
      refused("An excluded range expects FROM:TO in gauss, got \"" + range.toStdString() + "\".");
      return std::nullopt;
    }
    settings.excluded.push_back({*a, *b});
  }

  request.configure = parametersOf(state_);
  const QString method = method_->currentData().toString();
  request.options.method = method == "simplex"  ? fit::Method::Simplex
                           : method == "global" ? fit::Method::Global
                                                : fit::Method::LevenbergMarquardt;
  request.options.starts = starts_->value();
  request.options.seed = static_cast<uint64_t>(seed_->value());
  request.options.threads = state_.threadCount;
  if (const std::string problem =
          fit::checkModel(request.experiments, request.configure, request.varied, request.settings);
      !problem.empty()) {
    refused(problem);
    return std::nullopt;
  }
  return request;
}

void FitDialog::startFit() {
  if (running()) return;
  std::optional<FitRequest> request = readRequest();
  if (!request) return;
  fixedSettings_ = fit::settingTexts(state_);
  shfText_ = state_.shfText;
  results_->setRowCount(0);
  correlation_->setRowCount(0);
  correlation_->setColumnCount(0);
  summary_->clear();
  applied_ = false;
  stopping_ = false;
  status_->setText("Fitting...");
  runner_.start(std::move(*request));
  setRunning(true);
}

void FitDialog::setRunning(bool running) {
  for (QWidget* input : std::initializer_list<QWidget*>{parameters_, name_, add_, remove_, method_,
                                                        windowFrom_, windowTo_, exclude_, baseline_})
    input->setEnabled(!running);
  starts_->setEnabled(!running && method_->currentData().toString() == "global");
  seed_->setEnabled(starts_->isEnabled());
  fit_->setEnabled(!running && state_.flags.bluePresent);
  break_->setEnabled(running);
  const bool result = !running && runner_.result() && runner_.result()->ok;
  apply_->setEnabled(result && !applied_);
  cancel_->setEnabled(result && applied_);
  saveJson_->setEnabled(result);
  saveText_->setEnabled(result);
  emit runningChanged(running);
}

void FitDialog::showProgress(long simulations, double best, const std::vector<double>& model) {
  if (!stopping_)
    status_->setText(QString("%1 simulations, best sum of squares %2").arg(simulations).arg(best, 0, 'g', 6));
  if (!model.empty() && showFittedModel(state_, model)) state_.view.showResidual = true;
}

void FitDialog::showResult() {
  const fit::FitResult& result = *runner_.result();
  if (!result.ok) {
    status_->setText(QString::fromStdString(result.failure));
    if (!stopping_) state_.ui().messageBox(result.failure, "FIT FAILED", MessageIcon::Stop);
    return;
  }
  if (showFittedModel(state_, result.model.front())) state_.view.showResidual = true;
  state_.ui().redrawView();

  const std::vector<fit::VariedParameter>& varied = runner_.request().varied;
  const int n = static_cast<int>(varied.size());
  results_->setRowCount(n);
  QStringList names;
  for (int j = 0; j < n; ++j) {
    const fit::ParameterResult& r = result.parameters[static_cast<size_t>(j)];
    const QString name = QString::fromStdString(varied[static_cast<size_t>(j)].name);
    names << name;
    const bool determined = std::isfinite(r.error);
    const QString interval =
        determined       ? QString("[%1, %2]").arg(number(r.intervalLow, 8), number(r.intervalHigh, 8))
        : r.atBound      ? QString("at its bound")
        : result.stopped ? QString("stopped")
                         : QString("not determined");
    const QString cells[] = {name, number(r.value, 10), number(r.error, 4), interval};
    for (int c = 0; c < 4; ++c) results_->setItem(j, c, fixedItem(cells[c]));
  }
  correlation_->setRowCount(result.correlation.empty() ? 0 : n);
  correlation_->setColumnCount(result.correlation.empty() ? 0 : n);
  correlation_->setHorizontalHeaderLabels(names);
  correlation_->verticalHeader()->setVisible(true);
  correlation_->setVerticalHeaderLabels(names);
  for (int a = 0; a < static_cast<int>(result.correlation.size()); ++a)
    for (int b = 0; b < n; ++b)
      correlation_->setItem(
          a, b, fixedItem(number(result.correlation[static_cast<size_t>(a)][static_cast<size_t>(b)], 3)));

  QString summary =
      QString("Sum of squares %1; residual RMS %2 % of the peak-to-peak height; %3 simulations in %4 s.")
          .arg(result.sumOfSquares, 0, 'g', 6)
          .arg(100 * result.residualRms / result.peakToPeak, 0, 'g', 3)
          .arg(result.simulations)
          .arg(result.seconds, 0, 'f', 1);
  if (result.stopped) summary += " Stopped: the best point found so far, without errors.";
  if (result.singular) summary += " The fitted points do not determine every parameter: no errors given.";
  summary_->setText(summary);
  status_->setText(result.stopped ? "Stopped." : "Done.");
}

void FitDialog::applyValues() {
  const std::optional<fit::FitResult>& result = runner_.result();
  if (running() || !result || !result->ok || applied_) return;
  undo_.recordWithParameters(state_);
  applyFittedValues(state_, runner_.request().varied, *result, runner_.request().experiments.front());
  undo_.settle(state_);
  applied_ = true;
  apply_->setEnabled(false);
  cancel_->setEnabled(true);
  refresh();
  emit parametersChanged();
}

void FitDialog::cancelValues() {
  if (running() || !applied_) return;
  if (!undo_.newestHoldsParameters()) {
    state_.ui().messageBox(
        "The applied values are no longer the last step to undo: undo the later steps first.",
        "NOTHING TO UNDO", MessageIcon::Information);
    return;
  }
  undo_.undo(state_);
  applied_ = false;
  apply_->setEnabled(true);
  cancel_->setEnabled(false);
  refresh();
  emit parametersChanged();
}

void FitDialog::saveReport(bool json) {
  const std::optional<fit::FitResult>& result = runner_.result();
  if (!result || !result->ok) return;
  FileDialogRequest request;
  request.filter = json ? "JSON files (*.json)|*.json|All files (*.*)|*.*||"
                        : "Text files (*.txt)|*.txt|All files (*.*)|*.*||";
  request.defaultExtension = json ? "json" : "txt";
  request.overwritePrompt = true;
  const std::optional<std::string> path = state_.ui().saveFileDialog(request);
  if (!path || !ConfirmOverwrite(state_.ui(), *path)) return;
  const std::string error = writeFileAtomically(*path, reportText(json));
  if (!error.empty())
    state_.ui().messageBox(error + "\n" + *path, "FILE NOT SAVED", MessageIcon::Information);
}

void FitDialog::breakFit() {
  if (!running()) return;
  stopping_ = true;
  runner_.requestStop();
  status_->setText("Stopping at the next simulation...");
}

void FitDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && running()) {
    breakFit();
    return;
  }
  QDialog::keyPressEvent(event);
}

std::string FitDialog::reportText(bool json) const {
  const FitRequest& r = runner_.request();
  return json ? fit::reportJson(r.experiments, r.varied, r.settings, r.options, *runner_.result(),
                                fixedSettings_, shfText_)
              : fit::reportText(r.experiments, r.varied, r.settings, r.options, *runner_.result());
}

void FitDialog::reject() {
  if (running()) {
    stopping_ = true;
    runner_.requestStop();
    runner_.wait();
  }
  state_.view.showResidual = false;
  state_.ui().redrawView();
  QDialog::reject();
  deleteLater();
}

}  // namespace quorra::gui
