"""Type stubs of the quorra module: exact EPR spectrum simulation.

Fields in gauss, frequencies in GHz, angles in degrees. Parameters are keyword
arguments with the names of the command line's --set (see quorra.parameters()).
"""

import os
from typing import Callable, Mapping, Optional, Sequence, Tuple, TypedDict, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, os.PathLike[str]]
_ShfRow = Tuple[Union[str, int], float, float, float, int]
_Parameter = Union[float, int, bool, str]

__version__: str

class ParameterInfo(TypedDict):
    name: str
    unit: str
    default: str
    values: str
    meaning: str

def simulate(
    *,
    shf: Optional[Union[_Path, Sequence[_ShfRow]]] = None,
    threads: int = 0,
    engine: str = "fast",
    crystal: Optional[Tuple[float, float]] = None,
    progress: Optional[Callable[[float, float], object]] = None,
    **parameters: _Parameter,
) -> Tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """The powder spectrum (or one crystal orientation): (field in gauss, intensity)."""

def fields(theta: float, phi: float, **parameters: _Parameter) -> npt.NDArray[np.void]:
    """Resonances of one direction: structured array (field, probability, levels[2])."""

def levels(theta: float, phi: float, field: float, **parameters: _Parameter) -> npt.NDArray[np.void]:
    """Energy levels at one field, highest first: structured array (gauss, ghz)."""

def roadmap(axis: Tuple[float, float], **parameters: _Parameter) -> npt.NDArray[np.void]:
    """Resonances over a turn about axis: (angle, theta, phi, field, probability, levels[2])."""

def rotate(axis: Tuple[float, float], angle: float) -> Tuple[float, float]:
    """Field direction (theta, phi) reached by turning the crystal by angle about axis."""

def parameters() -> list[ParameterInfo]:
    """Every parameter name with unit, default, values taken and meaning."""

class Spectrum:
    """A spectrum read by read(), or made from arrays for fit()."""

    def __init__(
        self, field: npt.ArrayLike, intensity: npt.ArrayLike, frequency: Optional[float] = None
    ) -> None:
        """field in gauss rising in equal steps, a real intensity, frequency in GHz or None."""

    @property
    def field(self) -> npt.NDArray[np.float64]:
        """Field grid in gauss."""
    @property
    def intensity(self) -> Union[npt.NDArray[np.float64], npt.NDArray[np.complex128]]:
        """The trace; complex128 when the file holds two channels."""
    @property
    def frequency(self) -> Optional[float]:
        """Microwave frequency in GHz, None when the file has none."""
    @property
    def parameters(self) -> str:
        """The experimental parameter text."""
    @property
    def format(self) -> str:
        """'BES3T', 'ESP', 'text' or 'Harrow'."""
    @property
    def title(self) -> str:
        """The file's own title or comment."""
    @property
    def traces(self) -> int:
        """Traces in the file (the first one is read)."""
    @property
    def path(self) -> str:
        """The path that was read."""

def read(path: _Path) -> Spectrum:
    """Reads a .dta/.dsc, .spc/.par, Harrow .dat or text spectrum."""

def write_text(path: _Path, field: npt.ArrayLike, intensity: npt.ArrayLike) -> None:
    """Writes a two-column text spectrum ("%10.4lf %12.5E")."""

def write_harrow(
    path: _Path,
    field: npt.ArrayLike,
    intensity: npt.ArrayLike,
    frequency: float,
    header: str = "Exp",
    comment: str = "",
) -> None:
    """Writes a Harrow .dat file (field in tesla, two channels)."""


class FitParameter(TypedDict):
    start: float
    low: float
    high: float
    value: Optional[float]
    error: Optional[float]
    interval: Optional[list[float]]
    at_bound: bool

class FitExperiment(TypedDict):
    path: str
    frequency_ghz: Optional[float]
    scale: Optional[float]
    baseline: list[Optional[float]]

class FitResult:
    """What fit() found; arrays in the order of names."""

    @property
    def names(self) -> Tuple[str, ...]: ...
    @property
    def values(self) -> npt.NDArray[np.float64]: ...
    @property
    def errors(self) -> npt.NDArray[np.float64]:
        """Standard errors; NaN where not determined."""
    @property
    def intervals(self) -> npt.NDArray[np.float64]:
        """95 % intervals, shape (n, 2)."""
    @property
    def correlation(self) -> npt.NDArray[np.float64]:
        """Shape (n, n); NaN when no errors are given."""
    @property
    def parameters(self) -> dict[str, FitParameter]:
        """Per name, as the JSON report of `quorra fit -o`."""
    @property
    def chi2(self) -> float: ...
    @property
    def residual_rms_relative(self) -> float: ...
    @property
    def degrees_of_freedom(self) -> int: ...
    @property
    def simulations(self) -> int: ...
    @property
    def seconds(self) -> float: ...
    @property
    def singular(self) -> bool: ...
    @property
    def method(self) -> str: ...
    @property
    def fields(self) -> list[npt.NDArray[np.float64]]:
        """Per experiment, its field grid in gauss."""
    @property
    def model(self) -> list[npt.NDArray[np.float64]]:
        """Per experiment, the fitted spectrum on its grid."""
    @property
    def measured(self) -> list[npt.NDArray[np.float64]]:
        """Per experiment, the measured trace fitted."""
    @property
    def experiments(self) -> list[FitExperiment]: ...

_Experiment = Union[_Path, Spectrum]

def fit(
    experiments: Union[_Experiment, Sequence[_Experiment]],
    vary: Mapping[str, Tuple[float, float]],
    *,
    method: str = "lm",
    starts: int = 16,
    seed: int = 1,
    baseline: int = 0,
    window: Optional[Tuple[float, float]] = None,
    exclude: Sequence[Tuple[float, float]] = (),
    threads: int = 0,
    progress: Optional[Callable[[int, float], object]] = None,
    shf: Optional[Union[_Path, Sequence[_ShfRow]]] = None,
    preset: Optional[str] = None,
    **parameters: _Parameter,
) -> FitResult:
    """Fits the varied parameters to one or more measured spectra, as `quorra fit`."""
