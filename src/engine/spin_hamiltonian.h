#pragma once
// The spin Hamiltonian of S = 1/2 coupled to one nucleus of spin I = twoI/2
// (rhombic g and A, quadrupole P and Q, nuclear Zeeman) for one direction of
// the field, as a dense Hermitian D × D matrix (D = 2·(2I + 1)), its levels at
// a field, and the operators the line weights read from the eigenvectors.
//
// Energies are in gauss at the free-electron g value ge = 2.0023. Basis
// (0-based index): k = 0 … NI−1 is |MS = +½, m = I − k⟩, NI + k is
// |MS = −½, m = I − k⟩. Matrices are row-major, element (r, c) at r·D + c;
// eigenvectors column-wise, component k of vector j at [k·D + j].
// Everything is allocated at construction; no member function allocates.

#include <vector>

#include "engine/hermitian_eigen_solver.h"
#include "engine/solver_parameters.h"

namespace quorra {

class MessageSink;

class SpinHamiltonian {
 public:
  static constexpr double ge = 2.0023;

  // failureSink receives eigen-solver failures.
  SpinHamiltonian(const SolverParameters& parameters, MessageSink* failureSink);

  int dimension() const { return D_; }
  // Sets the field direction (θ from z, φ from x, degrees).
  void setOrientation(double thetaDegrees, double phiDegrees);
  // H0 + H(B) for the current direction, both triangles, into hr()/hi().
  void hamiltonianAt(double B);
  // Only the field-dependent part H(B) (upper triangle) into hr()/hi().
  void fieldPart(double B);
  // Eigenvalues (descending) of hamiltonianAt(B). With vectors, they are left
  // in eigenvectorsReal/Imag (column j belongs to level j). Returns the
  // eigen-solver's result.
  int levelsAt(double B, bool wantVectors);

  double* hr() { return Hr_; }
  double* hi() { return Hi_; }
  const double* fieldFree() const { return H0_; }  // H0, upper triangle
  const double* energies() const { return E_; }
  const double* eigenvectorsReal() const { return Vr_; }
  const double* eigenvectorsImag() const { return Vi_; }

  // The direction cosines l of the field and its angles' sines and cosines.
  double lx() const { return lx_; }
  double ly() const { return ly_; }
  double lz() const { return lz_; }
  double cosTheta() const { return cosTheta_; }
  double sinTheta() const { return sinTheta_; }
  double cosPhi() const { return cosPhi_; }
  double sinPhi() const { return sinPhi_; }
  // The effective g value of the direction, √Σ(g_i·l_i)².
  double gEff() const { return gEff_; }
  // The largest eigenvalue of the field matrix M = dH/dB of the direction
  // (the smallest is its negative): no level moves faster with the field.
  double levelSpeed() const { return levelSpeed_; }

  // d(E_j)/dB by Hellmann–Feynman, ⟨ψj|dH/dB|ψj⟩ (energy unit per gauss),
  // for eigenvectors vr, vi laid out as eigenvectorsReal/Imag.
  double levelSlope(const double* vr, const double* vi, int j) const;
  // ⟨ψj|I·n|ψj⟩ for a unit vector n.
  double nuclearProjection(const double* vr, const double* vi, const double* n, int j) const;

 private:
  SolverParameters p_;
  double Axp_, Ayp_, Azp_;  // hyperfine constants in the energy unit
  double nuclearZeeman_;    // γ, energy unit per gauss
  int twoI_, D_, NI_;
  double lx_ = 0, ly_ = 0, lz_ = 1, cosTheta_ = 1, sinTheta_ = 0, cosPhi_ = 1, sinPhi_ = 0;
  double gEff_ = 0.0, levelSpeed_ = 0.0;

  HermitianEigenSolver eigen_;
  std::vector<double> block_;  // all matrices
  double *Hr_, *Hi_, *H0_, *Vr_, *Vi_, *E_;
  // Nuclear tables: ⟨m∓1|I∓|m⟩/2 by basis index, m, m², and the quadrupole
  // pair elements.
  std::vector<double> lowerPart_, raisePart_, mValue_, quadDiag_, quadPair_;
};

}  // namespace quorra
