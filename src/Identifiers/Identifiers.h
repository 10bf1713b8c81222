// The fixed identifier catalogue: modules, submodules, problems, problem types
// and error severities, with lookups in both directions.
//
// Code to name returns the table's name or an empty string for a code that names
// nothing. Name to code matches exactly (case, blanks and punctuation count) and
// returns the kind's unknown value when nothing matches. The tables are constant
// data, so every lookup may be called from any thread.
//
// An error code packs three identifiers: module in bits 16-23, submodule in bits
// 8-15, problem in bits 0-7. Together with the problem type it names one error.
#ifndef FAULTWRIGHT_IDENTIFIERS_IDENTIFIERS_H
#define FAULTWRIGHT_IDENTIFIERS_IDENTIFIERS_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace Faultwright {

enum EModuleIdentifier : int32_t {
  emiUnknown = -1,
  emiGPS = 0x010000,
  emiCAN = 0x020000,
  emiNavigationAndControl = 0x030000,
  emiPositioning = 0x040000,
  emiService = 0x050000,
  emiBaseRadio = 0x060000,
  emiBase = 0x070000,
  emiAudio = 0x080000,
  emiCellRadio = 0x090000,
  emiSystem = 0x0A0000,
  emiNMEA = 0x0B0000,
  emiNTrip = 0x0C0000,
  emiSpray = 0x0D0000,
};

// Submodules run from 0x0100 to 0x3900 in steps of 0x0100, problems from 0x01
// upward; only the bounds are named, the tables hold the names.
enum ESubModuleIdentifier : int32_t {
  esmiUnknown = -1,
  esmiFirst = 0x0100,
  esmiLast = 0x3900,
};

enum EProblemIdentifier : int32_t {
  epiUnknown = -1,
  epiFirst = 0x01,
  epiLast = 0x68,
};

// Types 0 to 19 follow the SAE J1939 failure mode identifiers of the same numbers.
enum EProblemType : int32_t {
  eptDataValidButAboveOperatingRangeSevere = 0,
  eptDataValidButBelowOperatingRangeSevere = 1,
  eptDataErraticAndIntermittentlyIncorrect = 2,
  eptVoltageAboveNormalOrShortedHigh = 3,
  eptVoltageBelowNormalOrShortedLow = 4,
  eptCurrentBelowNormalOrOpenCircuit = 5,
  eptCurrentAboveNormalOrShortedGround = 6,
  eptMechanicalSystemNotRespondingOrNeedsAdjustment = 7,
  eptAbnormalFrequencyOrPulseWidthOrPeriod = 8,
  eptAbnormalUpdateRate = 9,
  eptAbnormalRateOfChange = 10,
  eptRootCauseUnknown = 11,
  eptBadIntelligentDeviceOrComponent = 12,
  eptOutOfCalibration = 13,
  eptSpecialInstructions = 14,
  eptDataValidButAboveOperatingRangeMinor = 15,
  eptDataValidButAboveOperatingRangeModerate = 16,
  eptDataValidButBelowOperatingRangeMinor = 17,
  eptDataValidButBelowOperatingRangeModerate = 18,
  eptReceivedNetworkDataInError = 19,
  eptDataCollectionTimeout = 20,
  eptUnknown = 21,  // one past the last type
};

enum EErrorSeverity : int32_t {
  eesUnknown = -1,
  eesLow = 0,
  eesMedium = 1,
  eesHigh = 2,
  eesCritical = 3,
};

std::string ModuleName(EModuleIdentifier module);
std::string SubModuleName(ESubModuleIdentifier subModule);
std::string ProblemName(EProblemIdentifier problem);
std::string ProblemTypeName(EProblemType type);
std::string ErrorSeverityName(EErrorSeverity severity);

EModuleIdentifier ModuleFromName(const std::string& name);
ESubModuleIdentifier SubModuleFromName(const std::string& name);
EProblemIdentifier ProblemFromName(const std::string& name);
// Accepts a type name, or a decimal number 0-20 read like strtol (leading blanks
// and a sign allowed, trailing text ignored).
EProblemType ProblemTypeFromName(const std::string& name);
EErrorSeverity ErrorSeverityFromName(const std::string& name);

// The error identifier text "module:submodule:problem:type", the form in which
// the catalogue files, the report, the export and the summaries name an error.
std::string ErrorIdentifierText(uint32_t code, int32_t type);

// Calls visit(code, name) for every entry of a table, in ascending code order.
// The listings of the command-line tool and the catalogue dump walk the tables
// this way, so the tables stay the single source of every name.
template <typename Visit>
void ForEachModule(Visit visit);
template <typename Visit>
void ForEachSubModule(Visit visit);
template <typename Visit>
void ForEachProblem(Visit visit);
template <typename Visit>
void ForEachProblemType(Visit visit);

// Writes "MODULE,<name>", "SUBMODULE,<name>", "PROBLEM,<name>" and
// "FMI,<number>,<name> " lines for every entry to out (standard output unless
// given).
void PrintIdentifierCatalogue(std::FILE* out = stdout);

namespace IdentifierTables {
// Entries in code order; an entry without a name is a code the table does not define.
extern const char* const kModules[13];
extern const char* const kSubModules[0x39];
extern const char* const kProblems[0x69];
extern const char* const kProblemTypes[21];
}  // namespace IdentifierTables

template <typename Visit>
void ForEachModule(Visit visit) {
  for (int i = 0; i < 13; ++i) visit(static_cast<uint32_t>((i + 1) << 16), IdentifierTables::kModules[i]);
}
template <typename Visit>
void ForEachSubModule(Visit visit) {
  for (int i = 0; i < 0x39; ++i) {
    if (IdentifierTables::kSubModules[i] != nullptr) {
      visit(static_cast<uint32_t>((i + 1) << 8), IdentifierTables::kSubModules[i]);
    }
  }
}
template <typename Visit>
void ForEachProblem(Visit visit) {
  for (int i = 0; i < 0x69; ++i) {
    if (IdentifierTables::kProblems[i] != nullptr) visit(static_cast<uint32_t>(i), IdentifierTables::kProblems[i]);
  }
}
template <typename Visit>
void ForEachProblemType(Visit visit) {
  for (int i = 0; i < 21; ++i) visit(static_cast<uint32_t>(i), IdentifierTables::kProblemTypes[i]);
}

}  // namespace Faultwright

#endif  // FAULTWRIGHT_IDENTIFIERS_IDENTIFIERS_H
