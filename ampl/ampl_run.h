// The AMPL solver run: `talvir stub[.nl] -AMPL [key=value ...]`, as AMPL, Pyomo (asl:talvir) and
// JuMP (AmplNLWriter) call it.
//
// is_ampl_command_line(argc, argv)  true when the arguments take the AMPL form: an argument "-AMPL",
//                                   a first argument that is one of ASL's flags (-v, -=, -?, -e, -s),
//                                   ends in ".nl", or names a stub whose stub.nl exists and is
//                                   none of the host's commands (solve, list, check, help)
// run_ampl(argc, argv)              reads options (command line, then talvir_options... as ASL orders
//                                   them), reads stub.nl, solves, writes stub.sol. Returns the exit
//                                   status: 0 when the answer (stub.sol, or the message without
//                                   -AMPL) was written, whatever the ending; 1 when no answer could be
//                                   written (no stub, stub.nl missing or unreadable header).
// Everything that cannot be solved (integer variables, complementarity, a bad objno or option, a
// corrupt body, a start point that cannot be evaluated) is answered with its message and failure
// code: see ampl/endings.h and docs/ampl.md.
#pragma once

namespace talvir::ampl {

bool is_ampl_command_line(int argc, char** argv);
int run_ampl(int argc, char** argv);

}  // namespace talvir::ampl
