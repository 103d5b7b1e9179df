/* talvir.h: the native C API of the TALVIR nonlinear-programming solver (library libtalvir).
 *
 * Problem:  minimise f(x) over x in R^n
 *           subject to c_j(x) = 0, c_j(x) >= 0 or c_j(x) <= 0 (j = 0..m-1, each constraint's kind)
 *           and lower_i <= x_i <= upper_i.
 *
 * Stable ABI: one opaque handle (talvir_solver), plain C types and arrays; the one record that crosses
 * the boundary (talvir_callbacks) begins with its own size, so it can grow. Every function returns a status
 * code (TALVIR_OK or one of the TALVIR_ERROR_ codes); values come back through out-arguments. A refused call
 * changes nothing, and the handle keeps a message that says what was wrong (talvir_get_error_message).
 * Nothing in the library aborts or throws.
 *
 * Indices are 0-based everywhere: variables 0..n-1, constraints 0..m-1. Arrays are the caller's and are
 * copied by every setter, unless a function says that it hands out an array owned by the handle.
 *
 * Calling sequence:
 *   talvir_create(n, m, kinds, &s)
 *   optional set-up, in any order: talvir_set_bounds, talvir_set_start, talvir_set_jacobian_structure,
 *     talvir_set_variable_scales, talvir_set_hessian_scale, talvir_set_listing, talvir_set_*_parameter
 *   either reverse communication:
 *     talvir_evaluation_arrays(s, &x, &f, &g, &c, &jac)       (arrays live as long as the handle)
 *     for (;;) {
 *       talvir_step(s, &request);
 *       if (request == TALVIR_REQUEST_NONE) break;            (the solve has ended)
 *       if (request & TALVIR_REQUEST_VALUES)      write *f and c[0..m-1] at x
 *       if (request & TALVIR_REQUEST_DERIVATIVES) write g[0..n-1] and jac[0..nnz-1] at x
 *       (or call talvir_cannot_evaluate(s) when the values cannot be computed at x)
 *     }
 *   or the callback driver: talvir_solve(s, objective, constraints, gradient, jacobian, user)
 *   then the results: talvir_get_ending, talvir_get_ending_message, talvir_get_x, talvir_get_objective, ...
 *   talvir_free(s)
 * A solver may solve again after an ending (from the start point set last, or from talvir_set_start);
 * every solve starts the method afresh.
 *
 * Multiplier sign convention: the Lagrangian is  L(x, lambda) = f(x) - sum_j lambda_j c_j(x).
 * At a solution, lambda_j >= 0 for a constraint c_j >= 0, lambda_j <= 0 for c_j <= 0, and lambda_j has
 * either sign for an equality.
 *
 * Threads: the library keeps no process-wide state on this path. Different handles may be used at the
 * same time from different threads; one handle must not be used by two threads at once. Callbacks run
 * on the thread that called talvir_solve.
 *
 * Parameters: the same seven as the plug-in, with the same names (letter case ignored), bounds, defaults
 * and refusals, from the same definitions table. Each handle has its own values, starting at the
 * defaults; a value set on one handle does not reach any other.
 *   "PrintLevel"      text     "Errors Only" (default: no listing) or "Normal" (any other text lists)
 *   "PrintFreq"       integer  1 .. 10000000, default 1: list every PrintFreq-th iteration
 *   "StepSize"        real     0 .. 1, default 0.5: first-step limit in iterations 1 to 3
 *   "MaxIterations"   integer  1 .. 99999, default 100
 *   "MaxLineSearches" integer  0 .. 100000, default 5: evaluations allowed in one line search
 *   "OptTol"          real     0 .. 1e10, default 1e-6: convergence when the sum <= OptTol max(1, |f|)
 *   "QPMode"          integer  0 .. 1, default 0: 0 normal, 1 reliable QP active-set method
 *
 * Convergence (TALVIR_ENDING_CONVERGED) at an iterate x with QP step d and multipliers lambda needs all of:
 *   the convergence sum S = |g(x).d| + sum_j |lambda_j c_j(x)| (the predicted decrease of f and the
 *     complementarity) at most the threshold OptTol max(1, |f(x)|) (talvir_get_convergence gives both);
 *   x within its bounds, and every constraint within its feasibility tolerance
 *     tau_j = eps + 1e-12 sum_i |dc_j/dx_i x_i|,  eps = min(max(OptTol, 1e-10), 1e-6),
 *     in the constraint's own units (violation |c_j| for an equality, max(-c_j, 0) for c_j >= 0,
 *     max(c_j, 0) for c_j <= 0): so no OptTol makes a point violated by more than about 1e-6 converged;
 *   a consistent linearisation (QP relaxation variable at least 1e-4) and a stationary point (the
 *     gradient of the Lagrangian, cut at the room the bounds leave, small beside its terms).
 *
 * See docs/api.md for the full description, the tables of statuses and endings, and an example.
 */
#ifndef TALVIR_TALVIR_H
#define TALVIR_TALVIR_H

#if defined(_WIN32)
#if defined(TALVIR_BUILDING_LIBRARY)
#define TALVIR_API __declspec(dllexport)
#elif defined(TALVIR_STATIC)
#define TALVIR_API
#else
#define TALVIR_API __declspec(dllimport)
#endif
#else
#define TALVIR_API __attribute__((visibility("default")))
#endif

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TALVIR_VERSION_MAJOR 1
#define TALVIR_VERSION_MINOR 0
#define TALVIR_VERSION_PATCH 0

/* The opaque solver handle. */
typedef struct talvir_solver talvir_solver;

/* ---- Status codes: the result of every function. ---------------------------------------------------- */
#define TALVIR_OK 0 /* the call did what it says */
/* a required pointer (handle, array, name, out-pointer) is null */
#define TALVIR_ERROR_NULL_ARGUMENT 1
/* n < 1, m < 0, nnz < 0, or sizes too large for the solver */
#define TALVIR_ERROR_BAD_SIZE 2
/* a value not allowed: NaN bound, lower > upper, unknown kind, zero scale, index out of range, repeated
 * structure entry, ... */
#define TALVIR_ERROR_BAD_VALUE 3
/* no parameter of that name */
#define TALVIR_ERROR_UNKNOWN_PARAMETER 4
/* a parameter value outside its bounds (NaN included) */
#define TALVIR_ERROR_PARAMETER_RANGE 5
/* a setter or getter of the wrong type for that parameter, or a text that is not a number */
#define TALVIR_ERROR_PARAMETER_TYPE 6
/* not allowed now: set-up during a solve, results before an ending, talvir_cannot_evaluate with no
 * request pending, ... */
#define TALVIR_ERROR_OUT_OF_ORDER 7
/* memory could not be obtained, or (talvir_create) the solver would need more than the machine has
 * available now: see talvir_memory_needed; nothing was changed or allocated */
#define TALVIR_ERROR_NO_MEMORY 8
/* talvir_solve without a callback that the problem needs */
#define TALVIR_ERROR_MISSING_CALLBACK 9

/* ---- Constraint kinds (the kinds array of talvir_create). -------------------------------------------- */
#define TALVIR_EQUAL 0         /* c_j(x) = 0 */
#define TALVIR_GREATER_EQUAL 1 /* c_j(x) >= 0 */
#define TALVIR_LESS_EQUAL (-1) /* c_j(x) <= 0 */

/* A bound at or beyond this magnitude (or an infinity) means "no bound" on that side. */
#define TALVIR_INFINITE_BOUND 1.0e20

/* ---- Requests of talvir_step (bit flags). ------------------------------------------------------------- */
#define TALVIR_REQUEST_NONE 0        /* the solve has ended: read the results */
#define TALVIR_REQUEST_VALUES 1      /* write f and c at x */
#define TALVIR_REQUEST_DERIVATIVES 2 /* write the gradient and the Jacobian values at x */
#define TALVIR_REQUEST_ALL 3         /* both (the first request of every solve, at the start point) */

/* ---- Endings of a solve (talvir_get_ending). ----------------------------------------------------------
 * The numbers 1..10 are the engine's cycle flags; each ending has one message (talvir_get_ending_message,
 * talvir_ending_text) and one category (talvir_ending_category). */
/* no solve has ended on this handle (yet) */
#define TALVIR_ENDING_NONE 0
/* the convergence test holds at x */
#define TALVIR_ENDING_CONVERGED 1
/* "MaxIterations" iterations done; x is the last accepted point */
#define TALVIR_ENDING_ITERATION_LIMIT 2
/* a line search used "MaxLineSearches" evaluations without an acceptable step; x is its start point */
#define TALVIR_ENDING_LINE_SEARCH_LIMIT 3
/* the QP direction does not decrease the penalty function (usually a loss of accuracy in the QP) */
#define TALVIR_ENDING_UPHILL_DIRECTION 4
/* the linearised constraints are inconsistent (the QP relaxation variable fell below 1e-4): the
 * constraints may be locally infeasible */
#define TALVIR_ENDING_INFEASIBLE_LINEARISATION 6
/* the engine found a workspace too short (a fault of the library: please report it) */
#define TALVIR_ENDING_WORKSPACE 7
/* the engine refused its arguments */
#define TALVIR_ENDING_ILLEGAL_VALUES 8
/* the engine refused a constraint kind */
#define TALVIR_ENDING_CONSTRAINT_KINDS 9
/* the QP solver failed (equality constraint gradients linearly dependent, or its workspace) */
#define TALVIR_ENDING_QP_FAILURE 10
/* the engine ended with a flag the library does not know (a fault of the library: please report it) */
#define TALVIR_ENDING_UNKNOWN 11
/* the caller stopped the solve (a callback returned TALVIR_CALLBACK_STOP, or talvir_stop) */
#define TALVIR_ENDING_STOPPED 20
/* the functions could not be evaluated at the start point, or the derivatives at an accepted point */
#define TALVIR_ENDING_EVALUATION_FAILED 21
/* the objective is unbounded below: a variable reached 1e20 in magnitude (the value that stands for "no
 * bound"), or the objective -1e20 */
#define TALVIR_ENDING_UNBOUNDED 22
/* robust strategy: no step reduces the constraint violation any further; x is where it is least */
#define TALVIR_ENDING_LOCALLY_INFEASIBLE 23
/* "TimeLimit" seconds of wall time passed; x is the last accepted point */
#define TALVIR_ENDING_TIME_LIMIT 24
/* "MaxEvaluations" function evaluations made; x is the last accepted point */
#define TALVIR_ENDING_EVALUATION_LIMIT 25

/* Categories of endings, for mapping to a caller's own result codes. */
#define TALVIR_CATEGORY_NONE 0       /* TALVIR_ENDING_NONE */
#define TALVIR_CATEGORY_SOLVED 1     /* converged */
#define TALVIR_CATEGORY_LIMIT 2      /* an iteration or line-search limit was reached */
#define TALVIR_CATEGORY_INFEASIBLE 3 /* the constraints look (locally) infeasible */
#define TALVIR_CATEGORY_FAILURE 4    /* the method broke down, or evaluations failed */
#define TALVIR_CATEGORY_STOPPED 5    /* the caller stopped the solve */
#define TALVIR_CATEGORY_UNBOUNDED 6  /* the objective is unbounded below */

/* ---- Parameter types (talvir_parameter_info). --------------------------------------------------------- */
#define TALVIR_PARAMETER_INTEGER 0
#define TALVIR_PARAMETER_REAL 1
#define TALVIR_PARAMETER_TEXT 2

/* ---- Callback results. -------------------------------------------------------------------------------- */
#define TALVIR_CALLBACK_OK 0              /* the values were written */
#define TALVIR_CALLBACK_CANNOT_EVALUATE 1 /* the function cannot be evaluated at this x */
/* end the solve now (TALVIR_ENDING_STOPPED); any value not listed here also stops */
#define TALVIR_CALLBACK_STOP 2

/* Callbacks of talvir_solve. `x` holds n values; write into the output array; `user` is the pointer
 * given to talvir_solve. Return a TALVIR_CALLBACK_ code. A non-finite value written counts as
 * TALVIR_CALLBACK_CANNOT_EVALUATE.
 *   objective:   *f = f(x)
 *   constraints: c[j] = c_j(x), j = 0..m-1
 *   gradient:    g[i] = df/dx_i, i = 0..n-1
 *   jacobian:    values[k] = d c_rows[k] / d x_cols[k], k = 0..nnz-1, in the order of the Jacobian
 *                structure (talvir_set_jacobian_structure; by default dense, row by row:
 *                values[j*n + i] = d c_j / d x_i) */
typedef int (*talvir_objective_fn)(int n, const double* x, double* f, void* user);
typedef int (*talvir_constraints_fn)(int n, int m, const double* x, double* c, void* user);
typedef int (*talvir_gradient_fn)(int n, const double* x, double* g, void* user);
typedef int (*talvir_jacobian_fn)(int n, int m, int nnz, const double* x, double* values, void* user);

/* One evaluation for all: everything `request` asks for at x in one call, so that work shared between
 * the functions and their derivatives is done once. request & TALVIR_REQUEST_VALUES: write *f and
 * c[0..m-1]; request & TALVIR_REQUEST_DERIVATIVES: write g[0..n-1] and jac[0..nnz-1] (structure order).
 * The arrays not asked for may be written or left alone. c and jac are null when m = 0. */
typedef int (*talvir_evaluate_fn)(int request, int n, int m, int nnz, const double* x, double* f, double* c,
                                  double* g, double* jac, void* user);

/* The callbacks of talvir_solve_with, by role, so that none can be passed in another's place. Set size to
 * sizeof(talvir_callbacks) (the record may grow; fields beyond a smaller size count as null). Give
 * either `evaluate`, or `objective` and `gradient` (with `constraints` and `jacobian` when m > 0); with
 * `evaluate` the other four must be null. C99: talvir_callbacks cb = {sizeof cb, .objective = f, ...}; */
typedef struct talvir_callbacks {
  size_t size;
  talvir_objective_fn objective;
  talvir_constraints_fn constraints;
  talvir_gradient_fn gradient;
  talvir_jacobian_fn jacobian;
  talvir_evaluate_fn evaluate;
  void* user; /* handed to every callback */
} talvir_callbacks;

/* Listing sink: receives the engine's listing (byte for byte the text the plug-in forwards to its message
 * sink), one whole line per call, ending in "\n", in order; `text` is valid during the call only. */
typedef void (*talvir_listing_fn)(const char* text, void* user);

/* ---- Library ------------------------------------------------------------------------------------------ */

/* The library's version (may differ from the TALVIR_VERSION_ macros of the header compiled against). */
TALVIR_API int talvir_version(int* major, int* minor, int* patch);

/* A fixed English text for a status code (never null; unknown codes get a text saying so). */
TALVIR_API int talvir_status_text(int status, const char** text);

/* The message and category of an ending, without a handle. The message of TALVIR_ENDING_ITERATION_LIMIT
 * and TALVIR_ENDING_LINE_SEARCH_LIMIT has no numbers here; talvir_get_ending_message gives them. */
TALVIR_API int talvir_ending_text(int ending, const char** text);
TALVIR_API int talvir_ending_category(int ending, int* category);

/* The parameter definitions (the same for every handle): count, then record `index` (0..count-1):
 * name, description, type, minimum and maximum (numeric parameters; 0 for text), default_number (numeric)
 * or default_text (text parameters; null otherwise), options (text parameters: the known values, each
 * followed by ";"; null otherwise). Texts are static. Any out-pointer may be null. */
TALVIR_API int talvir_parameter_count(int* count);
TALVIR_API int talvir_parameter_info(int index, const char** name, const char** description, int* type,
                                     double* minimum, double* maximum, double* default_number,
                                     const char** default_text, const char** options);

/* ---- Creation and set-up ------------------------------------------------------------------------------ */

/* A new solver for n >= 1 variables and m >= 0 constraints; kinds[j] is TALVIR_EQUAL,
 * TALVIR_GREATER_EQUAL or TALVIR_LESS_EQUAL (kinds may be null when m = 0). Stores the handle in *out, or
 * null when the call is refused (no handle exists then: use talvir_status_text). Defaults: no bounds,
 * start point 0 (moved into the bounds), a dense Jacobian structure (m*n entries, row by row), all
 * variable scales 1, objective scale 1, no listing sink, the parameters at their defaults. */
TALVIR_API int talvir_create(int n, int m, const int* kinds, talvir_solver** out);

/* A new solver whose m constraints have two sides, as models write them: lower[j] <= c_j(x) <= upper[j],
 * a side at or beyond 1e20 in magnitude (or infinite) absent; lower[j] = upper[j] is an equality, a row
 * with neither side is free (its multiplier is 0). Everything else is as for talvir_create: the caller's
 * rows are the m rows of the callbacks, the evaluation arrays, the Jacobian structure and the results;
 * the multiplier of a row is >= 0 when its lower side holds it and <= 0 when its upper side does (a range
 * is two rows of the engine; TALVIR_ERROR_BAD_SIZE when those pass the engine's limits). Refused:
 * TALVIR_ERROR_BAD_VALUE for NaN, lower > upper, lower = +inf or upper = -inf. */
TALVIR_API int talvir_create_ranged(int n, int m, const double* lower, const double* upper,
                                    talvir_solver** out);

/* Warm starts (on != 0; set-up, default off): each later solve on this handle goes on from the previous
 * one: from its Hessian approximation and penalty weights (the engine's warm start, used when they are
 * usable, else a cold start), its multipliers, and its final point unless talvir_set_start was called
 * since. Bounds, parameters and the functions may change between the solves; n and m cannot. */
TALVIR_API int talvir_set_warm_start(talvir_solver* solver, int on);

/* The next solve on `solver` goes on from the last solve of another handle `previous`, created alike
 * (same n, constraint kinds and form), as talvir_set_warm_start would on `previous` itself: its Hessian
 * approximation, penalty weights and multipliers are copied now, and its final point becomes the start
 * (a later talvir_set_start replaces it). `previous` is only read, and must not be solving meanwhile.
 * Set-up; TALVIR_ERROR_OUT_OF_ORDER when `previous` has no ended solve, TALVIR_ERROR_BAD_SIZE when the
 * handles differ. */
TALVIR_API int talvir_set_warm_start_from(talvir_solver* solver, const talvir_solver* previous);

/* Maximise f instead of minimising it (maximize != 0; set-up, default 0). The engine minimises -f; f,
 * the gradient and the results stay the caller's. The multipliers keep grad f - sum_j lambda_j grad c_j =
 * z, so their signs turn: at a maximum lambda_j <= 0 for an active c_j >= 0 (or lower side), and z <= 0
 * at an active lower bound. The convergence test is that of -f. */
TALVIR_API int talvir_set_maximize(talvir_solver* solver, int maximize);

/* The bytes a solver of these sizes needs (*needed: its arrays grow with n squared and with n m) and
 * the bytes this process can still obtain (*available: free memory and swap, within the process's
 * limits; HUGE_VAL when the system does not say). talvir_create refuses with TALVIR_ERROR_NO_MEMORY,
 * before allocating, when needed exceeds available. Arguments are checked as by talvir_create. */
TALVIR_API int talvir_memory_needed(int n, int m, const int* kinds, double* needed, double* available);

/* Frees the handle and everything it owns, also between the steps of a solve. A null handle is allowed.
 * From inside one of the handle's own callbacks or its listing sink it is refused
 * (TALVIR_ERROR_OUT_OF_ORDER, nothing freed): free the handle once talvir_solve or talvir_step returned. */
TALVIR_API int talvir_free(talvir_solver* solver);

/* Bounds, n values each. A lower bound <= -1e20 or -inf, an upper bound >= 1e20 or +inf: none on that
 * side. A null array: no bounds on that side. Refused: NaN, lower = +inf, upper = -inf, lower > upper. */
TALVIR_API int talvir_set_bounds(talvir_solver* solver, const double* lower, const double* upper);

/* Start point, n finite values. A coordinate outside its bounds is moved onto the nearer bound when the
 * solve starts (the first request is made at the moved point). */
TALVIR_API int talvir_set_start(talvir_solver* solver, const double* x0);

/* Sparse Jacobian structure: nnz pairs (rows[k], cols[k]) = (constraint, variable), 0-based, each pair at
 * most once; entries absent from the structure are zero. The Jacobian values of every later solve come
 * in this order. Refused: an index out of range, a repeated pair, nnz < 0 or nnz > m*n. */
TALVIR_API int talvir_set_jacobian_structure(talvir_solver* solver, int nnz, const int* rows,
                                             const int* cols);
/* The number of Jacobian values the caller writes (m*n until a structure is set). */
TALVIR_API int talvir_get_jacobian_nnz(const talvir_solver* solver, int* nnz);
/* The sizes given to talvir_create (either out-pointer may be null). */
TALVIR_API int talvir_get_sizes(const talvir_solver* solver, int* n, int* m);

/* Typical magnitude of each variable (n values, finite and non-zero; the sign is ignored by the method).
 * The initial Hessian approximation is scaled by them. A null array sets them all to 1. */
TALVIR_API int talvir_set_variable_scales(talvir_solver* solver, const double* scales);

/* The scale of the initial Hessian approximation, h0 (the plug-in's "ObjectiveScale"; the objective
 * itself is not scaled): h0 > 0 uses h0 as the initial curvature, h0 < 0 uses -h0 times the function
 * scale, h0 = 0 (the default) one tenth of it. Finite, below 1e30. */
TALVIR_API int talvir_set_hessian_scale(talvir_solver* solver, double scale);
/* The same function under its first name (kept for callers written before talvir_set_hessian_scale). */
TALVIR_API int talvir_set_objective_scale(talvir_solver* solver, double scale);

/* The listing sink may call the getters of its solver only (talvir_get_*, talvir_get_error_message);
 * every other call on that solver from inside the sink is refused with TALVIR_ERROR_OUT_OF_ORDER and
 * changes nothing, so a sink can neither stop, step nor free the solve it is listing.
 * The listing sink (null: no listing). The engine lists only when "PrintLevel" is not "Errors Only";
 * its few always-written diagnostics reach the sink whatever the level. */
TALVIR_API int talvir_set_listing(talvir_solver* solver, talvir_listing_fn sink, void* user);

/* ---- Parameters (per handle; names compared ignoring ASCII letter case) ------------------------------- */

/* Typed setters: the value must suit the parameter's type (the integer setter also sets a real parameter;
 * the real setter also sets an integer parameter to a whole number) and lie within its bounds. "PrintLevel"
 * takes any text. Allowed during a solve: the value applies from the next step on, as in the plug-in. */
TALVIR_API int talvir_set_integer_parameter(talvir_solver* solver, const char* name, int value);
TALVIR_API int talvir_set_real_parameter(talvir_solver* solver, const char* name, double value);
TALVIR_API int talvir_set_text_parameter(talvir_solver* solver, const char* name, const char* value);
/* Any parameter from its text form ("200", "1e-8", "Normal"), read by the parameter's own type; a text
 * that is not wholly a number of that type is TALVIR_ERROR_PARAMETER_TYPE. */
TALVIR_API int talvir_set_parameter(talvir_solver* solver, const char* name, const char* value);

/* Typed getters (the real getter also reads an integer parameter). The text getter's text belongs to the
 * handle and stays valid until that parameter is set again or the handle is freed. */
TALVIR_API int talvir_get_integer_parameter(const talvir_solver* solver, const char* name, int* value);
TALVIR_API int talvir_get_real_parameter(const talvir_solver* solver, const char* name, double* value);
TALVIR_API int talvir_get_text_parameter(const talvir_solver* solver, const char* name, const char** value);

/* ---- Reverse communication ---------------------------------------------------------------------------- */

/* The handle's evaluation arrays, fixed for the handle's life (any out-pointer may be null):
 *   x     n values (read only): the point at which the pending request must be evaluated
 *   f     1 value:   the objective value
 *   g     n values:  the gradient
 *   c     m values:  the constraint values (null when m = 0)
 *   jac   the Jacobian values in structure order: talvir_get_jacobian_nnz of them, room for m*n (null
 *         when m = 0)
 * The caller writes into f, g, c and jac only between a step that made a request and the next step. */
TALVIR_API int talvir_evaluation_arrays(talvir_solver* solver, const double** x, double** f, double** g,
                                        double** c, double** jac);

/* One step. The first step of a solve begins it and asks for TALVIR_REQUEST_ALL at the start point; each
 * later step hands the values written since to the engine, runs one engine call and stores the next
 * request: TALVIR_REQUEST_VALUES (f and c at a trial point), TALVIR_REQUEST_DERIVATIVES (g and the
 * Jacobian at an accepted point, whose f and c have been written already), or TALVIR_REQUEST_NONE when
 * the solve has ended (talvir_get_ending says how). A step after an ending begins a new solve.
 * Non-finite values written for a values request mean "cannot evaluate here" (the engine shortens the
 * step); non-finite derivatives, or values that cannot be evaluated at the start point, end the solve with
 * TALVIR_ENDING_EVALUATION_FAILED. */
TALVIR_API int talvir_step(talvir_solver* solver, int* request);

/* Tells the solver that the pending request cannot be evaluated at x; then call talvir_step. For a values
 * request at a trial point the engine shortens the step; otherwise the next step ends the solve with
 * TALVIR_ENDING_EVALUATION_FAILED. TALVIR_ERROR_OUT_OF_ORDER when no request is pending. */
TALVIR_API int talvir_cannot_evaluate(talvir_solver* solver);

/* Ends a solve in progress at once: TALVIR_ENDING_STOPPED, with the results of the last accepted point
 * (the start point when none was accepted). TALVIR_ERROR_OUT_OF_ORDER when no solve is in progress.
 * Callbacks must return. One that is left otherwise (longjmp, or an exception thrown through C) leaves
 * its solve in progress and the handle refusing talvir_step and talvir_solve as "called from a
 * callback": talvir_stop then ends the solve and makes the handle usable again. */
TALVIR_API int talvir_stop(talvir_solver* solver);

/* ---- Callback driver ---------------------------------------------------------------------------------- */

/* Runs a whole solve with talvir_step, answering each request with the callbacks (constraints and
 * jacobian may be null when m = 0). Returns TALVIR_OK when the solve reached an ending, whichever it is;
 * read it with talvir_get_ending. A callback returning TALVIR_CALLBACK_CANNOT_EVALUATE acts as
 * talvir_cannot_evaluate; TALVIR_CALLBACK_STOP (or any unknown value) ends the solve with
 * TALVIR_ENDING_STOPPED and no further callback is made. A solve already in progress is continued. */
TALVIR_API int talvir_solve(talvir_solver* solver, talvir_objective_fn objective,
                            talvir_constraints_fn constraints, talvir_gradient_fn gradient,
                            talvir_jacobian_fn jacobian, void* user);

/* talvir_solve with the callbacks named by role in a record (see talvir_callbacks), the form to prefer:
 * one combined `evaluate` callback, or the four. The iterates, evaluations and results are those of
 * talvir_solve with the same functions. TALVIR_ERROR_BAD_VALUE for a size too small to hold `user`, or
 * for `evaluate` given together with any of the four. */
TALVIR_API int talvir_solve_with(talvir_solver* solver, const talvir_callbacks* callbacks);

/* ---- Progress, limits and interruption ---------------------------------------------------------------- */

/* What a solve has reached, handed to the progress callback. The record may grow: `size` is the size the
 * library filled, so a caller compiled against an older header reads only what it knows. */
typedef struct talvir_iteration {
  size_t size;
  int iteration;                /* 0 at the start point, then the iteration just completed */
  int value_evaluations;        /* evaluations so far (values requests answered, the start included) */
  int derivative_evaluations;   /* derivative requests answered so far */
  double f;                     /* the objective at the point */
  double violation;             /* the largest constraint and bound violation at the point */
  double convergence_sum;       /* the iteration's convergence sum and the threshold it was compared with */
  double convergence_threshold; /* (both 0 at the start point) */
  double step;                  /* the step factor of the iteration's line search (0 at the start) */
  double penalty;               /* the penalty function at the start of the iteration's line search */
  double relaxation;            /* the QP's relaxation variable (1 when the linearisation is consistent) */
  int active;                   /* constraints with a non-zero multiplier in the iteration's QP */
  int elastic;                  /* 1 when the iteration's step was elastic (robust strategy) */
  double seconds;               /* wall time since the solve began */
  const double* x;              /* the point, n values, valid during the call */
} talvir_iteration;

/* Called once at the start point and once per iteration after the iteration's point is accepted, so the
 * number of calls is talvir_get_iterations + 1 at the end. Return TALVIR_CALLBACK_OK to go on or
 * TALVIR_CALLBACK_STOP to end the solve (TALVIR_ENDING_STOPPED, results at the last accepted point). Like
 * the listing sink, it may call the getters of its solver only (and talvir_interrupt). */
typedef int (*talvir_progress_fn)(const talvir_iteration* iteration, void* user);

/* Sets (or with a null fn removes) the progress callback. Set-up: refused during a solve. */
TALVIR_API int talvir_set_progress(talvir_solver* solver, talvir_progress_fn fn, void* user);

/* Asks the solve in progress to stop: it ends TALVIR_ENDING_STOPPED with the last accepted point at the
 * solver's next step. Safe from any thread and from a signal handler (it only sets an atomic flag); a
 * request made while no solve is in progress is dropped when the next one begins. */
TALVIR_API int talvir_interrupt(talvir_solver* solver);

/* ---- Derivative checker ------------------------------------------------------------------------------ */

/* One entry whose given derivative differs from its estimate: row -1 is the objective's gradient,
 * otherwise the constraint; error = |given - estimated| / max(1, |estimated|) (HUGE_VAL when either is
 * not a number). */
typedef void (*talvir_derivative_report_fn)(int row, int column, double given, double estimated, double error,
                                            void* user);

/* Checks the gradient and every Jacobian entry of the structure at x (n values) against central
 * differences of the objective and constraints, the step for x_i being cbrt(machine epsilon) max(1, |x_i|)
 * (the points x +- step need not lie within the bounds). Each entry whose error exceeds `tolerance` (> 0;
 * 1e-4 is usual) is handed to `report` (may be null); *bad receives their number. A callback that does not
 * return TALVIR_CALLBACK_OK makes the entries it was to give NaN, so they count as bad. Costs 2n values
 * evaluations and one derivatives evaluation; the solver's state is not touched. */
TALVIR_API int talvir_check_derivatives(talvir_solver* solver, talvir_objective_fn objective,
                                        talvir_constraints_fn constraints, talvir_gradient_fn gradient,
                                        talvir_jacobian_fn jacobian, void* user, const double* x,
                                        double tolerance, talvir_derivative_report_fn report,
                                        void* report_user, int* bad);

/* ---- Results (TALVIR_ERROR_OUT_OF_ORDER until a solve has ended; they stay until the next solve begins) */

/* The ending (TALVIR_ENDING_NONE before any). Allowed at any time. */
TALVIR_API int talvir_get_ending(const talvir_solver* solver, int* ending);
/* The ending's message, with its numbers (e.g. the iteration limit); "" before any ending. Allowed at any
 * time; the text belongs to the handle and stays valid until the next solve begins. */
TALVIR_API int talvir_get_ending_message(const talvir_solver* solver, const char** text);

/* The final point (n values): the solution when converged, otherwise as the ending says. */
TALVIR_API int talvir_get_x(const talvir_solver* solver, double* x);
/* f, the constraint values (m) and the multipliers (m, sign convention above) at the final point. The
 * multipliers are those of the last QP subproblem (zero when no subproblem was solved). */
TALVIR_API int talvir_get_objective(const talvir_solver* solver, double* f);
TALVIR_API int talvir_get_constraints(const talvir_solver* solver, double* c);
TALVIR_API int talvir_get_multipliers(const talvir_solver* solver, double* lambda);
/* The gradient of the Lagrangian at the final point, g - sum_j lambda_j grad c_j (n values), from the
 * derivatives last evaluated: at a converged point it is the multiplier of the bounds (>= 0 at an active
 * lower bound, <= 0 at an active upper bound, about 0 for a free variable). */
TALVIR_API int talvir_get_bound_multipliers(const talvir_solver* solver, double* z);
/* The largest violation of the constraints (by kind) and of the bounds at the final point (0 when
 * feasible). */
TALVIR_API int talvir_get_max_violation(const talvir_solver* solver, double* violation);
/* Iterations (QP subproblems solved), function evaluations (values requests answered, the start point
 * included) and derivative evaluations (derivative requests answered). */
TALVIR_API int talvir_get_iterations(const talvir_solver* solver, int* iterations);
TALVIR_API int talvir_get_evaluations(const talvir_solver* solver, int* values, int* derivatives);
/* The last convergence sum and the threshold it was compared with (OptTol max(1, |f|)), and the
 * convergence ratio sum / threshold * OptTol that the plug-in reports as "CVRG". Any out-pointer may be
 * null. */
TALVIR_API int talvir_get_convergence(const talvir_solver* solver, double* sum, double* threshold,
                                      double* ratio);

/* ---- Messages ----------------------------------------------------------------------------------------- */

/* What the last call on this handle was refused for ("" when it succeeded; this function itself leaves
 * the message alone). The text belongs to the handle and stays valid until the next call on it. */
TALVIR_API int talvir_get_error_message(const talvir_solver* solver, const char** text);

#ifdef __cplusplus
}
#endif

#endif /* TALVIR_TALVIR_H */
