"""read() on the real spectrometer files of tests/data/bruker against their
independent reference values (<base>.ref.json), and every reader and writer of
the module against the command line's convert."""

import json
import math

import numpy as np
import pytest

import quorra
from conftest import cli_message


def close(actual, expected):
    return math.isclose(actual, expected, rel_tol=1e-9, abs_tol=1e-9)


def check_values(values, stats):
    assert len(values) == stats["count"] or "first_trace" in stats
    assert close(values.min(), stats["min"]) and close(values.max(), stats["max"])
    assert abs(values.sum() - stats["sum"]) <= 1e-10 * stats["sum_abs"]
    assert list(values[:5]) == stats["first5"] and list(values[-5:]) == stats["last5"]


def test_every_bruker_file_matches_its_reference_values(bruker_dir):
    references = sorted(bruker_dir.glob("*.ref.json"))
    assert len(references) == 24
    refused = 0
    for path in references:
        ref = json.loads(path.read_text())
        picked = bruker_dir / ref["files"]["data"]
        if ref["x_unit"] not in ("G", "T"):
            refused += 1
            with pytest.raises(ValueError, match="(?s)^NOT A FIELD SWEEP: .*in " + ref["x_unit"] + ","):
                quorra.read(picked)
            continue
        s = quorra.read(picked)
        assert s.format == ref["format"], picked
        assert s.path == str(picked)
        points = ref["points"]
        assert s.field.shape == s.intensity.shape == (points,), picked
        assert close(s.field[0], ref["x_first"]) and close(s.field[-1], ref["x_last"]), picked
        assert np.all(np.diff(s.field) > 0)
        frequency = ref.get("frequency_monitor_ghz") or ref.get("frequency_ghz")
        assert (s.frequency is None) if frequency is None else close(s.frequency, frequency), picked
        assert s.traces == ref.get("y_points", 1)

        complex_trace = ref["format"] == "BES3T" and ref["data_encoding"]["complex"][0]
        assert s.intensity.dtype == (np.complex128 if complex_trace else np.float64), picked
        stats = ref["first_trace"] if "first_trace" in ref else ref["intensity"]
        check_values(s.intensity.real, stats)
        if complex_trace:
            check_values(s.intensity.imag, ref["intensity_imag"])
        if ref["format"] == "BES3T":
            assert s.parameters.startswith("JSD ") and "\r" not in s.parameters
    assert refused == 3  # a time sweep, a pulse time trace and an ENDOR spectrum


def test_readers_and_writers_agree_with_convert(cli, bruker_dir, tmp_path):
    """The text and Harrow layouts the module writes from what it read are the
    files `quorra convert` writes, and read back as the same spectrum."""
    for name in ["99090211.dta", "calib_10dB_RT_9370-9440mT_lin_1G.DTA", "strong1.dta", "ESP.spc",
                 "5DSA 053009.spc"]:
        picked = bruker_dir / name
        s = quorra.read(picked)

        text = tmp_path / "cli.txt"
        assert cli("convert", str(picked), "-o", str(text))[0] == 0
        mine = tmp_path / "module.txt"
        quorra.write_text(mine, s.field, s.intensity.real)
        assert mine.read_bytes() == text.read_bytes(), name

        harrow = tmp_path / "cli.dat"
        assert cli("convert", str(picked), "-o", str(harrow))[0] == 0
        mine = tmp_path / "module.dat"
        frequency = s.frequency or 0.0  # convert writes 0 for a file without one
        quorra.write_harrow(mine, s.field, s.intensity, frequency, comment="Converted from " + str(picked))
        assert mine.read_bytes() == harrow.read_bytes(), name

        # Back through the Harrow and the text reader.
        again = quorra.read(mine)
        assert again.format == "Harrow" and again.frequency == pytest.approx(frequency, abs=5e-6)
        assert np.allclose(again.field, s.field, rtol=0, atol=0.5e-2)
        channel2 = again.intensity.imag if np.iscomplexobj(again.intensity) else again.intensity
        expected = s.intensity.imag if np.iscomplexobj(s.intensity) else s.intensity
        assert np.allclose(channel2, expected, rtol=0, atol=0.5e-5 * max(1, abs(expected).max()))
        again = quorra.read(text)
        assert again.format == "text" and len(again.field) == len(s.field)
        assert np.allclose(again.intensity, s.intensity.real, rtol=1e-5, atol=0)


def test_read_errors_are_the_command_lines(cli, bruker_dir, tmp_path):
    missing = tmp_path / "none.dta"
    with pytest.raises(FileNotFoundError) as caught:
        quorra.read(missing)
    code, _, err = cli("convert", str(missing), "-o", str(tmp_path / "x.dat"))
    assert code == 2 and caught.value.strerror == cli_message(err)
    assert caught.value.filename == missing

    flat = tmp_path / "flat.txt"
    flat.write_text("3000 1\n3001 1\n3002 1\n")
    garbage = tmp_path / "garbage.dat"
    garbage.write_bytes(b"\x00\x01 no marker\n")
    for path in [flat, garbage, bruker_dir / "BDPA-1DTimeSweep.DTA"]:
        with pytest.raises(ValueError) as caught:
            quorra.read(path)
        code, _, err = cli("convert", str(path), "-o", str(tmp_path / "x.dat"))
        assert code == 2
        assert str(caught.value) == (cli_message(err) or "no spectrum could be loaded from %s." % path)

    field = np.linspace(3000, 3100, 11)
    for write in (lambda p: quorra.write_text(p, field, field), lambda p: quorra.write_harrow(p, field, field, 9.5)):
        target = tmp_path / "no such folder" / "out"
        with pytest.raises(OSError) as caught:
            write(target)
        assert str(caught.value) == "cannot write %s: No such file or directory" % target
        assert not target.parent.exists()
    code, _, err = cli("simulate", "--set", "points=11", "-o", str(tmp_path / "no such folder" / "out"))
    assert code == 3 and cli_message(err) == "cannot write %s: No such file or directory" % target
    with pytest.raises(ValueError, match="^field and intensity must have the same length.$"):
        quorra.write_text(tmp_path / "x.txt", field, field[:-1])
    with pytest.raises(ValueError, match="^write_text takes a real intensity"):
        quorra.write_text(tmp_path / "x.txt", field, field * 1j)
    assert not (tmp_path / "x.txt").exists()
