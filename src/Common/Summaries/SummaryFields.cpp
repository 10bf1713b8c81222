#include "Common/Summaries/SummaryFields.h"

#include <string>

#include "Common/TextExport/TextExport.h"

namespace Faultwright {

namespace {

std::string ErrorTextKey(const CError& error, const char* kind) { return TextKey(error.Code(), error.Type(), kind); }

std::string Title(const CError& error, bool useTextKeys) {
  return useTextKeys ? ErrorTextKey(error, kShortTitleKind) : error.TitleText();
}
std::string SecondTitle(const CError& error, bool useTextKeys) {
  return useTextKeys ? ErrorTextKey(error, kVtTitleKind) : error.ShortProblemText();
}
std::string Problem(const CError& error, bool useTextKeys) {
  return useTextKeys ? ErrorTextKey(error, kProblemKind) : error.ProblemText();
}
std::string Solution(const CError& error, bool useTextKeys) {
  return useTextKeys ? ErrorTextKey(error, kSolutionKind) : error.SolutionText();
}

// floor(AsDouble()) would round up to the next second once the seconds
// outgrow a double's fraction; the whole seconds are exact in integers.
Core::Time WholeSeconds(const Core::Time& time) {
  return Core::Time(Core::Time(time.Seconds(), time.Nanoseconds()).Seconds(), 0);
}

}  // namespace

void SetErrorFields(const CError& error, CErrorSummary& summary) {
  summary.visible = error.IsVisible();
  summary.forceShutdown = error.ForceShutdown();
  summary.fullScreen = error.IsFullScreen();
  summary.includeServiceNumber = error.IncludeServiceNumber();
  summary.shouldBeep = error.ShouldBeep();
  summary.shouldBeepIfGuiding = error.ShouldBeepIfGuiding();
  summary.severity = error.Severity();
}

void SetStateFields(const CErrorState& state, CErrorSummary& summary) {
  summary.raised = WholeSeconds(state.Raised);
  summary.cleared = WholeSeconds(state.Cleared);
  summary.raiseCount1 = state.RaiseCount1;
  summary.raiseCount2 = state.RaiseCount2;
}

void SetTextKeys(uint32_t code, int32_t type, CErrorSummary& summary) {
  summary.shortTitle = TextKey(code, type, kShortTitleKind);
  summary.vtTitle = TextKey(code, type, kVtTitleKind);
  summary.problems.push_back(TextKey(code, type, kProblemKind));
  summary.solutions.push_back(TextKey(code, type, kSolutionKind));
}

void AddActiveTrigger(const CTriggerSet& triggerSet, const CError& trigger, bool useTextKeys, CErrorSummary& summary) {
  if (triggerSet.ErrorLinking() == eelVerbose) summary.problems.push_back(Problem(trigger, useTextKeys));
  if (triggerSet.TitleSource() == etsTrigger) {
    summary.shortTitle = Title(trigger, useTextKeys);
    summary.vtTitle = SecondTitle(trigger, useTextKeys);
  }
  if (triggerSet.HasFullScreen()) summary.fullScreen = triggerSet.FullScreen();
  summary.shouldBeep = summary.shouldBeep || trigger.ShouldBeep();
  summary.shouldBeepIfGuiding = summary.shouldBeepIfGuiding || trigger.ShouldBeepIfGuiding();
  if (triggerSet.ErrorLinking() != eelShallow && !trigger.HasLinkingMode(eelChildOnly)) {
    summary.solutions.push_back(Solution(trigger, useTextKeys));
  }
}

void FillOwnTexts(const CError& error, bool useTextKeys, CErrorSummary& summary) {
  if (summary.shortTitle.empty()) summary.shortTitle = Title(error, useTextKeys);
  if (summary.vtTitle.empty()) summary.vtTitle = SecondTitle(error, useTextKeys);
  if (summary.problems.empty()) summary.problems.push_back(Problem(error, useTextKeys));
  if (summary.solutions.empty()) summary.solutions.push_back(Solution(error, useTextKeys));
}

}  // namespace Faultwright
