// Checks on a .nl file's header and body that ASL's reader leaves to its caller. ASL reads the body
// segment by segment and takes the end of the file after any segment as the end of the model, so a
// file cut short reads without complaint as another model; and it trusts the counts it reads.
//
// header_text_problem(path)        before jac0dim: "" or why the first ten lines are no .nl header
//                                   ASL can take (a format letter g or b, then the counts of each
//                                   line as non-negative integers); ASL itself ends the process on a
//                                   header it cannot parse
// header_problem(asl, file_bytes)   after jac0dim: "" or why the header's sizes cannot describe a file
//                                   of that many bytes (every variable, constraint, objective, defined
//                                   variable and Jacobian or gradient entry takes at least one byte)
// body_text_problem(asl, path)     before fg_read, for a text (g) file: "" or why its segments of
//                                   counts and entries (k, J, G, x, d, S, r, b) do not fit the header:
//                                   an index out of range, a segment cut short, column counts out of
//                                   order or other than the J segments' entries per column. ASL's reader
//                                   trusts these numbers (its Jacobian set-up indexes by them). Binary
//                                   files are left to ASL and to missing_part
// missing_part(asl)                 after fg_read (with the bound arrays handed to ASL filled with NaN
//                                   beforehand): "" when every segment the header announces was read
//                                   and complete, else what is missing or inconsistent, e.g.
//                                   "the body of constraint 2 (segment C2)" or "the objective's gradient
//                                   entries (segments G): 0 of 4 read". The Jacobian entries are checked
//                                   against the header's count and the column counts (variables and
//                                   positions in range, each position once) before anything uses them.
#pragma once

#include <cstdint>
#include <string>

typedef struct ASL ASL;

namespace talvir::ampl {

std::string header_text_problem(const std::string& path);
std::string header_problem(ASL* asl, std::uintmax_t file_bytes);
std::string body_text_problem(ASL* asl, const std::string& path);
std::string missing_part(ASL* asl);

}  // namespace talvir::ampl
