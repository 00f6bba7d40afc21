#pragma once
// Processes that run the same fit side by side and share its independent
// pieces of work: the columns of a Jacobian, the starts of a global search.
// Each process does its share of the pieces, then every process gets every
// piece's result; all of them take the same steps with the same numbers and
// so stay in step, without one of them leading. The fit does not know how
// the results travel: without a WorkSharing it does every piece itself.

#include <string>
#include <vector>

namespace quorra::fit {

class WorkSharing {
 public:
  virtual ~WorkSharing() = default;

  // Whether this process does piece `piece` of `count`: the same answer for
  // the same question at every call, and exactly one process says yes.
  virtual bool does(int piece, int count) const = 0;

  // Every process calls it at the same points of the fit, in the same order:
  // step names the point (the same bytes in every process that kept in
  // step), pieces holds the results of the pieces this process did (the
  // others empty). On return every piece holds its result, the same bytes
  // in every process. When the processes' steps differ they have come apart
  // (their arithmetic differs): the implementation ends the run.
  virtual void exchange(const std::string& step, std::vector<std::string>& pieces) = 0;
};

}  // namespace quorra::fit
