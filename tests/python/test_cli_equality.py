"""The module against the command line: the same settings give the same
numbers. Spectra are compared through the text spectrum both write, byte for
byte, and through the module's arrays printed in the same layout."""

import json

import numpy as np
import pytest

import quorra
from conftest import cli_message

# A rhombic system with quadrupole terms, I = 5/2 and two superhyperfine sets
# on a coarse powder grid, so that the powder run stays short.
LOW_SYMMETRY = dict(gx=2.01, gy=2.07, gz=2.3, Ax=15.0, Ay=40.0, Az=170.0, nuclearSpinText="5/2", P=3.0,
                    Q=1.5, points=4096, thetaStep=3.0, phiStep=12.0, isotropicWidth=8.5,
                    percentGaussian=40.0)
SHF_ROWS = [("1/2", 8, 9, 12, 2), (1, 3.5, 4, 5, 1)]


def set_options(parameters):
    """--set options for the keyword parameters, with the text the module gives each value."""
    options = []
    for name, value in parameters.items():
        text = str(int(value)) if isinstance(value, bool) else repr(value) if isinstance(value, float) else str(value)
        options += ["--set", f"{name}={text}"]
    return options


def text_spectrum(field, intensity):
    return "".join("%10.4f %12.5E\n" % pair for pair in zip(field, intensity))


def cli_spectrum(cli, tmp_path, *arguments):
    output = tmp_path / "cli.txt"
    code, _, stderr = cli("simulate", *arguments, "-o", str(output))
    assert code == 0, stderr
    return output.read_bytes()


def check_same_spectrum(cli, tmp_path, arguments, **keywords):
    expected = cli_spectrum(cli, tmp_path, *arguments)
    field, intensity = quorra.simulate(**keywords)
    assert field.dtype == intensity.dtype == np.float64
    assert text_spectrum(field, intensity).encode() == expected
    written = tmp_path / "module.txt"
    quorra.write_text(written, field, intensity)
    assert written.read_bytes() == expected
    return field, intensity


def test_default_powder_and_crystal_equal_the_command_line(cli, tmp_path):
    field, intensity = check_same_spectrum(cli, tmp_path, [])
    assert len(field) == 65536 and field[0] == 0.0 and field[-1] == 6000.0
    assert intensity.max() > 0 > intensity.min()
    # Any thread count, the same bits.
    assert np.array_equal(quorra.simulate(threads=1)[1], intensity)
    check_same_spectrum(cli, tmp_path, ["--crystal", "30,40"], crystal=(30, 40))
    check_same_spectrum(cli, tmp_path, ["--crystal", "0,0", "--engine", "reference"], crystal=(0.0, 0.0),
                        engine="reference")


def test_low_symmetry_system_equals_the_command_line(cli, tmp_path):
    table = tmp_path / "shf.txt"
    table.write_text("".join(" ".join(str(v) for v in row) + "\n" for row in SHF_ROWS))
    options = set_options(LOW_SYMMETRY) + ["--shf", str(table)]
    _, from_file = check_same_spectrum(cli, tmp_path, options + ["--threads", "2"], shf=table, threads=2,
                                       **LOW_SYMMETRY)
    # The rows give the table the file gives.
    _, from_rows = quorra.simulate(shf=SHF_ROWS, **LOW_SYMMETRY)
    assert np.array_equal(from_rows, from_file)
    check_same_spectrum(cli, tmp_path, options + ["--crystal", "37.5,61", "--engine", "reference"],
                        shf=str(table), crystal=(37.5, 61), engine="reference", **LOW_SYMMETRY)
    # Anisotropic line widths take the other path of the synthesis.
    widths = dict(LOW_SYMMETRY, anisotropic=True, widthX=6.0, widthY=9.0, widthZ=14.0)
    check_same_spectrum(cli, tmp_path, set_options(widths), **widths)


def test_physical_preset_equals_the_command_line(cli, tmp_path):
    system = dict(points=4096, thetaStep=2.0, phiStep=10.0, nucleus="63Cu")
    check_same_spectrum(cli, tmp_path, ["--preset", "physical"] + set_options(system), preset="physical",
                        **system)
    with pytest.raises(ValueError, match='^The preset must be exact or physical: "physics".$'):
        quorra.simulate(preset="physics")


def test_fields_levels_roadmap_and_rotate_equal_the_command_line(cli, tmp_path):
    code, out, err = cli("fields", "--orientation", "30,40", "--json", *set_options(LOW_SYMMETRY))
    assert code == 0, err
    expected = json.loads(out)
    found = quorra.fields(30, 40, **LOW_SYMMETRY)
    assert found.dtype.names == ("field", "probability", "levels")
    assert len(found) == len(expected) > 0
    for record, line in zip(found, expected):
        assert "%.4f" % record["field"] == "%.4f" % line["field"]
        assert "%.10g" % record["probability"] == "%.10g" % line["probability"]
        assert list(record["levels"]) == line["levels"]

    code, out, err = cli("levels", "--orientation", "30,40", "--field", "3000", *set_options(LOW_SYMMETRY))
    assert code == 0, err
    levels = quorra.levels(30, 40, field=3000, **LOW_SYMMETRY)
    assert len(levels) == 2 * 6
    assert np.all(np.diff(levels["gauss"]) < 0)  # highest first
    listing = "".join("%3d %16.6f G %14.8f GHz\n" % (k + 1, level["gauss"], level["ghz"])
                      for k, level in enumerate(levels))
    assert out.split("\n", 1)[1] == listing

    table = tmp_path / "roadmap.csv"
    code, _, err = cli("roadmap", "--axis", "90,0", "-o", str(table), *set_options(LOW_SYMMETRY))
    assert code == 0, err
    dots = quorra.roadmap((90, 0), **LOW_SYMMETRY)

    def tidy(value, half_unit):
        return 0.0 if abs(value) < half_unit else value

    rows = ["%.1f,%.6f,%.6f,%.4f,%.6E,%d,%d" % (tidy(d["angle"], 0.05), tidy(d["theta"], 5e-7),
                                                 tidy(d["phi"], 5e-7), d["field"], d["probability"],
                                                 d["levels"][0], d["levels"][1]) for d in dots]
    assert table.read_text().splitlines() == ["angle,theta,phi,field,probability,upper,lower"] + rows

    for axis, angle in [((90, 0), 30), ((0, 0), 0), ((33.3, 12.5), 147.25)]:
        code, out, err = cli("rotate", "--axis", "%r,%r" % axis, "--angle", repr(angle))
        assert code == 0, err
        theta, phi = quorra.rotate(axis, angle)
        assert "%.6f %.6f\n" % (tidy(theta, 5e-10), tidy(phi, 5e-10)) == out
