#include "Common/Summaries/StateCodeDecoder.h"

#include <algorithm>
#include <stdexcept>

#include "Common/Summaries/StateCode.h"
#include "Common/Summaries/SummaryFields.h"
#include "Identifiers/Identifiers.h"

namespace Faultwright {

namespace {

// Reads the trigger blocks that follow the index, one error at a time: the
// error's block, then the trees of its active triggers in order.
class TriggerStateReader {
 public:
  TriggerStateReader(const std::string& bits, std::string::size_type next, CErrorSummary& summary,
                     std::vector<std::string>& lines, std::vector<CErrorKey>& keys, bool flat)
      : bits_(bits), next_(next), summary_(summary), lines_(lines), keys_(keys), flat_(flat) {}

  void DecodeTriggerStates(const CError& error, const std::string& prefix) {
    if (next_ >= bits_.size()) return;
    std::vector<const CError*> active;
    std::string::size_type position = next_;
    for (const CTriggerSet& triggerSet : error.TriggerSets()) {
      for (const CError* trigger : triggerSet.Triggers()) {
        // A code cut short reads as inactive triggers from its end on.
        if (position < bits_.size() && bits_[position] == '1') {
          active.push_back(trigger);
          keys_.push_back(ErrorKeyOf(*trigger));
          AddActiveTrigger(triggerSet, *trigger, false, summary_);
        }
        ++position;
      }
    }
    if (active.size() > 1) {
      summary_.shortTitle.clear();
      summary_.vtTitle.clear();
    }
    next_ = std::min(position, bits_.size());

    path_.Enter(&error);
    std::string childPrefix = prefix + "--";
    for (const CError* trigger : active) {
      lines_.push_back(Line(childPrefix, *trigger));
      if (path_.MayEnter(trigger)) DecodeTriggerStates(*trigger, childPrefix);
    }
    path_.Leave();
  }

  std::string Line(const std::string& prefix, const CError& error) const {
    std::string key = ErrorIdentifierText(error.Code(), error.Type());
    return flat_ ? key : prefix + key;
  }

 private:
  const std::string& bits_;
  std::string::size_type next_;  // the first bit not yet read
  CErrorSummary& summary_;
  std::vector<std::string>& lines_;
  std::vector<CErrorKey>& keys_;
  bool flat_;
  CTriggerPath path_;
};

}  // namespace

bool DecodeStateCode(const std::string& stateCode, CErrorDatabase& database, CErrorDatabaseView& view,
                     CErrorSummary& summary, std::vector<std::string>& lines, std::vector<CErrorKey>& keys, bool flat) {
  std::string bits;
  if (!DecodeStateCodeBits(stateCode, bits)) return false;
  unsigned code = 0;
  int type = 0;
  if (view.GetErrorKey(IndexFromBits(bits), code, type) < 0) return false;
  const CError* error = database.FindError(code, type);
  if (error == nullptr) return false;

  keys.push_back(ErrorKeyOf(*error));
  SetErrorFields(*error, summary);
  CErrorState state = {};
  view.GetErrorState(error->Code(), error->Type(), state);
  SetStateFields(state, summary);
  TriggerStateReader reader(bits, kStateCodeIndexBits, summary, lines, keys, flat);
  lines.push_back(reader.Line("+-", *error));

  if (error->TriggerSets().empty()) {
    summary.shortTitle = error->TitleText();
    summary.vtTitle = error->ShortProblemText();
    summary.problems.push_back(error->ProblemText());
    summary.solutions.push_back(error->SolutionText());
    return true;
  }
  // The trigger bits follow the index; a code without a whole index cannot say
  // which triggers are active.
  if (bits.size() < kStateCodeIndexBits) throw std::out_of_range("state code " + stateCode + " ends within its index");
  reader.DecodeTriggerStates(*error, "+-");
  FillOwnTexts(*error, false, summary);
  return true;
}

}  // namespace Faultwright
