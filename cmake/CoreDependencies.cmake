# Libraries the core needs beyond OpenMP (none of them a GUI toolkit).

# FFTW3 computes the Hilbert transform of an experimental spectrum, and the
# line-shape convolutions the adaptive powder grid compares, as exact linear
# convolutions.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)
target_link_libraries(quorra_data PUBLIC PkgConfig::FFTW3)
target_link_libraries(quorra_synthesis PUBLIC PkgConfig::FFTW3)

# libcerf gives the Faddeeva function w(z), from which the engine draws a
# Voigt line (the convolution of a Gaussian and a Lorentzian).
pkg_check_modules(CERF REQUIRED IMPORTED_TARGET libcerf)
target_link_libraries(quorra_engine PUBLIC PkgConfig::CERF)

# Fitting: Ceres Solver's Levenberg-Marquardt with bounds and its covariance
# estimation; NLopt's Nelder-Mead simplex. Eigen comes with Ceres and solves
# the linear part (scale and baseline) of every evaluation.
find_package(Ceres REQUIRED)
find_package(NLopt REQUIRED)
target_link_libraries(quorra_fit PUBLIC Ceres::ceres NLopt::nlopt)

# nlohmann-json reads a fit report back (quorra fit --from); header-only.
find_package(nlohmann_json 3 REQUIRED)
target_link_libraries(quorra_fit PRIVATE nlohmann_json::nlohmann_json)
