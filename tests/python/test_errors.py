"""Every way a call can be refused, with its exact message: the parameter
messages are the command line's, word for word."""

import math

import pytest

import quorra
from conftest import cli_message


def refusal(call):
    with pytest.raises(ValueError) as caught:
        call()
    return str(caught.value)


def test_parameter_messages_are_the_command_lines(cli, tmp_path):
    cases = [
        (dict(gq=1), ["--set", "gq=1"], 'Unknown parameter name "gq".'),
        (dict(gx=0), ["--set", "gx=0"], 'The value of gx must be greater than 0 and at most 100: "0".'),
        (dict(gx=math.nan), ["--set", "gx=nan"], 'The value of gx is not a finite number: "nan".'),
        (dict(Az=[1]), ["--set", "Az=[1]"], 'The value of Az is not a finite number: "[1]".'),
        (dict(points=1.5), ["--set", "points=1.5"], 'The value of points is not a whole number: "1.5".'),
        (dict(parallel=2), ["--set", "parallel=2"], "The value of parallel must be 0 or 1."),
        (dict(nuclearSpinText="abcdefgh"), ["--set", "nuclearSpinText=abcdefgh"],
         "The value of nuclearSpinText has more than 7 characters."),
        # Refused when the run checks the parameters together.
        (dict(nuclearSpinText="15/2"), ["--set", "nuclearSpinText=15/2"],
         "INVALID NUCLEAR SPIN: The nuclear spin must be one of 1/2, 1, 3/2, ... 7."),
        (dict(shf=tmp_path / "none.txt"), ["--shf", str(tmp_path / "none.txt")],
         "Cannot read the superhyperfine table %s." % (tmp_path / "none.txt")),
        (dict(shf=str(tmp_path)), ["--shf", str(tmp_path)],
         "The superhyperfine table %s is not a regular file." % tmp_path),
    ]
    for keywords, options, message in cases:
        code, _, err = cli("simulate", *options, "-o", str(tmp_path / "x.txt"))
        assert code == 2 and cli_message(err) == message
        assert refusal(lambda: quorra.simulate(**keywords)) == message
    assert not (tmp_path / "x.txt").exists()
    # Every function takes its parameters through the same setter.
    assert refusal(lambda: quorra.fields(0, 0, gq=1)) == 'Unknown parameter name "gq".'
    assert refusal(lambda: quorra.levels(0, 0, 3000, gx=-1)) == cases[1][2].replace('"0"', '"-1"')
    assert refusal(lambda: quorra.roadmap((90, 0), nuclearSpinText="15/2")) == cases[7][2]


def test_arguments_of_the_module_itself():
    assert refusal(lambda: quorra.simulate(threads=-1)) == "threads must be 0 (all processors) or more."
    assert refusal(lambda: quorra.simulate(engine="slow")) == 'engine must be "fast" or "reference", got "slow".'
    assert refusal(lambda: quorra.simulate(crystal=(1,))) == "crystal expects (theta, phi) in degrees, got (1,)."
    assert refusal(lambda: quorra.simulate(crystal=(1, "x"))) == \
        "crystal expects (theta, phi) in degrees, got (1, 'x')."
    assert refusal(lambda: quorra.simulate(shf=[(1, 2, 3)])) == \
        "each row of shf must be (spin, Ax, Ay, Az, atoms), got (1, 2, 3)."
    assert refusal(lambda: quorra.fields(math.nan, 0)) == \
        "the orientation expects (theta, phi) in degrees, got (nan, 0.0)."
    assert refusal(lambda: quorra.levels(0, 0, math.inf)) == "field must be a finite number of gauss."
    assert refusal(lambda: quorra.roadmap("90,0")) == "axis expects (theta, phi) in degrees, got '90,0'."
    assert refusal(lambda: quorra.rotate((0, 0), math.nan)) == "angle must be a finite number of degrees."
    with pytest.raises(TypeError):
        quorra.simulate(threads="2")


def test_a_run_without_result_raises_runtime_error_with_its_messages(cli, tmp_path):
    code, _, err = cli("simulate", "--set", "fieldCentre=100000", "--set", "fieldRange=10", "-o",
                       str(tmp_path / "x.txt"))
    assert code == 1
    with pytest.raises(RuntimeError) as caught:
        quorra.simulate(fieldCentre=100000, fieldRange=10)
    assert str(caught.value) == cli_message(err).replace("; no file written", "")
    assert str(caught.value) == "HISTOGRAMM NOT CALCULATED: An error occurred\nno spectrum inside the field range."
    # The module is unharmed.
    assert quorra.simulate(points=512)[1].max() > 0
