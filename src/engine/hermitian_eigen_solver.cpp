#include "engine/hermitian_eigen_solver.h"

#include <cmath>

#include "engine/message_sink.h"

namespace quorra {

HermitianEigenSolver::HermitianEigenSolver(int n, MessageSink* failureSink)
    : n_(n),
      failureSink_(failureSink),
      ur_(static_cast<size_t>(n) * n),
      ui_(static_cast<size_t>(n) * n),
      z_(static_cast<size_t>(n) * n),
      d_(n + 1),
      off_(n + 1),
      ucr_(n),
      uci_(n),
      pr_(n),
      pi_(n),
      phase_(n),
      perm_(n),
      taken_(n) {}

int HermitianEigenSolver::diagonalize(double* hr, double* hi, double* e, double* vr, double* vi,
                                      bool wantVectors) {
  const int n = n_;
  auto at = [n](int row, int col) { return static_cast<size_t>(row) * n + col; };
  double* Ur = ur_.data();
  double* Ui = ui_.data();

  if (wantVectors) {
    for (int k = 0; k < n * n; ++k) Ur[k] = Ui[k] = 0.0;
    for (int k = 0; k < n; ++k) Ur[at(k, k)] = 1.0;
  }

  // Householder reduction: column i is reduced below its sub-diagonal element.
  double* ur = ucr_.data();
  double* ui = uci_.data();
  double* pr = pr_.data();
  double* pim = pi_.data();
  for (int i = 0; i + 2 < n; ++i) {
    double sigma = 0.0;
    for (int k = i + 2; k < n; ++k) sigma += hr[at(k, i)] * hr[at(k, i)] + hi[at(k, i)] * hi[at(k, i)];
    if (sigma == 0.0) continue;

    const double alphaR = hr[at(i + 1, i)];
    const double alphaI = hi[at(i + 1, i)];
    const double alphaAbs = std::hypot(alphaR, alphaI);
    const double normX = std::sqrt(sigma + alphaAbs * alphaAbs);
    double gR = normX, gI = 0.0;  // g carries the phase of alpha
    if (alphaAbs != 0.0) {
      gR = alphaR * normX / alphaAbs;
      gI = alphaI * normX / alphaAbs;
    }

    // u = x + g·e1 over rows i+1 ... n-1; h = |u|².
    ur[i + 1] = alphaR + gR;
    ui[i + 1] = alphaI + gI;
    for (int k = i + 2; k < n; ++k) {
      ur[k] = hr[at(k, i)];
      ui[k] = hi[at(k, i)];
    }
    const double h = sigma + ur[i + 1] * ur[i + 1] + ui[i + 1] * ui[i + 1];
    const double beta = 2.0 / h;

    hr[at(i + 1, i)] = -gR;
    hi[at(i + 1, i)] = -gI;
    hr[at(i, i + 1)] = -gR;
    hi[at(i, i + 1)] = gI;
    for (int k = i + 2; k < n; ++k) {
      hr[at(k, i)] = hi[at(k, i)] = 0.0;
      hr[at(i, k)] = hi[at(i, k)] = 0.0;
    }

    // Trailing block A := P·A·P with P = I − β·u·uᴴ, written as
    // A − u·wᴴ − w·uᴴ where p = β·A·u, K = β/2·uᴴ·p (real), w = p − K·u.
    double kr = 0.0;
    for (int r = i + 1; r < n; ++r) {
      double sr = 0.0, si = 0.0;
      for (int c = i + 1; c < n; ++c) {
        const double ar = hr[at(r, c)], ai = hi[at(r, c)];
        sr += ar * ur[c] - ai * ui[c];
        si += ar * ui[c] + ai * ur[c];
      }
      pr[r] = beta * sr;
      pim[r] = beta * si;
      kr += ur[r] * pr[r] + ui[r] * pim[r];  // Re(conj(u)·p)
    }
    kr *= 0.5 * beta;
    for (int r = i + 1; r < n; ++r) {
      pr[r] -= kr * ur[r];
      pim[r] -= kr * ui[r];
    }
    for (int r = i + 1; r < n; ++r) {
      for (int c = i + 1; c < n; ++c) {
        // A[r][c] -= u[r]·conj(w[c]) + w[r]·conj(u[c])
        hr[at(r, c)] -= ur[r] * pr[c] + ui[r] * pim[c] + pr[r] * ur[c] + pim[r] * ui[c];
        hi[at(r, c)] -= ui[r] * pr[c] - ur[r] * pim[c] + pim[r] * ur[c] - pr[r] * ui[c];
      }
      hi[at(r, r)] = 0.0;
    }

    if (wantVectors) {
      // Accumulator := Accumulator·P.
      for (int k = 0; k < n; ++k) {
        double tr = 0.0, ti = 0.0;
        for (int c = i + 1; c < n; ++c) {
          tr += Ur[at(k, c)] * ur[c] - Ui[at(k, c)] * ui[c];
          ti += Ur[at(k, c)] * ui[c] + Ui[at(k, c)] * ur[c];
        }
        tr *= beta;
        ti *= beta;
        for (int c = i + 1; c < n; ++c) {
          // -= t·conj(u[c])
          Ur[at(k, c)] -= tr * ur[c] + ti * ui[c];
          Ui[at(k, c)] -= ti * ur[c] - tr * ui[c];
        }
      }
    }
  }

  // Phase transformation: makes every super-diagonal element real and
  // non-negative. d and off are 1-based as the QL iteration is written.
  double* d = d_.data();
  double* off = off_.data();
  double* phi = phase_.data();
  phi[0] = 0.0;
  for (int i = 0; i + 1 < n; ++i) {
    const double re = hr[at(i, i + 1)], im = hi[at(i, i + 1)];
    off[i + 1] = std::hypot(re, im);
    phi[i + 1] = phi[i] - std::atan2(im, re);
  }
  off[n] = 0.0;
  for (int i = 0; i < n; ++i) d[i + 1] = hr[at(i, i)];

  double* Z = z_.data();  // Z[(k-1)*n + (j-1)] for 1-based k, j
  auto z = [Z, n](int row, int col) -> double& { return Z[static_cast<size_t>(row - 1) * n + (col - 1)]; };
  if (wantVectors) {
    for (int j = 0; j < n; ++j) {
      const double c = std::cos(phi[j]), s = std::sin(phi[j]);
      for (int k = 0; k < n; ++k) {
        const double re = Ur[at(k, j)], im = Ui[at(k, j)];
        Ur[at(k, j)] = c * re - s * im;
        Ui[at(k, j)] = c * im + s * re;
      }
    }
    for (int k = 0; k < n * n; ++k) Z[k] = 0.0;
    for (int k = 1; k <= n; ++k) z(k, k) = 1.0;
  }

  // QL with implicit shifts on the real symmetric tridiagonal matrix.
  bool converged = true;
  for (int l = 1; l <= n && converged; ++l) {
    int iterations = 0;
    for (;;) {
      int m = l;
      for (; m <= n - 1; ++m) {
        const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(off[m]) + dd == dd) break;
      }
      if (m == l) break;
      if (iterations == kMaxIterations) {
        converged = false;
        break;
      }
      ++iterations;
      double g = (d[l + 1] - d[l]) / (2.0 * off[l]);
      double r = std::sqrt(g * g + 1.0);
      g = d[m] - d[l] + off[l] / (g + (g < 0.0 ? -r : r));
      double s = 1.0, c = 1.0, p = 0.0;
      for (int i = m - 1; i >= l; --i) {
        double f = s * off[i];
        const double b = c * off[i];
        if (std::fabs(f) >= std::fabs(g)) {
          c = g / f;
          r = std::sqrt(c * c + 1.0);
          off[i + 1] = f * r;
          s = 1.0 / r;
          c *= s;
        } else {
          s = f / g;
          r = std::sqrt(s * s + 1.0);
          off[i + 1] = g * r;
          c = 1.0 / r;
          s *= c;
        }
        g = d[i + 1] - p;
        r = (d[i] - g) * s + 2.0 * c * b;
        p = s * r;
        d[i + 1] = g + p;
        g = c * r - b;
        if (wantVectors) {
          for (int k = 1; k <= n; ++k) {
            f = z(k, i + 1);
            z(k, i + 1) = s * z(k, i) + c * f;
            z(k, i) = c * z(k, i) - s * f;
          }
        }
      }
      d[l] -= p;
      off[l] = g;
      off[m] = 0.0;
    }
  }

  if (!converged) {
    for (int j = 0; j < n; ++j) e[j] = d[j + 1];
    if (failureSink_ != nullptr)
      failureSink_->messageBox("Diagonalization failed", "ERROR", MessageIcon::Stop);
    return 0;
  }

  // Descending selection sort; a strictly greater value replaces the current
  // choice, so equal values keep their QL order.
  int* perm = perm_.data();
  unsigned char* taken = taken_.data();
  for (int k = 0; k < n; ++k) taken[k] = 0;
  for (int j = 0; j < n; ++j) {
    int best = -1;
    for (int k = 0; k < n; ++k) {
      if (taken[k]) continue;
      if (best < 0 || d[k + 1] > d[best + 1]) best = k;
    }
    taken[best] = 1;
    perm[j] = best;
    e[j] = d[best + 1];
  }

  if (wantVectors) {
    for (int k = 0; k < n; ++k) {
      for (int j = 0; j < n; ++j) {
        const int col = perm[j] + 1;
        double sr = 0.0, si = 0.0;
        for (int m = 0; m < n; ++m) {
          const double zm = z(m + 1, col);
          sr += Ur[at(k, m)] * zm;
          si += Ui[at(k, m)] * zm;
        }
        vr[at(k, j)] = sr;
        vi[at(k, j)] = si;
      }
    }
  }
  return 1;
}

}  // namespace quorra
