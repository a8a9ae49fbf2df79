"""VORN from Python: the analyses of the batch program vorn-batch on data files
or arrays, with the results as attributes and NumPy arrays.

    import vorn
    data = vorn.read("sample.nT")                # points and header
    r = vorn.analyse("sample.nT", smoothness="auto", output_dir="out")
    r.stages[0].energy_level, r.grid, r.spline, r.h_curves[0]
    r.to_dict()                                  # the file's entry of vorn-batch --json

Options are those of vorn-batch, with "_" for "-": smoothness=5000 or "auto",
function="H" or "S", evaluation_type="Type-B", degeneracy=(2, 2, 2),
dos0=..., mass=..., minima=..., material="Si", one_impurity=True or
(T_low, T_high), donor_acceptor=N_net or (N_net, T_low, T_high), dhes=True,
fit=True, fit_precise=True, excited=True or "always", dielectric_constant=...,
answer_yes=True, report=True, output_dir="folder".
"""

import json
import re
import types

from . import _vorn

__version__ = _vorn.version
__all__ = ["Data", "Error", "Result", "analyse", "read"]


class Error(RuntimeError):
    """A data file that could not be read or an analysis that failed; the text
    is the program's message, `result` the result as far as it came (or None)."""

    def __init__(self, message, result=None):
        super().__init__(message)
        self.result = result


def _snake(name):
    return re.sub(r"(?<=[a-z0-9])([A-Z])", r"_\1", name).lower()


def _attributes(value):
    """JSON values as plain attributes: objects become namespaces with
    snake_case names, lists stay lists."""
    if isinstance(value, dict):
        return types.SimpleNamespace(**{_snake(k): _attributes(v) for k, v in value.items()})
    if isinstance(value, list):
        return [_attributes(v) for v in value]
    return value


def _number(v):
    # repr gives the shortest text that reads back as the same float, with "."
    return repr(float(v)) if isinstance(v, float) else str(v)


# Options whose several values the program separates by ":" (ranges), not ",".
_RANGES = {"one_impurity", "donor_acceptor"}
_NOT_HERE = {"json", "jobs", "quiet", "help", "version", "j", "q"}


def _arguments(options):
    args = []
    for key, value in options.items():
        if key in _NOT_HERE:
            raise TypeError(f"analyse() does not take {key}=: it belongs to the command line")
        name = "--" + key.replace("_", "-")
        if value is None or value is False:
            continue
        if value is True:
            args.append(name)
        elif isinstance(value, (list, tuple)):
            sep = ":" if key in _RANGES else ","
            args.append(name + "=" + sep.join(_number(v) for v in value))
        elif isinstance(value, (int, float)):
            args.append(name + "=" + _number(value))
        else:
            args.append(name + "=" + str(value))
    return args


class Data:
    """Measured points: temperature [K], concentration [cm^-3] and reliability
    (weight 0..1) as NumPy arrays, and the header of the data file as a dict."""

    def __init__(self, temperature, concentration, reliability=None, material="", conduction_type="n-type",
                 sample_number="", thickness=0, magnetic_field=0, current=0, comment="", name="sample",
                 header=None, path=None):
        import numpy as np

        self.temperature = np.asarray(temperature, dtype=float)
        self.concentration = np.asarray(concentration, dtype=float)
        self.reliability = (np.ones_like(self.temperature) if reliability is None
                            else np.asarray(reliability, dtype=float))
        self.header = dict(header) if header is not None else {
            "semiconductor": material, "conduction_type": conduction_type, "sample_number": sample_number,
            "thickness": thickness, "magnetic_field": magnetic_field, "current": current, "comment": comment,
        }
        self.name = name
        self.path = path

    @property
    def material(self):
        return self.header.get("semiconductor", "")

    @property
    def conduction_type(self):
        return self.header.get("conduction_type", "")

    def save(self, path):
        """Writes the points as a data file (*.nT for n-type, *.pT for p-type)
        with the data sheet's checks; returns the path."""
        form = {k: (_number(v) if isinstance(v, (int, float)) else str(v)) for k, v in self.header.items()}
        try:
            _vorn.write_data(path, list(map(float, self.temperature)), list(map(float, self.concentration)),
                             list(map(float, self.reliability)), form)
        except RuntimeError as e:
            raise Error(str(e)) from None
        self.path = path
        return path


def read(path):
    """The points and header of a data file (*.nT, *.pT)."""
    try:
        d = _vorn.read(str(path))
    except RuntimeError as e:
        raise Error(str(e)) from None
    name = d["path"].rsplit("/", 1)[-1].rsplit(".", 1)[0]
    return Data(d["temperature"], d["concentration"], d["reliability"], header=d["header"], name=name,
                path=d["path"])


class Result:
    """One analysis: the attributes of the file's entry of vorn-batch --json
    in snake_case (status, semiconductor, stages[k].energy_level, fit,
    conventional, dhes, excited_states, messages, files, ...) and the arrays of
    the analysis: temperature, concentration, reliability (the measured
    points), grid, spline, fermi_level, simulation, simulated_fermi_level,
    h_curves and fitted_h_curves (one per stage, on the grid), peak_indices."""

    def __init__(self, raw):
        self._entry = raw["entry"]
        for key, value in vars(_attributes(json.loads(self._entry))).items():
            setattr(self, key, value)
        for key in ("temperature", "concentration", "reliability", "grid", "spline", "fermi_level",
                    "simulation", "simulated_fermi_level", "h_curves", "fitted_h_curves", "peak_indices",
                    "function_type", "header", "log"):
            setattr(self, key, raw[key])

    def to_dict(self):
        """The file's entry of vorn-batch --json for the same options."""
        return json.loads(self._entry)

    def __repr__(self):
        levels = ", ".join(f"{s.stage}: {s.energy_level:.4g} eV, {s.density:.4g} cm^-3"
                           for s in self.stages if s.evaluated)
        return f"<vorn.Result {self.input}: status {self.status}; {levels or 'no stage evaluated'}>"


def analyse(data, **options):
    """Runs the central method on a data file (a path) or on `Data` exactly as
    vorn-batch does with the same options, writing the same files; returns a
    Result. Arrays are first saved as a data file in output_dir (needed then).
    A failed analysis raises Error with the program's message and the result
    as far as it came; an unknown or bad option raises ValueError."""
    if isinstance(data, Data):
        if data.path is None:
            folder = options.get("output_dir")
            if not folder:
                raise ValueError("analyse() of arrays needs output_dir= for the data file and the results")
            import os
            os.makedirs(folder, exist_ok=True)
            ext = ".pT" if data.conduction_type == "p-type" else ".nT"
            data.save(os.path.join(folder, data.name + ext))
        path = data.path
    else:
        path = str(data)
    raw = _vorn.run(path, _arguments(options))
    result = Result(raw)
    if result.status != 0:
        errors = [m.text for m in result.messages if m.kind in ("error", "conversion error")]
        raise Error(f"{path}: {result.failure}" + "".join(f"\n{e}" for e in errors), result)
    return result


analyze = analyse
