"""Type stubs of the quorra module: exact EPR spectrum simulation.

Fields in gauss, frequencies in GHz, angles in degrees. Parameters are keyword
arguments with the names of the command line's --set (see quorra.parameters()).
"""

import os
from typing import Callable, Optional, Sequence, Tuple, TypedDict, Union

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
    """A spectrum read by read()."""

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
