// Catalogues for the tests: fixtures and expected outputs kept as files in
// tests/data/, loading with what the loader said, and what a loaded
// catalogue holds written out as text, to be compared with such a file.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_CATALOGUEFILES_H
#define FAULTWRIGHT_TESTS_SUPPORT_CATALOGUEFILES_H

#include <memory>
#include <string>

#include "Common/ErrorDatabase/CErrorDatabase.h"

namespace FaultwrightTest {

// The path of tests/data/<name>, and the file there read whole.
std::string DataPath(const std::string& name);
std::string DataFile(const std::string& name);

// The catalogue in directory; what the loader wrote to its problem output
// goes to *written when given.
std::unique_ptr<Faultwright::CErrorDatabase> LoadCatalogue(const std::string& directory,
                                                           std::string* written = nullptr);

// The catalogue's load problems, each followed by "\n", with every mention of
// directory left out.
std::string ProblemLines(const Faultwright::CErrorDatabase& catalogue, const std::string& directory);

// One line per record in load order: its identifier, severity, time-out,
// flags (visible, fullScreen, forceShutdown, includeServiceNumber, shouldBeep,
// shouldBeepIfGuiding as 0 or 1), texts, weight and dependents, then each
// trigger set with its options and its triggers by record position.
std::string Records(const Faultwright::CErrorDatabase& catalogue);

// The loader's problem lines with each ":LINE:COLUMN" after the file name
// left out, for tests about what is said rather than where.
std::string WithoutPlaces(const std::string& lines);

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_CATALOGUEFILES_H
