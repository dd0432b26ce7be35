#include "lookup/crossrefsearch.h"

#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"

namespace vox {

namespace {

bool CommHasEvalEntry(const CommTable& comms, const CommRecord& record, int n) {
    for (int j = 0; j < record.elements; ++j) {
        if (-static_cast<int>(comms.GetCommEntry(record, j)) == n) return true;
    }
    return false;
}

bool CommUsesFrag(const CommTable& comms, const EvalTable& evals, const CommRecord& record,
                  int n) {
    for (int j = 0; j < record.elements; ++j) {
        const int entry = comms.GetCommEntry(record, j);
        if (entry < 0 ? evals.ContainsFrag(-entry, n) : entry == n) return true;
    }
    return false;
}

}  // namespace

std::vector<int> FindFragInEval(const EvalTable& evals, int n) {
    std::vector<int> matches;
    for (int eval = 0; eval < evals.GetCount(); ++eval) {
        if (evals.ContainsFrag(eval, n)) matches.push_back(eval);
    }
    return matches;
}

std::vector<int> FindEvalInComm(const CommTable& comms, int n) {
    std::vector<int> matches;
    CommRecord record;
    for (int comm = 0; comm < comms.GetCount(); ++comm) {
        // Records lie back to back from the start of the file: once one cannot be read, no
        // later one can, however many a forged count claims.
        if (!comms.GetCommRecord(comm, record)) break;
        if (CommHasEvalEntry(comms, record, n)) matches.push_back(comm);
    }
    return matches;
}

std::vector<int> FindFragInComm(const CommTable& comms, const EvalTable& evals, int n) {
    std::vector<int> matches;
    CommRecord record;
    for (int comm = 0; comm < comms.GetCount(); ++comm) {
        // Records lie back to back from the start of the file: once one cannot be read, no
        // later one can, however many a forged count claims.
        if (!comms.GetCommRecord(comm, record)) break;
        if (CommUsesFrag(comms, evals, record, n)) matches.push_back(comm);
    }
    return matches;
}

}  // namespace vox
