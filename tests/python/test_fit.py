"""quorra.fit: known parameters recovered from a noisy simulation, the command
line's report reproduced to the bit, and every refusal with its message."""

import json
import os
import signal
import threading

import numpy as np
import pytest

import quorra
from conftest import TESTDATA, cli_message

# A nitroxide-like radical, isotropic, on a short grid with each line shared
# between its two grid points so that the spectrum moves smoothly with g.
RADICAL = dict(nuclearSpinText="1", nuclearMoment=0.4038, gx=2.006, gy=2.006, gz=2.006, Ax=15, Ay=15, Az=15,
               isotropicWidth=2, percentGaussian=50, fieldCentre=3400, fieldRange=120, points=1024,
               thetaStep=15, phiStep=90, frequency=9.5, betweenPoints=1)
VARY = {"gx,gy,gz": (1.99, 2.02), "Ax,Ay,Az": (10, 20), "isotropicWidth": (0.5, 5)}

AMINOXYL = TESTDATA / "bruker" / "Aminoxyl_radical_a.DTA"
AMINOXYL_START = dict(nuclearSpinText="1", nuclearMoment=0.4038, gx=2.006, gy=2.006, gz=2.006, Ax=15, Ay=15,
                      Az=15, isotropicWidth=2, percentGaussian=50, thetaStep=30, phiStep=90)


def test_recovers_the_parameters_of_a_noisy_simulation():
    truth = dict(RADICAL, gx=2.0051, gy=2.0051, gz=2.0051, Ax=16.2, Ay=16.2, Az=16.2, isotropicWidth=2.4)
    field, clean = quorra.simulate(**truth)
    noisy = clean + np.random.default_rng(1).normal(0, 0.01 * np.ptp(clean), clean.size)
    seen = []
    result = quorra.fit(quorra.Spectrum(field, noisy, 9.5), VARY, progress=lambda n, best: seen.append((n, best)),
                        **RADICAL)

    assert result.names == ("gx,gy,gz", "Ax,Ay,Az", "isotropicWidth")
    assert np.all(np.abs(result.values - [2.0051, 16.2, 2.4]) < 4 * result.errors)
    assert np.all(result.errors < [1e-5, 0.01, 0.01])
    assert np.all((result.intervals[:, 0] < result.values) & (result.values < result.intervals[:, 1]))
    assert np.allclose(np.diag(result.correlation), 1) and np.allclose(result.correlation, result.correlation.T)
    # The residual is the noise put in.
    assert abs(result.residual_rms_relative / 0.01 - 1) < 0.1
    assert np.array_equal(result.fields[0], field) and np.array_equal(result.measured[0], noisy)
    assert np.sqrt(np.sum((result.model[0] - noisy) ** 2)) == pytest.approx(np.sqrt(result.chi2))
    assert result.degrees_of_freedom == 1024 - 3 - 2 and not result.singular
    # Progress comes with the lock held, ends at the final count and best chi2.
    assert seen[-1] == (result.simulations, result.chi2) and all(a[0] < b[0] for a, b in zip(seen, seen[1:]))

    class Enough(Exception):
        pass

    def stop(n, best):
        raise Enough(n)

    with pytest.raises(Enough):
        quorra.fit(quorra.Spectrum(field, noisy), VARY, progress=stop, **RADICAL)


def test_result_is_the_command_lines_report(cli, tmp_path):
    report, spectrum = tmp_path / "fit.json", tmp_path / "fit.txt"
    options = [f"--set={name}={value}" for name, value in AMINOXYL_START.items()]
    code, _, err = cli("fit", str(AMINOXYL), *options, "--vary", "Ax,Ay,Az=10:20", "--vary",
                       "isotropicWidth=0.3:6", "--vary", "fieldOffset=-5:5", "--baseline", "1",
                       "--window", "3400:3560", "--exclude", "3470:3475", "-o", str(report), "--spectrum",
                       str(spectrum))
    assert code == 0, err
    expected = json.loads(report.read_text())
    vary = {"Ax,Ay,Az": (10, 20), "isotropicWidth": (0.3, 6), "fieldOffset": (-5, 5)}
    # The file as the command line loads it, and as read() gives it.
    for experiment in [AMINOXYL, quorra.read(AMINOXYL)]:
        result = quorra.fit(experiment, vary, baseline=1, window=(3400, 3560), exclude=[(3470, 3475)],
                            **AMINOXYL_START)
        assert result.parameters == expected["parameters"]
        assert result.correlation.tolist() == expected["correlation"]
        assert list(result.values) == [p["value"] for p in expected["parameters"].values()]
        for key in ["chi2", "residual_rms_relative", "degrees_of_freedom", "simulations"]:
            assert getattr(result, key) == expected[key], key
        assert [{k: e[k] for k in ["frequency_ghz", "scale", "baseline"]} for e in result.experiments] == \
            [{k: e[k] for k in ["frequency_ghz", "scale", "baseline"]} for e in expected["experiments"]]
        quorra.write_text(tmp_path / "module.txt", result.fields[0], result.model[0])
        assert (tmp_path / "module.txt").read_bytes() == spectrum.read_bytes()


def test_refusals_carry_the_command_lines_messages(cli, tmp_path):
    cases = [
        ({"gz": (2.1, 2.0)}, {}, ["--vary", "gz=2.1:2.0"],
         "The bounds of gz must be finite with LOW below HIGH: 2.1:2."),
        ({"gq": (1, 2)}, {}, ["--vary", "gq=1:2"], 'Unknown parameter name "gq".'),
        ({"gz": (1, 2)}, {"gq": 1}, ["--vary", "gz=1:2", "--set", "gq=1"], 'Unknown parameter name "gq".'),
        ({"gx,gy": (2.1, 2.2)}, {}, ["--vary", "gx,gy=2.1:2.2"],
         "The start value 2.05 of gx,gy lies outside its bounds 2.1:2.2."),
        ({"fieldCentre": (3000, 3500)}, {}, ["--vary", "fieldCentre=3000:3500"],
         "fieldCentre cannot be varied: the simulation takes each experiment's field grid."),
        ({"nuclearSpinText": (1, 2)}, {}, ["--vary", "nuclearSpinText=1:2"],
         "nuclearSpinText cannot be varied: only real numbers can."),
        ({"gz": (2, 2.3)}, {"window": (3000, 3100)}, ["--vary", "gz=2:2.3", "--window", "3000:3100"],
         "No point of %s lies inside the field window and outside the excluded ranges." % AMINOXYL),
        ({"gz": (2, 2.3)}, {"baseline": 4}, None, "The baseline order must be 0, 1, 2 or 3, not 4."),
        # Found by the fit itself: nothing the spectrum depends on.
        ({"temperature": (100, 400)}, {}, ["--vary", "temperature=100:400"],
         "The fitted points do not depend on temperature: it cannot be fitted with these settings."),
    ]
    for vary, keywords, options, message in cases:
        with pytest.raises(ValueError) as caught:
            quorra.fit(AMINOXYL, vary, **keywords)
        assert str(caught.value) == message
        if options:
            code, _, err = cli("fit", str(AMINOXYL), *options, "-o", str(tmp_path / "r.json"))
            assert code == 2 and cli_message(err).removesuffix(" Nothing written.") == message
    assert not (tmp_path / "r.json").exists()

    # The module's own arguments.
    own = [
        (dict(vary={}), "Nothing to fit: give at least one vary={name: (low, high)}."),
        (dict(vary={"gz": 2}), "vary expects {name: (low, high)}, got 'gz': 2."),
        (dict(vary=[("gz", 1, 2)]), "vary expects {name: (low, high)}, got [('gz', 1, 2)]."),
        (dict(vary=VARY, method="newton"), 'method must be "lm", "simplex" or "global", got "newton".'),
        (dict(vary=VARY, starts=0), "starts must be 1 or more."),
        (dict(vary=VARY, threads=-1), "threads must be 0 (all processors) or more."),
        (dict(vary=VARY, window=(1,)), "window expects (from, to) in gauss, got (1,)."),
        (dict(vary=VARY, exclude=[(1, "x")]), "exclude expects (from, to) in gauss, got (1, 'x')."),
    ]
    for arguments, message in own:
        with pytest.raises(ValueError) as caught:
            quorra.fit(AMINOXYL, **arguments)
        assert str(caught.value) == message
    with pytest.raises(ValueError, match="field must rise in equal steps"):
        quorra.Spectrum([0, 1, 3], [1, 2, 3])
    with pytest.raises(FileNotFoundError):
        quorra.fit(tmp_path / "none.DTA", VARY)
    with pytest.raises(TypeError):
        quorra.fit(3, VARY)


def test_ctrl_c_stops_a_fit_with_keyboard_interrupt():
    def not_past_a_few_hundred(simulations, best):
        assert simulations < 500, "Ctrl-C did not stop the fit"  # ends the test rather than wait for the fit

    # The whole powder grid and many starts: minutes without the interrupt.
    long_fit = dict(AMINOXYL_START, thetaStep=0.22, phiStep=2.1)
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            quorra.fit(AMINOXYL, VARY, method="global", starts=64, progress=not_past_a_few_hundred, **long_fit)
    finally:
        timer.cancel()
