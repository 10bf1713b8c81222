#include "Inspect/CArguments.h"

#include <getopt.h>

namespace Faultwright {

namespace {

const char kHelp[] = "--help";
// getopt_long's answer for option i is kFirstOption + i, clear of its own '?' and ':'.
const int kFirstOption = 1000;

std::string Counted(size_t count) { return std::to_string(count) + " argument" + (count == 1 ? "" : "s"); }

}  // namespace

bool CArguments::Parse(const std::vector<std::string>& words, const std::vector<std::string>& switches,
                       const std::vector<std::string>& valuedOptions, size_t fewestPositional, size_t mostPositional,
                       std::string& problem) {
  // getopt_long wants the names without "--" and permutes the words it is given.
  std::vector<std::string> names(switches);
  names.push_back(kHelp);
  names.insert(names.end(), valuedOptions.begin(), valuedOptions.end());
  std::vector<option> options;
  for (size_t i = 0; i < names.size(); ++i) {
    const bool valued = i > switches.size();
    options.push_back(
        {names[i].c_str() + 2, valued ? required_argument : no_argument, nullptr, kFirstOption + static_cast<int>(i)});
  }
  options.push_back({nullptr, 0, nullptr, 0});
  std::vector<std::string> copies(words);
  std::vector<char*> argv;
  for (std::string& word : copies) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(copies.size());

  opterr = 0;
  optind = 0;  // a full restart of the scan
  for (;;) {
    int answer = getopt_long(argc, argv.data(), ":", options.data(), nullptr);
    if (answer == -1) break;
    if (answer == ':') {
      problem = std::string(argv[optind - 1]) + " needs a value";
      return false;
    }
    if (answer < kFirstOption) {
      std::string word = argv[optind - 1];
      problem = "unknown or ambiguous option " + word.substr(0, word.find('='));
      return false;
    }
    const size_t index = static_cast<size_t>(answer - kFirstOption);
    if (index > switches.size()) {
      values_[names[index]] = optarg;
    } else {
      switches_.insert(names[index]);
    }
  }
  positional_.assign(argv.begin() + optind, argv.begin() + argc);
  if (Has(kHelp)) return true;
  if (positional_.size() < fewestPositional || positional_.size() > mostPositional) {
    problem =
        "expected " +
        (fewestPositional == mostPositional ? Counted(fewestPositional)
                                            : std::to_string(fewestPositional) + " to " + Counted(mostPositional)) +
        ", got " + std::to_string(positional_.size());
    return false;
  }
  return true;
}

std::string CArguments::Value(const std::string& option) const {
  auto found = values_.find(option);
  return found == values_.end() ? std::string() : found->second;
}

}  // namespace Faultwright
