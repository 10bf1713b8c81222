#include "Identifiers/Identifiers.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Faultwright {
namespace IdentifierTables {

const char* const kModules[13] = {
    "GPS",         "CAN",     "Navigation And Control",
    "Positioning", "Service", "Base Radio",
    "Base",        "Audio",   "Cell Radio",
    "System",      "NMEA",    "NTrip",
    "Spray",
};

// Index = (code - 0x0100) / 0x0100; 0x3800 names nothing.
const char* const kSubModules[0x39] = {
    "Accelerometers",
    "Battery",
    "Bus",
    "CAL",
    "CAN",
    "CDMA",
    "Communications",
    "Controller",  // 0x01-0x08
    "DMI",
    "Engage",
    "Field Offset",
    "GPS",
    "GSM",
    "GUI",
    "GyroAccel",
    "Gyros",  // 0x09-0x10
    "Implement Offset",
    "Implement Width",
    "IMU",
    "Skarnel",
    "L1 Antenna",
    "L1 L2 Antenna",  // 0x11-0x16
    "Line",
    "Log Server",
    "Magnetometer",
    "Maxstream",
    "Zq3",
    "Talvo 2",
    "Pellix",  // 0x17-0x1D
    "Navigation",
    "None",
    "Operation",
    "Position",
    "PPPD Server",
    "Sensitivity",
    "Service",  // 0x1E-0x24
    "SPI",
    "Steering",
    "Sysmon",
    "Ublox",
    "Waypoints",
    "X Accel",
    "X Gyro",
    "Y Accel",  // 0x25-0x2C
    "Y Gyro",
    "Z Accel",
    "Z Gyro",
    "Dorrim",
    "HSDPA",
    "Temperature Calibration",
    "Nudge",  // 0x2D-0x33
    "NetworkRTK",
    "SecondaryGPS",
    "Inertial Firmware",
    "Treatments",
    nullptr,            // 0x34-0x38
    "Path Navigation",  // 0x39
};

// Index = code; 0x00, 0x3F-0x42 and 0x49-0x4A name nothing.
const char* const kProblems[0x69] = {
    nullptr,
    "A Not Set",
    "Antenna Separation",
    "Authentication Failed",
    "B Not Set",
    "Calibration",  // 0x01-0x05
    "Cannot Open",
    "Checksum",
    "Commands Failing",
    "Communications",
    "Connection",
    "Crash",  // 0x06-0x0B
    "Data",
    "Disengage Fault",
    "Distance",
    "Engage Fault",
    "Framing",
    "Heading",
    "I2C Error",  // 0x0C-0x12
    "Incorrect APN",
    "Incorrect Count",
    "Incorrect PIN",
    "Initialisation",
    "Kernel Error",  // 0x13-0x17
    "L1 Jammed",
    "L2 Jammed",
    "Movement Detected",
    "No Data",
    "No Network",
    "No SIM",  // 0x18-0x1D
    "No Type",
    "Null Log Status",
    "Null Message",
    "Orbit Download",
    "Orientation",  // 0x1E-0x22
    "PIN missing",
    "Port Error",
    "Position Calculation",
    "Power",
    "PPPD Crash",  // 0x23-0x27
    "Processing Failure",
    "Provisioning",
    "Reverse",
    "Screenshot Failed",
    "Settings",
    "Speed",  // 0x28-0x2D
    "Steering",
    "Temperature",
    "Terminal Crash",
    "Two Bases",
    "Unable to Set A",  // 0x2E-0x32
    "Unable to Set B",
    "Unknown Crash",
    "Unknown Error",
    "Unknown Key",
    "Unknown Type",  // 0x33-0x37
    "Usable Satellites",
    "Voltage",
    "Not Set",
    "Device Locked",
    "Activity Confirmation",  // 0x38-0x3C
    "Calibration Lost",
    "No Steering Settings",
    nullptr,
    nullptr,
    nullptr,
    nullptr,  // 0x3D-0x42
    "Steering Was Overridden",
    "Attention Required",
    "Direction Mismatch",
    "Steering WAS Data",  // 0x43-0x46
    "Unable To Resolve Host",
    "Heading Not Set",
    nullptr,
    nullptr,
    "Lag Exceeded",
    "RSSI Low",  // 0x47-0x4C
    "TCPIP Disconnected",
    "TCPIP Low Speed",
    "RTK Lag",
    "NTrip Low RSSI",
    "TCPIP Timeout",  // 0x4D-0x51
    "Glide Confirmation",
    "Free Space",
    "Firmware Version",
    "Reverse Timeout",  // 0x52-0x55
    "Unable to Set C",
    "Radius",
    "Waypoints",
    "Nudge Limit",
    "Configuring Controller",  // 0x56-0x5A
    "CPU Thrashing",
    "TalvoRTK",
    "Beyond Treatment Range Limit",
    "Treatment Device Error",  // 0x5B-0x5E
    "ABCurve Definition",
    "Hardware Error",
    "Model Not Valid",
    "Invalid Firmware",  // 0x5F-0x62
    "Buffer Overrun",
    "Non-navigable Corner",
    "Near Path Length Limit",
    "At Path Length Limit",  // 0x63-0x66
    "Software Resource Limit",
    "End of the Line",  // 0x67-0x68
};

const char* const kProblemTypes[21] = {
    "DataValidButAboveOperatingRangeSevere",
    "DataValidButBelowOperatingRangeSevere",
    "DataErraticAndIntermittentlyIncorrect",
    "VoltageAboveNormalOrShortedHigh",
    "VoltageBelowNormalOrShortedLow",
    "CurrentBelowNormalOrOpenCircuit",
    "CurrentAboveNormalOrShortedGround",
    "MechanicalSystemNotRespondingOrNeedsAdjustment",
    "AbnormalFrequencyOrPulseWidthOrPeriod",
    "AbnormalUpdateRate",
    "AbnormalRateOfChange",
    "RootCauseUnknown",
    "BadIntelligentDeviceOrComponent",
    "OutOfCalibration",
    "SpecialInstructions",
    "DataValidButAboveOperatingRangeMinor",
    "DataValidButAboveOperatingRangeModerate",
    "DataValidButBelowOperatingRangeMinor",
    "DataValidButBelowOperatingRangeModerate",
    "ReceivedNetworkDataInError",
    "DataCollectionTimeout",
};

const char* const kSeverities[4] = {"Low", "Medium", "High", "Critical"};

}  // namespace IdentifierTables

namespace {

using namespace IdentifierTables;

std::string NameOrEmpty(const char* name) { return name != nullptr ? std::string(name) : std::string(); }

// Exact comparison, length included: a name is never a prefix match.
int32_t IndexOf(const char* const* table, int size, const std::string& name) {
  for (int i = 0; i < size; ++i) {
    if (table[i] != nullptr && name.size() == std::strlen(table[i]) &&
        std::memcmp(name.data(), table[i], name.size()) == 0) {
      return i;
    }
  }
  return -1;
}

}  // namespace

std::string ModuleName(EModuleIdentifier module) {
  uint32_t index = (static_cast<uint32_t>(module) - 0x010000u) / 0x10000u;
  return index < 13 ? NameOrEmpty(kModules[index]) : std::string();
}

std::string SubModuleName(ESubModuleIdentifier subModule) {
  uint32_t index = (static_cast<uint32_t>(subModule) - 0x0100u) / 0x100u;
  return index <= 0x38 ? NameOrEmpty(kSubModules[index]) : std::string();
}

std::string ProblemName(EProblemIdentifier problem) {
  uint32_t index = static_cast<uint32_t>(problem);
  return index < 0x69 ? NameOrEmpty(kProblems[index]) : std::string();
}

std::string ProblemTypeName(EProblemType type) {
  uint32_t index = static_cast<uint32_t>(type);
  return index < 21 ? NameOrEmpty(kProblemTypes[index]) : std::string();
}

std::string ErrorSeverityName(EErrorSeverity severity) {
  uint32_t index = static_cast<uint32_t>(severity);
  return index < 4 ? NameOrEmpty(kSeverities[index]) : std::string();
}

EModuleIdentifier ModuleFromName(const std::string& name) {
  int32_t index = IndexOf(kModules, 13, name);
  return index < 0 ? emiUnknown : static_cast<EModuleIdentifier>((index + 1) << 16);
}

ESubModuleIdentifier SubModuleFromName(const std::string& name) {
  int32_t index = IndexOf(kSubModules, 0x39, name);
  return index < 0 ? esmiUnknown : static_cast<ESubModuleIdentifier>((index + 1) << 8);
}

EProblemIdentifier ProblemFromName(const std::string& name) {
  int32_t index = IndexOf(kProblems, 0x69, name);
  return index < 0 ? epiUnknown : static_cast<EProblemIdentifier>(index);
}

EProblemType ProblemTypeFromName(const std::string& name) {
  int32_t index = IndexOf(kProblemTypes, 21, name);
  if (index >= 0) return static_cast<EProblemType>(index);
  const char* text = name.c_str();
  char* end = nullptr;
  errno = 0;
  long long number = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || number < 0 || number > 20) return eptUnknown;
  return static_cast<EProblemType>(number);
}

EErrorSeverity ErrorSeverityFromName(const std::string& name) {
  int32_t index = IndexOf(kSeverities, 4, name);
  return index < 0 ? eesUnknown : static_cast<EErrorSeverity>(index);
}

std::string ErrorIdentifierText(uint32_t code, int32_t type) {
  return ModuleName(static_cast<EModuleIdentifier>(code & 0xFF0000u)) + ":" +
         SubModuleName(static_cast<ESubModuleIdentifier>(code & 0xFF00u)) + ":" +
         ProblemName(static_cast<EProblemIdentifier>(code & 0xFFu)) + ":" + std::to_string(type);
}

void PrintIdentifierCatalogue(std::FILE* out) {
  ForEachModule([out](uint32_t, const char* name) { std::fprintf(out, "MODULE,%s\n", name); });
  ForEachSubModule([out](uint32_t, const char* name) { std::fprintf(out, "SUBMODULE,%s\n", name); });
  ForEachProblem([out](uint32_t, const char* name) { std::fprintf(out, "PROBLEM,%s\n", name); });
  ForEachProblemType(
      [out](uint32_t type, const char* name) { std::fprintf(out, "FMI,%d,%s \n", static_cast<int>(type), name); });
}

}  // namespace Faultwright
