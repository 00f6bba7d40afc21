// The dialogs of the desktop program driven as a user would: the Line Shape
// dialog's number check and re-broadening, the superhyperfine table's line
// rules, the tools' dialogs, file filters and default extensions, the text
// window of the experimental parameters, printing, and closing during a run.

#include "gui/dialogs.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTextCursor>
#include <filesystem>
#include <fstream>
#include <vector>

#include "data/temp_folder.h"
#include "engine/shf_table.h"
#include "gui/line_shape_dialog.h"
#include "gui/printing.h"
#include "gui/qt_user_interface.h"
#include "gui/tool_dialogs.h"
#include "gui_fixture.h"

namespace quorra::testing {
namespace {

std::string writeLine(const TempFolder& folder) {
  const std::string path = folder.path() + "/line.txt";
  std::ofstream out(path);
  out << "freq=9.5\n";
  for (int i = 0; i <= 1000; ++i) {
    const double x = (i - 500) / 50.0;
    out << 3000 + 0.5 * i << " " << -x * std::exp(-x * x) << "\n";
  }
  return path;
}

std::vector<double> redTrace(CEprWindow& w) {
  return {w.redValues(), w.redValues() + w.spin.points};
}

TEST(Dialogs, LinewidthRefusesABadNumberThenReBroadensTheRun) {
  GuiFixture f;
  f.choose(CommandId::Simulation);
  CEprWindow& w = f.window.state();
  ASSERT_TRUE(w.flags.redPresent);
  const std::vector<double> before = redTrace(w);

  bool stayedOpen = false;
  f.answerer.dialogs.push_back([&](QDialog* dialog) {
    auto* shape = qobject_cast<gui::LineShape*>(dialog);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->windowTitle(), "Line Shape");
    EXPECT_EQ(shape->edit("Linewidth")->text(), "20");
    QTimer::singleShot(0, shape, [&, shape] {
      shape->edit("X")->setText("12");
      shape->edit("Linewidth")->setText("ten");
      shape->accept();  // refused: the message, and the dialog stays
      stayedOpen = shape->isVisible();
      EXPECT_EQ(w.lineShape.widthX, 10.0);  // nothing written
      shape->edit("Linewidth")->setText("10");
      shape->edit("Per-cent Gaussian:")->setText("150");
      shape->accept();  // refused: outside its range
      EXPECT_EQ(w.lineShape.isotropicWidth, 20.0);
      shape->edit("Per-cent Gaussian:")->setText("100");
      shape->accept();
    });
  });
  f.choose(CommandId::Linewidth);
  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(f.answerer.messages.size(), 2u);
  EXPECT_TRUE(f.answerer.messages[0].text.contains("Linewidth"));
  EXPECT_EQ(f.answerer.messages[1].joined(),
            "Please enter a number between 0 and 100 % for \"Per-cent Gaussian:\".|INVALID NUMBER");
  EXPECT_EQ(w.lineShape.isotropicWidth, 10.0);
  EXPECT_EQ(w.lineShape.widthX, 12.0);
  EXPECT_TRUE(w.flags.redPresent);
  EXPECT_NE(redTrace(w), before);  // the histogram broadened anew, no new run
}

TEST(Dialogs, TheShfTableIsStoredWithLineEndsAndAtMost999Characters) {
  EXPECT_EQ(gui::HyperDialog::storedTable("1/2 10 10 15 2\n1 5 5 5 1"),
            "1/2 10 10 15 2\r\n1 5 5 5 1\r\n");  // the last line is read too
  EXPECT_EQ(gui::HyperDialog::storedTable("1/2 10 10 15 2\n"), "1/2 10 10 15 2\r\n");
  EXPECT_EQ(gui::HyperDialog::storedTable(QString(1200, 'x')).size(), 999u);

  GuiFixture f;
  f.answerer.dialogs.push_back([&](QDialog* dialog) {
    auto* table = qobject_cast<gui::HyperDialog*>(dialog);
    ASSERT_NE(table, nullptr);
    QTimer::singleShot(0, table, [table] {
      table->edit()->setPlainText(QString(80, '1'));
      table->accept();  // a line the solver would cut: refused
      table->edit()->setPlainText("   1/2        12        12        16    2");
      table->accept();
    });
  });
  f.choose(CommandId::ShfConstants);
  EXPECT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.window.state().shfText, "   1/2        12        12        16    2\r\n");
}

// Each caption of the superhyperfine table stands over its column of the
// default table, as the edit shows it.
TEST(Dialogs, TheShfCaptionsStandOverTheirColumns) {
  (void)guiApplication();
  gui::HyperDialog dialog(defaultShfText());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QPlainTextEdit* edit = dialog.edit();
  // x in the dialog of the left edge of character column c of the table.
  auto tableX = [&](int column) {
    QTextCursor cursor(edit->document());
    cursor.setPosition(column);
    return edit->viewport()->mapTo(&dialog, edit->cursorRect(cursor).topLeft()).x();
  };
  QLabel* captions = dialog.captions();
  const QFontMetrics metrics(captions->font());
  const int captionsLeft = captions->mapTo(&dialog, captions->contentsRect().topLeft()).x();
  const QStringList lines = captions->text().split('\n');
  struct Caption {
    const char* text;
    int firstColumn, endColumn;  // the columns of the default table it belongs to
  };
  const int right = edit->mapTo(&dialog, QPoint(edit->width(), 0)).x();
  for (const Caption& c : {Caption{"Spin", 0, 6}, Caption{"Hyperfine", 6, 36}, Caption{"Constants", 6, 36},
                           Caption{"Ax", 6, 16}, Caption{"Ay", 16, 26}, Caption{"Az", 26, 36},
                           Caption{"Number", 36, -1}, Caption{"of Atoms", 36, -1}}) {
    const QString* line = nullptr;
    for (const QString& l : lines)
      if (l.contains(c.text)) line = &l;
    ASSERT_NE(line, nullptr) << c.text;
    const int start = captionsLeft + metrics.horizontalAdvance(line->left(line->indexOf(c.text)));
    const int end = start + metrics.horizontalAdvance(c.text);
    EXPECT_GE(start, tableX(c.firstColumn)) << c.text;
    EXPECT_LE(end, c.endColumn < 0 ? right : tableX(c.endColumn)) << c.text;
  }
}

// Message boxes and input boxes are wide enough for their whole title.
TEST(Dialogs, BoxTitlesAreNotCut) {
  (void)guiApplication();
  QFont bold = QApplication::font();
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  QMessageBox box(QMessageBox::Warning, "NO SPECTRA TO PRINT", "Screen is empty", QMessageBox::Ok);
  gui::fitTitle(box);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  EXPECT_GE(box.width(), metrics.horizontalAdvance(box.windowTitle()) + 100);
  gui::TInputBox input("MULTIPLY EXPERIMENTAL SPECTRUM", "Enter the multiplication factor", "1.000000");
  input.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&input));
  EXPECT_GE(input.width(), metrics.horizontalAdvance(input.windowTitle()) + 100);
}

TEST(Dialogs, FileFiltersInQtForm) {
  EXPECT_EQ(gui::qtNameFilters("Bruker Files dta, spc |*.dta; *.spc||"),
            QStringList{"Bruker Files dta, spc (*.dta *.spc)"});
  EXPECT_EQ(gui::qtNameFilters("Text files (*.txt,*.asc)|*.txt; *.asc|All files (*.*)|*.*||"),
            (QStringList{"Text files (*.txt *.asc)", "All files (*.*)"}));
  EXPECT_EQ(gui::qtNameFilters("Harrow's Files (*.dat )|*.dat|All files (*.*)|*.*||").first(),
            "Harrow's Files (*.dat)");
}

TEST(Dialogs, SavingAddsTheDefaultExtensionAndAsksBeforeReplacing) {
  GuiFixture f;
  TempFolder folder;
  f.choose(CommandId::Simulation);
  f.answerer.filePaths = {QString::fromStdString(folder.path() + "/red")};
  f.choose(CommandId::SaveRed);
  const std::string saved = folder.path() + "/red.txt";
  EXPECT_TRUE(std::filesystem::exists(saved));
  EXPECT_EQ(f.window.state().currentFileName, saved);
  EXPECT_TRUE(f.answerer.messages.empty());

  std::filesystem::resize_file(saved, 0);
  f.answerer.filePaths = {QString::fromStdString(saved)};
  f.answerer.buttons = {QMessageBox::No};
  f.choose(CommandId::SaveRed);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(), "Overwrite existing file?|FILE EXISTS");
  EXPECT_EQ(std::filesystem::file_size(saved), 0u);  // No keeps the file
}

TEST(Dialogs, ToolsWorkOnTheLoadedSpectrum) {
  GuiFixture f;
  TempFolder folder;
  CEprWindow& w = f.window.state();

  // Without an experimental spectrum there are no parameters and nothing to smooth.
  f.choose(CommandId::ShowExperimentalParameters);
  ASSERT_EQ(f.answerer.messages.size(), 1u);
  EXPECT_EQ(f.answerer.messages[0].joined(), "No experimental spectrum is available|NO PARAMETERS TO SHOW");
  f.choose(CommandId::Smoothen);
  EXPECT_EQ(f.window.smoothDialog(), nullptr);

  f.answerer.filePaths = {QString::fromStdString(writeLine(folder))};
  f.choose(CommandId::LoadText);
  ASSERT_TRUE(w.flags.bluePresent);
  w.experimentalParameterText = "Sweep 500 G\r\nPoints 1001\r\n";
  QString shownTitle, shownText;
  f.answerer.dialogs.push_back([&](QDialog* dialog) {
    shownTitle = dialog->windowTitle();
    shownText = qobject_cast<gui::ExperParam*>(dialog)->text();
    dialog->reject();
  });
  f.choose(CommandId::ShowExperimentalParameters);
  EXPECT_EQ(shownTitle, "Experimental Parameters");
  EXPECT_EQ(shownText, "Sweep 500 G\nPoints 1001\n");

  f.choose(CommandId::Smoothen);
  gui::SmoothDialog* smooth = f.window.smoothDialog();
  ASSERT_NE(smooth, nullptr);
  EXPECT_EQ(smooth->windowTitle(), "Smooth Spectrum");
  smooth->pointsEdit()->setText("4");
  smooth->calculateButton()->click();
  EXPECT_EQ(smooth->pointsEdit()->text(), "5");  // the odd window used
  EXPECT_TRUE(w.flags.redPresent);
  smooth->pointsEdit()->setText("many");
  smooth->calculateButton()->click();
  EXPECT_EQ(f.answerer.messages.size(), 2u);
  EXPECT_EQ(w.smoothingPoints, 5);

  f.choose(CommandId::HilbertTransform);
  gui::HilbertDlg* hilbert = f.window.hilbertDialog();
  ASSERT_NE(hilbert, nullptr);
  EXPECT_EQ(hilbert->windowTitle(), "Hlbert Transform");
  hilbert->angleEdit()->setText("180");
  hilbert->calculateButton()->click();
  // Upside down (nearly: the shortened π leaves a trace of the transform),
  // scaled to the blue range.
  EXPECT_NEAR(w.red.max - w.red.min, w.blue.max - w.blue.min, 1e-12);
  EXPECT_NEAR(w.red.max, -w.blue.min, 1e-5);

  // A new load closes the smoothing dialog.
  f.answerer.filePaths = {QString::fromStdString(writeLine(folder))};
  f.choose(CommandId::LoadText);
  EXPECT_EQ(f.window.smoothDialog(), nullptr);

  // Multiply by -2 through the input box.
  const double max = w.blue.max, min = w.blue.min;
  f.answerer.inputTexts = {"-2"};
  f.choose(CommandId::MultiplyExperimental);
  EXPECT_EQ(w.blue.max, -2 * min);
  EXPECT_EQ(w.blue.min, -2 * max);
}

TEST(Dialogs, PrintedPageGoesToThePrinter) {
  GuiFixture f;
  TempFolder folder;
  f.answerer.filePaths = {QString::fromStdString(writeLine(folder))};
  f.choose(CommandId::LoadText);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const std::string pdf = folder.path() + "/page.pdf";
  printer.setOutputFileName(QString::fromStdString(pdf));
  EXPECT_TRUE(gui::PrintPage(f.window.state(), printer, 1920));
  EXPECT_EQ(printer.docName().toStdString(), f.window.state().currentFileName);
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
}

TEST(Dialogs, ClosingDuringARunBreaksItAndThenCloses) {
  GuiFixture f(false);
  CEprWindow& w = f.window.state();
  w.spin.points = 4096;
  w.spin.thetaStep = 0.05;
  w.threadCount = 1;
  f.window.action(CommandId::Simulation)->trigger();
  ASSERT_TRUE(f.window.simulationRunning());
  f.window.close();
  EXPECT_TRUE(f.window.isVisible());  // not while the run holds the state
  f.waitForIdle();
  QApplication::processEvents();
  EXPECT_FALSE(f.window.isVisible());
  EXPECT_FALSE(w.flags.redPresent);
}

}  // namespace
}  // namespace quorra::testing
