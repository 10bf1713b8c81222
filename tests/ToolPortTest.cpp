#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Client/CFaultwrightAPI.h"
#include "Platform/MPI/Socket.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

namespace {

using FaultwrightTest::ProcessResult;
using FaultwrightTest::TestService;
using Lines = std::vector<std::string>;

const unsigned short kServicePort = Faultwright::CFaultwrightAPI::kServicePort;
const char kProgram[] = "tools/fwerror";  // argv[0] as a script would invoke it

std::string Usage() {
  return std::string("usage: ") + kProgram +
         " [-c | -r] module subModule Problem Type\n"
         "\n"
         "additional options:\n"
         "\t-M | --modules       Print a list of allowable module names\n"
         "\t-S | --submodules    Print a list of allowable submodule names\n"
         "\t-P | --problems      Print a list of allowable problem names\n"
         "\t-T | --types         Print a list of allowable type names\n"
         "\n"
         "aliases for options:\n"
         "\t--raise is an alias for -r\n"
         "\t--clear is an alias for -c\n"
         "\n"
         "by default the error specified will be raised.\n";
}

class ToolPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FaultwrightTest::EnterPrivateNetwork();
    ASSERT_FALSE(FaultwrightTest::SomethingListensOn(kServicePort))
        << "port 5300 is in use by another program, perhaps a running fwservice: stop it and run the test again";
    service_ = std::make_unique<TestService>(kServicePort);
    ASSERT_TRUE(service_->Listening()) << service_->Problem();
  }

  static ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    return FaultwrightTest::RunProcess(FaultwrightTest::BuiltProgram("fwerror"), args);
  }
  // Runs the tool and expects the given outputs and status.
  static void Expect(const std::vector<std::string>& args, int status, const std::string& out, const std::string& err) {
    ProcessResult result = Run(args);
    EXPECT_EQ(result.status, status) << ::testing::PrintToString(args);
    EXPECT_EQ(result.out, out) << ::testing::PrintToString(args);
    EXPECT_EQ(result.err, err) << ::testing::PrintToString(args);
  }

  std::unique_ptr<TestService> service_;
};

TEST_F(ToolPortTest, ListingsAndHelpGoToStandardOutput) {
  const std::string modules = Run({"-M"}).out;
  const std::string types = Run({"--types"}).out;
  EXPECT_EQ(modules.rfind("Modules:\n\t0x010000\tGPS\n\t0x020000\tCAN\n", 0), 0u);
  EXPECT_NE(modules.find("\t0x0a0000\tSystem\n"), std::string::npos);
  const std::string lastModule = "\t0x0d0000\tSpray\n\n";
  EXPECT_EQ(modules.substr(modules.size() - lastModule.size()), lastModule);
  EXPECT_EQ(types.rfind("Types:\n\t0\tDataValidButAboveOperatingRangeSevere\n", 0), 0u);
  EXPECT_NE(types.find("\t11\tRootCauseUnknown\n"), std::string::npos);
  const std::string subModules = Run({"-S"}).out;
  const std::string problems = Run({"--prob"}).out;
  EXPECT_NE(subModules.find("Submodules:\n\t0x0100\tAccelerometers\n"), std::string::npos);
  EXPECT_NE(subModules.find("\t0x1f00\tNone\n"), std::string::npos);
  EXPECT_NE(problems.find("Problems:\n\t0x01\tA Not Set\n"), std::string::npos);
  EXPECT_NE(problems.find("\t0x39\tVoltage\n"), std::string::npos);
  EXPECT_EQ(std::count(modules.begin(), modules.end(), '\n'), 13 + 2);
  EXPECT_EQ(std::count(subModules.begin(), subModules.end(), '\n'), 56 + 2);
  EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 98 + 2);
  EXPECT_EQ(std::count(types.begin(), types.end(), '\n'), 21 + 2);

  // In the order given, once per occurrence; names beside listings are not examined.
  Expect({"-M", "-T", "-M", "no", "such", "names", "here"}, 0, modules + types + modules, "");
  Expect({"-M", "-h", "-x"}, 0, modules + Usage(), "");
  Expect({"-h", "-M"}, 0, Usage(), "");
  EXPECT_EQ(service_->CollectFor(100), Lines{});
}

TEST_F(ToolPortTest, UsageErrorsEndWithStatusOneAndSendNothing) {
  const std::string tooFew = "insufficient number of arguments\n" + Usage();
  Expect({}, 1, "", tooFew);
  Expect({"GPS", "GPS", "Usable Satellites"}, 1, "", tooFew);
  Expect({"-c", "GPS", "GPS", "Usable Satellites"}, 1, "", tooFew);
  Expect({"Gps", "GPS", "Usable Satellites", "21"}, 1, "",
         "unknown module name: try -M to list module names\n"
         "unknown type name: try -T to list type names\n\n\n" +
             Usage());
  Expect({"Navigation", "And", "Control", "GPS", "Usable Satellites", "11"}, 1, "",
         "unknown module name: try -M to list module names\n"
         "unknown submodule name: try -S to list submodule names\n"
         "unknown problem name: try -P to list problem names\n"
         "unknown type name: try -T to list type names\n\n\n" +
             Usage());
  Expect({"--", "GPS", "GPS", "Usable Satellites", "-1"}, 1, "",
         "unknown type name: try -T to list type names\n\n\n" + Usage());
  // Unknown options: the option parser's own words, then the usage text.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-x"}, {"--help"}, {"GPS", "GPS", "Usable Satellites", "-1"}}) {
    ProcessResult result = Run(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    ASSERT_GT(result.err.size(), Usage().size());
    EXPECT_EQ(result.err.substr(result.err.size() - Usage().size()), Usage());
    EXPECT_EQ(result.err.rfind(kProgram, 0), 0u) << result.err;
  }
  EXPECT_EQ(service_->CollectFor(100), Lines{});
}

TEST_F(ToolPortTest, RaisesAndClearsTheNamedErrorSilently) {
  Expect({"GPS", "GPS", "Usable Satellites", "11"}, 0, "", "");
  EXPECT_EQ(service_->Collect(1), Lines{"notify RaiseError 68664 11 0"});
  Expect({"-c", "GPS", "GPS", "Usable Satellites", "RootCauseUnknown"}, 0, "", "");
  Expect({"-c", "-r", "CAN", "Battery", "Voltage", "3", "ignored"}, 0, "", "");
  Expect({"Navigation And Control", "--clear", "None", "--", "-r", "Voltage", "0"}, 1, "",
         "unknown problem name: try -P to list problem names\n"
         "unknown type name: try -T to list type names\n\n\n" +
             Usage());
  Expect({"Navigation And Control", "--clear", "None", "Voltage", "--raise", "--cl", "0"}, 0, "", "");
  EXPECT_EQ(service_->Collect(4), (Lines{"notify RaiseError 68664 11 0", "notify ClearError 68664 11",
                                         "notify RaiseError 131641 3 0", "notify ClearError 204601 0"}));
}

TEST_F(ToolPortTest, SaysSoWhenTheServiceIsNotReachable) {
  service_.reset();
  Expect({"-c", "Spray", "Treatments", "End of the Line", "20"}, 0, "",
         "diagnostic service not reachable: request not delivered\n");
  Expect({"-M"}, 0, Run({"-M"}).out, "");

  // A service that listens but never takes the connection is not reachable either.
  FaultwrightTest::StuckService stuck(kServicePort);
  ASSERT_TRUE(stuck.Stuck());
  const auto start = std::chrono::steady_clock::now();
  Expect({"Spray", "Treatments", "End of the Line", "20"}, 0, "",
         "diagnostic service not reachable: request not delivered\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(Socket::kConnectTimeoutMs + 1000));
}

}  // namespace
