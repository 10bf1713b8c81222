// CArguments: the words that follow one fwinspect command, split into
// positional arguments and options.
//
// An option is a word that starts with "--" and is one of the command's
// switches (no value) or valued options (the next word is its value). Options
// may stand anywhere among the positional arguments; a switch given twice
// counts once, a valued option given twice keeps the last value. Parse
// returns false with a one-line explanation for an unknown option, a valued
// option without its value, or a wrong number of positional arguments.
#ifndef FAULTWRIGHT_INSPECT_CARGUMENTS_H
#define FAULTWRIGHT_INSPECT_CARGUMENTS_H

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Faultwright {

class CArguments {
 public:
  bool Parse(const std::vector<std::string>& words, const std::vector<std::string>& switches,
             const std::vector<std::string>& valuedOptions, size_t positionalCount, std::string& problem);

  const std::vector<std::string>& Positional() const { return positional_; }
  const std::string& Positional(size_t index) const { return positional_[index]; }
  bool Has(const std::string& option) const { return switches_.count(option) != 0 || values_.count(option) != 0; }
  // The value of a valued option that Has(); empty otherwise.
  std::string Value(const std::string& option) const;

 private:
  std::vector<std::string> positional_;
  std::set<std::string> switches_;
  std::map<std::string, std::string> values_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CARGUMENTS_H
