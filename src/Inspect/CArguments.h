// CArguments: the words that follow one fwinspect command, split into
// positional arguments and options by getopt_long, as the other programs do:
// options may stand anywhere among the positional arguments, a long option
// may be shortened to any unambiguous prefix, a valued option takes its value
// as "--watch=1" or "--watch 1", and "--" ends the options.
//
// Every command also knows "--help". A switch given twice counts once, a
// valued option given twice keeps the last value. Parse returns false with a
// one-line explanation for an unknown or ambiguous option, a valued option
// without its value, or a number of positional arguments outside the
// command's range. getopt_long's own messages are off; Parse restarts its
// scan, so it may run more than once in one process (not at once).
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
  // words[0] names the command; options are named with their "--".
  bool Parse(const std::vector<std::string>& words, const std::vector<std::string>& switches,
             const std::vector<std::string>& valuedOptions, size_t fewestPositional, size_t mostPositional,
             std::string& problem);

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
