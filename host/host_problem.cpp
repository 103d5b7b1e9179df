// HostProblem and HostSink (see host_problem.h for the contract).
//
// Slots that receive a first index accept 0 <= first < n and cover variables first..n-1; any other
// index, an unknown key or a null pointer answers -15 (not available) and writes nothing.
#include "host/host_problem.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace talvir::host {

HostProblem::HostProblem(const problems::TestProblem& problem)
    : problem_(problem),
      name_(problem.name()),
      description_(problem.description()),
      n_(problem.n()),
      m_(problem.m()),
      x_(static_cast<size_t>(n_)),
      lower_(static_cast<size_t>(n_)),
      upper_(static_cast<size_t>(n_)),
      dense_jacobian_(static_cast<size_t>(m_) * static_cast<size_t>(n_) + 1),
      lambda_(static_cast<size_t>(m_), 0.0) {
  problem.start(x_.data());
  problem.bounds(lower_.data(), upper_.data());
  for (int j = 0; j < m_; ++j) {
    const int kind = problem.kind(j);
    math_types_.push_back(kind == 0 ? 0 : (kind < 0 ? 1 : 3));
    if (kind == 0) ++equalities_;
  }
  std::vector<int> rows, cols;
  if (problem.jacobian_structure(rows, cols)) {
    for (size_t k = 0; k < rows.size(); ++k) {
      rows_.push_back(rows[k] + 1);
      cols_.push_back(cols[k] + 1);
    }
  } else {
    for (int j = 0; j < m_; ++j) {
      for (int i = 0; i < n_; ++i) {
        rows_.push_back(j + 1);
        cols_.push_back(i + 1);
      }
    }
  }
}

std::int32_t HostProblem::QueryInterface(const vek::Guid& iid, void** out) {
  if (out == nullptr) return vek::kENoInterface;
  if (iid == vek::kIidVEKUtilityComponent) {
    *out = static_cast<vek::VEKUtilityComponent*>(&utility_);
  } else if (iid == vek::kIidIUnknown) {
    *out = static_cast<vek::IUnknown*>(this);
  } else {
    return vek::kENoInterface;
  }
  AddRef();
  return vek::kOk;
}

std::int32_t HostProblem::GetVariableBounds(std::int32_t first, double* lower, double* upper) {
  if (first < 0 || first >= n_ || lower == nullptr || upper == nullptr) return vek::kNotAvailable;
  for (std::int32_t i = first; i < n_; ++i) {
    lower[i - first] = lower_[static_cast<size_t>(i)];
    upper[i - first] = upper_[static_cast<size_t>(i)];
  }
  return vek::kOk;
}

std::int32_t HostProblem::SetVariableValues(std::int32_t first, const double* x) {
  if (first < 0 || first >= n_ || x == nullptr) return vek::kNotAvailable;
  for (std::int32_t i = first; i < n_; ++i) x_[static_cast<size_t>(i)] = x[i - first];
  return vek::kOk;
}

std::int32_t HostProblem::GetVariableValues(std::int32_t first, double* x) {
  if (first < 0 || first >= n_ || x == nullptr) return vek::kNotAvailable;
  for (std::int32_t i = first; i < n_; ++i) x[i - first] = x_[static_cast<size_t>(i)];
  return vek::kOk;
}

std::int32_t HostProblem::GetVariableAttribute(std::int32_t index, const char* key, double* value) {
  if (key == nullptr || value == nullptr || std::strcmp(key, "VariableScale") != 0) return vek::kNotAvailable;
  // Only the variables a scale was given for have one, whatever length the caller gave.
  if (index < 0 || index >= n_ || static_cast<size_t>(index) >= variable_scales_.size())
    return vek::kNotAvailable;
  *value = variable_scales_[static_cast<size_t>(index)];
  return vek::kOk;
}

std::int32_t HostProblem::GetConstraintAttribute(std::int32_t index, const char* key, std::int32_t* value) {
  if (key == nullptr || value == nullptr || std::strcmp(key, "MathType") != 0) return vek::kNotAvailable;
  if (index < 0 || index >= m_) return vek::kNotAvailable;
  *value = math_types_[static_cast<size_t>(index)];
  return vek::kOk;
}

std::int32_t HostProblem::GetProblemAttribute(const char* key, double* value) {
  if (key == nullptr || value == nullptr || std::strcmp(key, "ObjectiveScale") != 0)
    return vek::kNotAvailable;
  if (!has_objective_scale_) return vek::kNotAvailable;
  *value = objective_scale_;
  return vek::kOk;
}

std::int32_t HostProblem::GetStructureCounts(std::int32_t* first, std::int32_t* nnz) {
  if (first != nullptr) *first = n_;
  if (nnz != nullptr) *nnz = this->nnz();
  return vek::kOk;
}

std::int32_t HostProblem::GetJacobianStructure(const std::int32_t** rows, const std::int32_t** cols,
                                               std::int32_t* count) {
  if (rows != nullptr) *rows = rows_.data();
  if (cols != nullptr) *cols = cols_.data();
  if (count != nullptr) *count = nnz();
  return vek::kOk;
}

std::int32_t HostProblem::SetMultipliers(const double* /*variable_multipliers*/,
                                         const double* constraint_multipliers) {
  ++multiplier_calls_;
  if (constraint_multipliers != nullptr) {
    for (std::int32_t j = 0; j < m_; ++j) lambda_[static_cast<size_t>(j)] = constraint_multipliers[j];
  }
  return vek::kOk;
}

bool HostProblem::evaluate(std::int32_t request, vek::EvaluationBlock* block) {
  if (block == nullptr) return false;
  switch (request) {
    case vek::kRequestStart:
    case vek::kRequestStartVariant:
    case vek::kRequestVariant:
      evaluate_functions(block);
      evaluate_derivatives(block);
      return true;
    case vek::kRequestFunctions:
      evaluate_functions(block);
      return true;
    case vek::kRequestDerivatives:
      evaluate_derivatives(block);
      return true;
    default:
      return false;
  }
}

void HostProblem::evaluate_functions(vek::EvaluationBlock* block) {
  ++function_evaluations_;
  const double f = problem_.objective(x_.data());
  block->objective = f;
  bool finite = std::isfinite(f);
  if (m_ > 0) {
    problem_.constraints(x_.data(), block->constraints);
    for (std::int32_t j = 0; j < m_; ++j) finite = finite && std::isfinite(block->constraints[j]);
    // A point where the functions are not defined (a logarithm of a negative number, say) is
    // reported through the first constraint, which makes the solver shorten the step.
    if (!finite) block->constraints[0] = kEvaluationFailed;
  }
}

void HostProblem::evaluate_derivatives(vek::EvaluationBlock* block) {
  ++derivative_evaluations_;
  problem_.gradient(x_.data(), block->gradient);
  if (m_ == 0) return;
  problem_.jacobian(x_.data(), dense_jacobian_.data());
  for (size_t k = 0; k < rows_.size(); ++k) {
    const size_t row = static_cast<size_t>(rows_[k] - 1);
    const size_t col = static_cast<size_t>(cols_[k] - 1);
    block->jacobian[k] = dense_jacobian_[row * static_cast<size_t>(n_) + col];
  }
}

void HostSink::Write(const char* text) {
  const std::string piece = text == nullptr ? std::string() : std::string(text);
  all_ += piece;
  call_texts_.push_back(piece);
  if (echo_) {
    std::fputs(piece.c_str(), stdout);
    std::fflush(stdout);
  }
}

}  // namespace talvir::host
