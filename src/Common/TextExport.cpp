#include "Common/TextExport.h"

#include <cstdio>

#include "Identifiers/Identifiers.h"

namespace Faultwright {

namespace {

// Writes one line and flushes it, so that a failure leaves only whole lines behind.
bool WriteLine(std::FILE* file, const std::string& line) {
  return std::fwrite(line.data(), 1, line.size(), file) == line.size() && std::fputc('\n', file) != EOF &&
         std::fflush(file) == 0;
}

}  // namespace

bool ExportTexts(const std::vector<CError>& errors, const std::string& fileName) {
  std::FILE* file = std::fopen(fileName.c_str(), "w");
  if (file == nullptr) return false;
  bool written = true;
  for (const CError& error : errors) {
    const std::string key = "[" + ErrorIdentifierText(error.Code(), error.Type());
    written = WriteLine(file, key + ".problem]") && WriteLine(file, error.ProblemText()) &&
              WriteLine(file, key + ".solution]") && WriteLine(file, error.SolutionText()) &&
              WriteLine(file, key + ".shortTitle]") && WriteLine(file, error.TitleText()) &&
              WriteLine(file, key + ".vtTitle]") && WriteLine(file, error.ShortProblemText());
    if (!written) break;
  }
  return std::fclose(file) == 0 && written;
}

}  // namespace Faultwright
