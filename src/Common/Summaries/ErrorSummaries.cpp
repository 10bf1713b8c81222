#include "Common/Summaries/ErrorSummaries.h"

#include <string>

#include "Common/Summaries/StateCode.h"
#include "Common/Summaries/SummaryFields.h"
#include "Identifiers/CErrorKey.h"

namespace Faultwright {

namespace {

// The walk down one top-level error's tree of active triggers. Every visited
// error adds its block of bits; below a shallow link the errors add bits only.
class TriggerWalk {
 public:
  TriggerWalk(CErrorSummary& summary, std::string& bits, std::vector<CErrorKey>& keys, bool useTextKeys)
      : summary_(summary), bits_(bits), keys_(keys), useTextKeys_(useTextKeys) {}

  void AppendTriggerStates(const CError& error, bool bitsOnly) {
    AppendTriggerBlock(error, bits_);
    path_.Enter(&error);
    for (const CTriggerSet& triggerSet : error.TriggerSets()) {
      int activeTriggers = 0;
      for (const CError* trigger : triggerSet.Triggers()) {
        if (!trigger->IsActive()) continue;
        ++activeTriggers;
        if (!bitsOnly) {
          keys_.push_back(ErrorKeyOf(*trigger));
          AddActiveTrigger(triggerSet, *trigger, useTextKeys_, summary_);
        }
        if (path_.MayEnter(trigger)) {
          AppendTriggerStates(*trigger, bitsOnly || triggerSet.ErrorLinking() == eelShallow);
        }
      }
      // Several active triggers in one set leave no single title to show.
      if (!bitsOnly && activeTriggers > 1) {
        summary_.shortTitle.clear();
        summary_.vtTitle.clear();
      }
    }
    path_.Leave();
  }

 private:
  CErrorSummary& summary_;
  std::string& bits_;
  std::vector<CErrorKey>& keys_;
  bool useTextKeys_;
  CTriggerPath path_;
};

}  // namespace

void BuildErrorSummaries(const CErrorDatabaseView& view, const CErrorPatterns& patterns,
                         const std::vector<CError*>& topLevelErrors, std::vector<CErrorSummary>& summaries,
                         bool useTextKeys) {
  summaries.clear();
  summaries.reserve(topLevelErrors.size());
  std::vector<CErrorKey> keys;
  std::string bits;
  for (const CError* error : topLevelErrors) {
    keys.assign(1, ErrorKeyOf(*error));
    CErrorSummary summary;
    SetErrorFields(*error, summary);
    summary.code = error->Code();
    summary.type = error->Type();

    CErrorState state = {};
    view.GetErrorState(error->Code(), error->Type(), state);
    SetStateFields(state, summary);

    bits.clear();
    AppendIndexBits(view.FindErrorIndex(error->Code(), error->Type()), bits);
    TriggerWalk(summary, bits, keys, useTextKeys).AppendTriggerStates(*error, false);
    FillOwnTexts(*error, useTextKeys, summary);
    summary.stateCode = EncodeStateCode(bits);
    summary.fixedCode = patterns.GetFixedCode(keys);
    summaries.push_back(std::move(summary));
  }
}

void BuildStateSummaries(const std::vector<CErrorState>& states, std::vector<CErrorSummary>& summaries) {
  for (const CErrorState& state : states) {
    if (state.RaiseCount2 == 0) continue;  // never raised
    CErrorSummary summary;
    summary.code = state.Code;
    summary.type = state.Type;
    SetStateFields(state, summary);
    SetTextKeys(state.Code, state.Type, summary);
    summaries.push_back(std::move(summary));
  }
  std::sort(summaries.begin(), summaries.end(),
            [](const CErrorSummary& a, const CErrorSummary& b) { return a.raised.CompareGT(b.raised); });
}

}  // namespace Faultwright
