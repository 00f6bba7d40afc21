#pragma once
// The Fit window: fits the simulation to the measured (blue) spectrum. The
// user lists the parameters to vary with their bounds (each starts from its
// value in the parameters), chooses the method, a field window, ranges to
// leave out and the order of the baseline, and presses Fit. The fit runs on
// a thread of its own: the red trace shows the model at the best point so
// far and the residual (blue − red) lies under the spectra, both renewed at
// most a few times a second; Break stops with the best point found. The
// result table gives values, standard errors, 95 % intervals and the
// correlations; Apply writes the values into the parameters, Cancel takes
// them back out (a step of the tools' undo); the report is saved as JSON or
// as text.
//
// Bad input is refused with the sentence the command line prints for it.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ceprwindow.h"
#include "app/tool_undo.h"
#include "fit/fit_report.h"
#include "gui/fit_runner.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace quorra::gui {

class FitDialog : public QDialog {
  Q_OBJECT
 public:
  // readParameters takes what is typed in an open Parameters dialog into the
  // state first (false when refused), as "Simulation" does.
  FitDialog(CEprWindow& state, ToolUndo& undo, std::function<bool()> readParameters,
            QWidget* parent = nullptr);
  ~FitDialog() override;

  // Says whether there is a measured spectrum to fit and shows the start
  // values as the parameters now hold them.
  void refresh();
  bool running() const { return runner_.running(); }
  FitRunner& runner() { return runner_; }

  // Adds a row to the varied parameters: bounds proposed around the start
  // value unless given.
  void addParameter(const QString& name, const QString& low = QString(), const QString& high = QString());

  QLabel* spectrumLabel() const { return spectrum_; }
  QTableWidget* parameterTable() const { return parameters_; }
  QComboBox* nameBox() const { return name_; }
  QComboBox* methodBox() const { return method_; }
  QSpinBox* startsBox() const { return starts_; }
  QSpinBox* seedBox() const { return seed_; }
  QLineEdit* windowFromEdit() const { return windowFrom_; }
  QLineEdit* windowToEdit() const { return windowTo_; }
  QLineEdit* excludeEdit() const { return exclude_; }
  QSpinBox* baselineBox() const { return baseline_; }
  QPushButton* fitButton() const { return fit_; }
  QPushButton* breakButton() const { return break_; }
  QPushButton* applyButton() const { return apply_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* saveJsonButton() const { return saveJson_; }
  QPushButton* saveTextButton() const { return saveText_; }
  QLabel* statusLabel() const { return status_; }
  QTableWidget* resultTable() const { return results_; }
  QTableWidget* correlationTable() const { return correlation_; }

 signals:
  // A fit started (true) or ended (false): the main window holds its
  // commands meanwhile.
  void runningChanged(bool running);
  // Apply or Cancel changed the parameters.
  void parametersChanged();

 public slots:
  void startFit();
  // Break: the fit stops at its next simulation with the best point so far.
  void breakFit();
  // Closing the window stops a fit under way first.
  void reject() override;

 protected:
  // Esc during a fit is Break, as in the main window; otherwise it closes.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The request of the window's entries, or nothing after a message saying
  // what is wrong.
  std::optional<FitRequest> readRequest();
  void showProgress(long simulations, double best, const std::vector<double>& model);
  void showResult();
  void applyValues();
  void cancelValues();
  void saveReport(bool json);
  // The report of the shown result, as JSON or as text.
  std::string reportText(bool json) const;
  void setRunning(bool running);
  void refused(const std::string& text);

  CEprWindow& state_;
  ToolUndo& undo_;
  std::function<bool()> readParameters_;
  FitRunner runner_;
  bool applied_ = false;   // the values of the shown result are in the parameters
  bool stopping_ = false;  // Break was pressed or the window closes during the fit
  // The fixed settings and the superhyperfine table at the start of the fit, for its report.
  fit::SettingTexts fixedSettings_;
  std::string shfText_;

  QLabel* spectrum_;
  QTableWidget* parameters_;
  QComboBox* name_;
  QPushButton *add_, *remove_;
  QComboBox* method_;
  QSpinBox *starts_, *seed_, *baseline_;
  QLineEdit *windowFrom_, *windowTo_, *exclude_;
  QPushButton *fit_, *break_, *apply_, *cancel_, *saveJson_, *saveText_;
  QLabel* status_;
  QTableWidget *results_, *correlation_;
  QLabel* summary_;
};

}  // namespace quorra::gui
