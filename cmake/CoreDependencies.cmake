# Libraries the core needs beyond OpenMP (none of them a GUI toolkit).

# FFTW3 computes the Hilbert transform of an experimental spectrum as an exact
# linear convolution.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)
target_link_libraries(quorra_data PUBLIC PkgConfig::FFTW3)
