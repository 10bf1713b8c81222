#include "Inspect/CLiveDatabase.h"

#include <algorithm>
#include <vector>

#include "Common/SummaryFields.h"
#include "Identifiers/CErrorKey.h"

namespace Faultwright {

CLiveDatabase::CLiveDatabase(const std::string& directory) : catalogue_(directory), view_(false, 0) {}

int CLiveDatabase::Refresh() {
  const int result = view_.Update(catalogue_);
  enabled_ = view_.IsEnabled();
  Resynchronise();
  return result;
}

void CLiveDatabase::Resynchronise() {
  std::vector<CErrorState> states;
  if (enabled_) view_.GetErrorStates(states);
  std::vector<CErrorKey> activeKeys;
  bool changed = false;
  for (const CErrorState& state : states) {
    if (!state.IsActive()) continue;
    activeKeys.emplace_back(static_cast<int32_t>(state.Code), state.Type);
    const CError* error = catalogue_.FindError(state.Code, state.Type);
    if (error != nullptr && !error->IsActive()) {
      catalogue_.RaiseError(state.Code, state.Type, true);
      changed = true;
    }
  }
  std::sort(activeKeys.begin(), activeKeys.end());
  for (const CError& error : catalogue_.Errors()) {
    if (!error.IsActive() || std::binary_search(activeKeys.begin(), activeKeys.end(), ErrorKeyOf(error))) continue;
    catalogue_.ClearError(error.Code(), error.Type(), true);
    changed = true;
  }
  if (changed) catalogue_.UpdateTopLevelErrors();
}

}  // namespace Faultwright
