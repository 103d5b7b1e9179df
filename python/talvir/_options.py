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
               output, Log 1; the engine's listing only when PrintLevel asks for it), eps (absolute
               finite-difference step, > 0), warm_start (a previous result of the same problem
               shape: go on from its Hessian approximation and multipliers).
    tol      -> OptTol unless OptTol or ftol is given.
Raises ValueError for an unknown or doubly given option and TypeError for a value of the wrong type.
The parameter bounds are checked by the native table when the values are set (ValueError), still
before any function is evaluated.
"""

import numbers
from dataclasses import dataclass, field

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
_OWN = ("disp", "eps", "warm_start")


@dataclass
class Settings:
    parameters: dict = field(default_factory=dict)  # parameter name -> value, in the table's case
    disp: bool = False
    eps: float = None  # None: relative default steps
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
        elif key == "disp":
            result.disp = bool(value)
        elif key == "eps":
            result.eps = _step(value)
        elif key == "warm_start":
            result.warm_start = value
        else:
            known = ", ".join(list(PARAMETERS) + list(_ALIASES) + list(_OWN))
            raise ValueError(f"unknown option {key!r}; the options are {known}")
    if tol is not None and "OptTol" not in result.parameters:
        _put(result.parameters, "OptTol", tol, "tol")
    if result.disp:
        result.parameters.setdefault("Log", 1)
    if result.parameters.get("PrintLevel", "Errors Only").lower() != "errors only":
        result.disp = True  # a listing was asked for by its level
    if result.parameters.get("Log", 0):
        result.disp = True
    return result


def _step(value):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"option eps must be a number, not {type(value).__name__}")
    if not (value > 0 and value < float("inf")):
        raise ValueError(f"option eps must be a positive finite step, got {value!r}")
    return float(value)
