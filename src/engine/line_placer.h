#pragma once
// Lines into a spectrum on the field grid: each resonance split by the
// superhyperfine sets of the orientation, and placed either as a histogram
// count at its nearest grid point (the spectrum is broadened afterwards) or,
// when lines have widths of their own or are shared between two grid points,
// broadened one by one with the line-shape kernel or a Voigt profile. Also
// the histogram of a field that varies linearly over a triangle or a segment
// of orientations (the adaptive powder grid).
//
// The grid has points values from fieldStart, fieldStep apart; a line at
// position x = (field − fieldStart)/fieldStep lands on index trunc(x + 0.5)
// for −1 < x + 0.5 < points. Everything is allocated at construction; no
// member function allocates. One instance is used by one thread.

#include <string>
#include <vector>

#include "engine/solver_parameters.h"

namespace quorra {

class LinePlacer {
 public:
  // shfText must already have been accepted by parseShfTable.
  LinePlacer(const std::string& shfText, const SolverParameters& parameters, double fieldStart,
             double fieldRange, int points);

  // The orientation's direction cosines l and effective g value: its line
  // width, superhyperfine splittings and (with per-line widths) strain widths.
  void setOrientation(double lx, double ly, double lz, double gEff);
  // The line width of the orientation (gauss).
  double lineWidth() const { return lineWidth_; }
  // The width of a line at field with nuclear projection m (per-line widths):
  // the orientation's width with the m factors and the g and A strains.
  double widthFor(double field, double m) const;
  // True when the lines are broadened one by one into the target rather
  // than summed as a histogram.
  bool placesLinesOneByOne() const { return perLine_ || p_.model.betweenPoints; }

  // One transition's line at field with intensity, split by the
  // superhyperfine sets, added to target (points doubles, never cleared).
  // With per-line widths it takes the width last given to addLineOfWidth or
  // the orientation's.
  void addResonance(double field, double intensity, double* target);
  // The same with its own width (used only with per-line widths); nothing
  // for an intensity that is not positive.
  void addLineOfWidth(double field, double intensity, double width, double* target);
  // The histogram of a field that varies linearly over a triangle
  // (corners = 3) or a segment (corners = 2) of orientations, fields[v] at
  // corner v, carrying mass spread evenly over it: for each superhyperfine
  // line, each bin receives the share of the mass whose field falls in it.
  // splittings[v] holds the superhyperfine splittings at corner v.
  void addSpreadLines(const double* fields, const double* const* splittings, int corners, double mass,
                      double* target);

  int shfSetCount() const { return static_cast<int>(shf_.size()); }
  // The splitting (gauss) of superhyperfine set s for the orientation.
  double shfSplitting(int s) const { return shf_[static_cast<size_t>(s)].splitting; }
  // True when every superhyperfine set has equal x and y couplings.
  bool axialSets() const;

  // The indices of target written since resetTouched() lie within
  // [touchedLow(), touchedHigh()] when touchedLow() ≤ touchedHigh().
  int touchedLow() const { return touchedLow_; }
  int touchedHigh() const { return touchedHigh_; }
  void resetTouched() {
    touchedLow_ = points_;
    touchedHigh_ = -1;
  }

 private:
  void addLine(int index, double amount, double* target);
  // A Voigt line of width W centred at index (per-line widths).
  void addVoigtLine(int index, double amount, double W, double* target);
  // Mass spread over the bin coordinates [a, c] with the triangular density
  // of a linear field over a triangle whose middle corner is at b (b = a or
  // b = c: a segment), into the bins the histogram uses.
  void addSpread(double a, double b, double c, double mass, double* target);
  // Widens [touchedLow_, touchedHigh_] to the points reach away from index, within 0 … N − 1.
  void markTouched(int index, int reach, int N) {
    const int low = index - reach < 0 ? 0 : index - reach;
    const int high = index + reach >= N ? N - 1 : index + reach;
    if (low < touchedLow_) touchedLow_ = low;
    if (high > touchedHigh_) touchedHigh_ = high;
  }

  SolverParameters p_;
  double fieldStart_, fieldStep_;
  double kernelReach_;  // kernel extent in grid points per gauss of width
  int points_;
  bool perLine_;
  // Current orientation: its width, the width of the line being added, the
  // g-strain width per gauss and the A-strain width per unit of m.
  double lineWidth_ = 0.0, currentWidth_ = 0.0;
  double gStrainPerField_ = 0.0, aStrainPerM_ = 0.0;
  // The Voigt line's nodes (addVoigtLine): at most reach/spacing + 4.
  static constexpr int kVoigtReachNodes = 1000;
  std::vector<double> voigtNodes_ = std::vector<double>(kVoigtReachNodes + 4, 0.0);

  // Superhyperfine sets, each expanded into its lines in walking order
  // (M = 0, 1, −1, 2, −2, … or ½, −½, 3/2, −3/2, …).
  struct ShfLines {
    double splitting = 0;  // gauss, current orientation
    double gAx, gAy, gAz;
    std::vector<double> M;
    std::vector<double> multiplicity;
  };
  std::vector<ShfLines> shf_;
  std::vector<int> odometer_;
  int touchedLow_ = 0, touchedHigh_ = -1;
};

}  // namespace quorra
