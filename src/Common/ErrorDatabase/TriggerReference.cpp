#include "Common/ErrorDatabase/TriggerReference.h"

#include <string_view>
#include <unordered_map>

#include "Common/ErrorDatabase/ErrorAttributes.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/Utilities/SplitString.h"

namespace Faultwright {

namespace {

using NameIndex = std::unordered_map<std::string_view, uint32_t>;

// The table's names point to constant data, so the views stay valid.
template <typename ForEach>
NameIndex MakeIndex(ForEach forEach) {
  NameIndex index;
  forEach([&index](uint32_t code, const char* name) { index.emplace(name, code); });
  return index;
}

bool Find(const NameIndex& index, const std::string& name, uint32_t& code) {
  auto found = index.find(name);
  if (found == index.end()) return false;
  code |= found->second;
  return true;
}

}  // namespace

TriggerReference::Result TriggerReference::Parse(const std::string& id) {
  static const NameIndex modules = MakeIndex([](auto visit) { ForEachModule(visit); });
  static const NameIndex subModules = MakeIndex([](auto visit) { ForEachSubModule(visit); });
  static const NameIndex problems = MakeIndex([](auto visit) { ForEachProblem(visit); });

  if (!Core::Utilities::SplitString(id, ":", parts_, 0) || parts_.size() != 4) return kMalformed;
  code_ = 0;
  type_ = ErrorAttributes::ReadNumber(parts_[3].c_str());
  if (!Find(modules, parts_[0], code_)) return kUnknownModule;
  if (!Find(subModules, parts_[1], code_)) return kUnknownSubModule;
  if (!Find(problems, parts_[2], code_)) return kUnknownProblem;
  return kResolved;
}

}  // namespace Faultwright
