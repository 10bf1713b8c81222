// fwerror as a black box, run as a script would run it, against a stand-in
// service on port 5300: each run's arguments, outputs and status.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Client/CFaultwrightAPI.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

namespace {

using namespace FaultwrightTest;
using Lines = std::vector<std::string>;

const char kUnknownModule[] = "unknown module name: try -M to list module names\n";
const char kUnknownSubModule[] = "unknown submodule name: try -S to list submodule names\n";
const char kUnknownProblem[] = "unknown problem name: try -P to list problem names\n";
const char kUnknownType[] = "unknown type name: try -T to list type names\n\n\n{usage}";
const char kTooFew[] = "insufficient number of arguments\n{usage}";
const char kUnreachable[] = "diagnostic service not reachable: request not delivered\n";

using ToolPortTest = PortTest;

TEST_F(ToolPortTest, ListsRaisesClearsAndRefusesAndSaysSoWhenTheServiceIsNotReachable) {
  auto service = std::make_unique<TestService>(Faultwright::CFaultwrightAPI::kServicePort);
  ASSERT_TRUE(service->Listening()) << service->Problem();
  ExpectRuns("tools/fwerror", "Tool",
             {
                 {{"-M"}, 0, "{modules}", ""},
                 {{"--prob"}, 0, "{problems}", ""},
                 // In the order given, once per occurrence; names beside listings are not examined.
                 {{"--types", "-M", "-T", "no", "such", "names"}, 0, "{types}{modules}{types}", ""},
                 {{"-M", "-h", "-x"}, 0, "{modules}{usage}", ""},
                 {{"-h", "-M"}, 0, "{usage}", ""},
                 {{}, 1, "", kTooFew},
                 {{"-c", "GPS", "GPS", "Usable Satellites"}, 1, "", kTooFew},
                 {{"Gps", "GPS", "Usable Satellites", "21"}, 1, "", kUnknownModule + std::string(kUnknownType)},
                 {{"Navigation", "And", "Control", "GPS", "Usable Satellites", "11"},
                  1,
                  "",
                  kUnknownModule + std::string(kUnknownSubModule) + kUnknownProblem + kUnknownType},
                 {{"--", "GPS", "GPS", "Usable Satellites", "-1"}, 1, "", kUnknownType},
                 {{"-x"}, 1, "", "tools/fwerror: invalid option -- 'x'\n{usage}"},
                 {{"--help"}, 1, "", "tools/fwerror: unrecognized option '--help'\n{usage}"},
                 {{"GPS", "GPS", "Usable Satellites", "-1"}, 1, "", "tools/fwerror: invalid option -- '1'\n{usage}"},
                 {{"GPS", "GPS", "Usable Satellites", "11"}, 0, "", ""},
                 {{"-c", "GPS", "GPS", "Usable Satellites", "RootCauseUnknown"}, 0, "", ""},
                 {{"-c", "-r", "CAN", "Battery", "Voltage", "3", "ignored"}, 0, "", ""},
                 {{"Navigation And Control", "--clear", "None", "Voltage", "--raise", "--cl", "0"}, 0, "", ""},
             });
  EXPECT_EQ(service->CollectFor(200), (Lines{"notify RaiseError 68664 11 0", "notify ClearError 68664 11",
                                             "notify RaiseError 131641 3 0", "notify ClearError 204601 0"}));

  service.reset();
  ExpectRuns(
      "tools/fwerror", "Tool",
      {{{"-c", "Spray", "Treatments", "End of the Line", "20"}, 0, "", kUnreachable}, {{"-M"}, 0, "{modules}", ""}});
}

}  // namespace
