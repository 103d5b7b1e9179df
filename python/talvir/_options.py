"""Options of talvir.minimize: the solver parameters by name plus the names SLSQP users know.

settings(options, tol) -> Settings
    options  dict (or None) of
               the seven parameters, names in any letter case: PrintLevel (text; any level but
               "Errors Only" prints the listing, as disp does), PrintFreq (int),
               StepSize (real), MaxIterations (int), MaxLineSearches (int), OptTol (real), QPMode (int),
               Strategy (text: "Robust", the default, or "Faithful"), Log (int 0/1), TimeLimit (real
               seconds), MaxEvaluations (int), CheckDerivatives (int 0/1);
               maxiter -> MaxIterations, ftol -> OptTol, maxfev and max_evaluations -> MaxEvaluations,
               time_limit -> TimeLimit, disp (bool: one line per iteration and a summary to standard
               output, Log 1; the engine's listing only when PrintLevel asks for it), iprint (SLSQP's:
               1 and above as disp), eps (absolute finite-difference step, > 0),
               finite_diff_rel_step (relative step: r max(1, |x_i|)), warm_start (a previous result of the same problem
               shape: go on from its Hessian approximation and multipliers).
    tol      -> OptTol unless OptTol or ftol is given; without any of them OptTol is 1e-9.
Any other option name (another method's: gtol, xtol, verbose, ...) is ignored with scipy's
OptimizeWarning "Unknown solver options: ...". Raises ValueError for a doubly given option and TypeError
for a value of the wrong type.
The parameter bounds are checked by the native table when the values are set (ValueError), still
before any function is evaluated.
"""

import numbers
import warnings
from dataclasses import dataclass, field

import numpy as np
from scipy.optimize import OptimizeWarning

from talvir._differences import RelativeStep, steps

# A difference step below this (relative to max(1, |x_i|)) is lost in rounding: about 500 machine epsilons.
MIN_RELATIVE_STEP = 1e-13

# The parameters and the Python types their values must have.
PARAMETERS = {
    "PrintLevel": str,
    "PrintFreq": int,
    "StepSize": float,
    "MaxIterations": int,
    "MaxLineSearches": int,
    "OptTol": float,
    "QPMode": int,
    "Strategy": str,
    "Log": int,
    "TimeLimit": float,
    "MaxEvaluations": int,
    "CheckDerivatives": int,
}
_BY_LOWER = {name.lower(): name for name in PARAMETERS}
_ALIASES = {"maxiter": "MaxIterations", "ftol": "OptTol", "maxfev": "MaxEvaluations",
            "max_evaluations": "MaxEvaluations", "time_limit": "TimeLimit"}
_OWN = ("disp", "iprint", "eps", "finite_diff_rel_step", "warm_start")

# The convergence tolerance when neither tol nor OptTol/ftol is given: tighter than the native default
# (1e-6), so that the defaults end as close to a solution as SLSQP's (its feasibility tolerance follows).
DEFAULT_TOLERANCE = 1e-9


@dataclass
class Settings:
    parameters: dict = field(default_factory=dict)  # parameter name -> value, in the table's case
    disp: bool = False
    eps: float = None  # None: relative default steps; a RelativeStep for finite_diff_rel_step
    unknown: list = field(default_factory=list)  # option names that mean nothing here (warned about)
    warm_start: object = None  # a previous result (or its warm_start field) to go on from


def _typed(name, value):
    kind = PARAMETERS[name]
    if kind is str:
        if not isinstance(value, str):
            raise TypeError(f"option {name} must be a text, not {type(value).__name__}")
        return value
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"option {name} must be a number, not {type(value).__name__}")
    if kind is int:
        if not float(value).is_integer():
            raise TypeError(f"option {name} must be an integer, got {value!r}")
        return int(value)
    return float(value)


def _put(parameters, name, value, given_as):
    if name in parameters:
        raise ValueError(f"option {given_as} sets {name}, which is already given")
    parameters[name] = _typed(name, value)


def settings(options, tol):
    if options is None:
        options = {}
    if not isinstance(options, dict):
        raise TypeError(f"options must be a dict, not {type(options).__name__}")
    result = Settings()
    for key, value in options.items():
        if not isinstance(key, str):
            raise TypeError(f"option names are texts, got {key!r}")
        if key.lower() in _BY_LOWER:
            _put(result.parameters, _BY_LOWER[key.lower()], value, key)
        elif key in _ALIASES:
            _put(result.parameters, _ALIASES[key], value, key)
        elif key in ("disp", "iprint"):
            result.disp = result.disp or _shown(key, value)
        elif key in ("eps", "finite_diff_rel_step"):
            _set_step(result, key, value)
        elif key == "warm_start":
            result.warm_start = value
        else:
            result.unknown.append(key)
    if result.unknown:
        warnings.warn(f"Unknown solver options: {', '.join(result.unknown)}", OptimizeWarning, stacklevel=4)
    if "OptTol" not in result.parameters:
        _put(result.parameters, "OptTol", DEFAULT_TOLERANCE if tol is None else tol, "tol")
    if result.disp:
        result.parameters.setdefault("Log", 1)
    if result.parameters.get("PrintLevel", "Errors Only").lower() != "errors only":
        result.disp = True  # a listing was asked for by its level
    if result.parameters.get("Log", 0):
        result.disp = True
    return result


def _shown(key, value):
    """disp (a truth value) or SLSQP's iprint (an integer; 1 and above print)."""
    if key == "disp":
        return bool(value)
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"option iprint must be a number, not {type(value).__name__}")
    return value >= 1


def _set_step(result, key, value):
    if result.eps is not None:
        raise ValueError("options eps and finite_diff_rel_step: give one of them")
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"option {key} must be a number, not {type(value).__name__}")
    if not (value > 0 and value < float("inf")):
        raise ValueError(f"option {key} must be a positive finite step, got {value!r}")
    result.eps = float(value) if key == "eps" else RelativeStep(value)


def check_step(step, x):
    """The step must change every variable by more than rounding, or every difference would be 0."""
    if step is None:
        return
    h = steps(x, "2-point", step)
    small = h < MIN_RELATIVE_STEP * np.maximum(1.0, np.abs(x))
    if small.any():
        i = int(np.argmax(small))
        raise ValueError(f"option eps/finite_diff_rel_step: the step {h[i]:.3g} of variable {i} is too small for"
                         f" a difference at x0 = {x[i]:.6g} (it must be at least {MIN_RELATIVE_STEP:g}"
                         f" max(1, |x0|))")
