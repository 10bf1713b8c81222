// The weight pass of the catalogue. The weight of an error is 1 plus the
// weights of its triggers, but only for errors that can be reached, along
// dependents, from an error without trigger sets; every other error keeps
// weight 1. (An error reached only through errors whose trigger sets hold no
// triggers thus keeps weight 1.) Computed by one depth-first walk over the
// trigger links, each error finishing after its triggers, so every link is
// followed once. A link back to an error still on the walk closes a cycle: it
// is reported, and counts with that error's weight at that moment (1), which
// keeps every weight finite.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"

namespace Faultwright {

namespace {

enum Visit : char { kUnvisited, kOnWalk, kFinished };

struct Frame {
  size_t index;
  size_t set = 0;
  size_t trigger = 0;
};

}  // namespace

void CErrorDatabase::UpdateWeights(const std::function<std::string(size_t)>& recordPlace) {
  const size_t count = errors_.size();
  auto indexOf = [this](const CError* error) { return static_cast<size_t>(error - errors_.data()); };

  std::vector<char> reached(count, 0);
  std::vector<size_t> queue;
  for (size_t i = 0; i < count; ++i) {
    if (errors_[i].TriggerSets().empty()) queue.push_back(i);
  }
  for (size_t next = 0; next < queue.size(); ++next) {
    for (const CError* dependent : errors_[queue[next]].Dependents()) {
      size_t index = indexOf(dependent);
      if (!reached[index]) {
        reached[index] = 1;
        queue.push_back(index);
      }
    }
  }

  std::vector<char> visit(count, kUnvisited);
  std::vector<Frame> walk;
  for (size_t start = 0; start < count; ++start) {
    if (visit[start] != kUnvisited) continue;
    visit[start] = kOnWalk;
    walk.push_back(Frame{start});
    while (!walk.empty()) {
      Frame& frame = walk.back();
      CError& error = errors_[frame.index];
      const std::vector<CTriggerSet>& sets = error.TriggerSets();
      if (frame.set == sets.size()) {
        if (reached[frame.index]) error.UpdateWeight();
        visit[frame.index] = kFinished;
        walk.pop_back();
        continue;
      }
      const std::vector<CError*>& triggers = sets[frame.set].Triggers();
      if (frame.trigger == triggers.size()) {
        ++frame.set;
        frame.trigger = 0;
        continue;
      }
      const CError* trigger = triggers[frame.trigger++];
      size_t index = indexOf(trigger);
      if (visit[index] == kUnvisited) {
        visit[index] = kOnWalk;
        walk.push_back(Frame{index});  // frame is not used again before it is back on top
      } else if (visit[index] == kOnWalk) {
        ReportProblem(recordPlace(frame.index) + ": Error \"" + ErrorIdentifierText(error.Code(), error.Type()) +
                      "\": Trigger \"" + ErrorIdentifierText(trigger->Code(), trigger->Type()) +
                      "\": closes a cycle of trigger references");
      }
    }
  }
}

}  // namespace Faultwright
