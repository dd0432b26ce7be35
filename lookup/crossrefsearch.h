#pragma once

#include <vector>

namespace vox {

class CommTable;
class EvalTable;

// The three cross-reference scans. Each walks its table from number 0 upwards and lists every
// matching eval or comm once, at its first match, so the result is ascending without sorting.
// The tables are only read.

// Evals that have an alternative whose 16-bit frag, sign-extended, equals n.
std::vector<int> FindFragInEval(const EvalTable& evals, int n);

// Comms holding an entry e with -e == n. The entry's sign is not looked at: 0 finds entries of 0,
// and a negative n finds the fragment entry -n. Comms whose record cannot be read, or whose list
// is empty, never match.
std::vector<int> FindEvalInComm(const CommTable& comms, int n);

// Comms using fragment n directly (an entry e >= 0 equal to n) or through one of their evals (an
// entry e < 0 whose eval -e has an alternative speaking n; an eval outside the table speaks
// nothing).
std::vector<int> FindFragInComm(const CommTable& comms, const EvalTable& evals, int n);

}  // namespace vox
