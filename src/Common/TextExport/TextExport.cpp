#include "Common/TextExport/TextExport.h"

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

std::string TextKey(uint32_t code, int32_t type, const char* kind) { return ErrorIdentifierText(code, type) + kind; }

bool ExportTexts(const std::vector<CError>& errors, const std::string& fileName) {
  std::FILE* file = std::fopen(fileName.c_str(), "w");
  if (file == nullptr) return false;
  bool written = true;
  for (const CError& error : errors) {
    auto heading = [&error](const char* kind) { return "[" + TextKey(error.Code(), error.Type(), kind) + "]"; };
    written = WriteLine(file, heading(kProblemKind)) && WriteLine(file, error.ProblemText()) &&
              WriteLine(file, heading(kSolutionKind)) && WriteLine(file, error.SolutionText()) &&
              WriteLine(file, heading(kShortTitleKind)) && WriteLine(file, error.TitleText()) &&
              WriteLine(file, heading(kVtTitleKind)) && WriteLine(file, error.ShortProblemText());
    if (!written) break;
  }
  return std::fclose(file) == 0 && written;
}

}  // namespace Faultwright
