"""TALVIR for Python: a dense SQP solver behind scipy's minimize interface.

    import talvir
    res = talvir.minimize(fun, x0, jac=grad, bounds=..., constraints=...)
    res = scipy.optimize.minimize(fun, x0, method=talvir.minimize, ...)   # the same call through scipy
    talvir.check_derivatives(fun, grad, x0, constraints=...)   # entries that differ from differences

See talvir.minimize.__doc__ and docs/python.md. Solver objects are independent: solves may run at the
same time in several threads (the engine works without the GIL) or on a Dask cluster.
"""

from talvir._check import DerivativeError, check_derivatives
from talvir._minimize import minimize
from talvir._options import PARAMETERS

__all__ = ["minimize", "check_derivatives", "DerivativeError", "PARAMETERS"]
