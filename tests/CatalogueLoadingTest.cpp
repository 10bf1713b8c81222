#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Faultwright.h"
#include "Support/CatalogueFiles.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

namespace {

const uint32_t kGpsData = 0x010C0C;  // GPS:GPS:Data

// Loads a catalogue of one module file ("GPS" module, submodule GPS, problem
// Data) and returns what it wrote to standard error.
std::string LoadErrors(const TempDirectory& directory, const std::string& errors,
                       std::unique_ptr<CErrorDatabase>& catalogue) {
  directory.Write(CErrorDatabase::kTopFileName, TopFile({{"GPS", "Gps.xml"}}));
  directory.Write("Gps.xml", ModuleFile("GPS", "Data", errors));
  testing::internal::CaptureStderr();
  catalogue = std::make_unique<CErrorDatabase>(directory.Path());
  return testing::internal::GetCapturedStderr();
}

const CError* FindByNames(const CErrorDatabase& catalogue, const char* module, const char* subModule,
                          const char* problem, int type) {
  return catalogue.FindError(ModuleFromName(module) | SubModuleFromName(subModule) | ProblemFromName(problem), type);
}

}  // namespace

TEST(CatalogueLoadingTest, SampleConfigurationLoadsWhole) {
  testing::internal::CaptureStderr();
  CErrorDatabase catalogue(FAULTWRIGHT_SOURCE_DIR "/config/");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(catalogue.LoadProblems().empty());
  ASSERT_EQ(catalogue.Errors().size(), 34u);
  EXPECT_EQ(catalogue.IndexedErrors().size(), 34u);

  // Model-specific attributes win, type names and numbers both work.
  const CError* firmware = FindByNames(catalogue, "GPS", "GPS", "Firmware Version", eptBadIntelligentDeviceOrComponent);
  ASSERT_NE(firmware, nullptr);
  EXPECT_EQ(firmware->Severity(), eesMedium);
  const CError* jammed = FindByNames(catalogue, "GPS", "GPS", "L1 Jammed", 2);
  ASSERT_NE(jammed, nullptr);
  EXPECT_EQ(jammed->Timeout(), 20000);
  const CError* position = FindByNames(catalogue, "GPS", "GPS", "Position Calculation", 11);
  ASSERT_NE(position, nullptr);
  EXPECT_FALSE(position->IsFullScreen());
  EXPECT_EQ(position->TitleText(), "Position lost");
  EXPECT_TRUE(position->HasLinkingMode(eelVerbose));
  const CError* rate = FindByNames(catalogue, "Spray", "Treatments", "Processing Failure", 11);
  ASSERT_NE(rate, nullptr);
  ASSERT_EQ(rate->TriggerSets().size(), 1u);
  EXPECT_EQ(rate->TriggerSets()[0].ErrorLinking(), eelChildOnly);
  EXPECT_EQ(rate->TriggerSets()[0].TitleSource(), etsTrigger);
  EXPECT_EQ(rate->TriggerSets()[0].TriggersNeeded(), 2);
  EXPECT_TRUE(rate->TriggerSets()[0].AutoTrigger());

  // A trigger reaching into another module's file, two levels deep.
  const CError* corrections = FindByNames(catalogue, "NTrip", "NetworkRTK", "No Data", 9);
  const CError* connection = FindByNames(catalogue, "Cell Radio", "PPPD Server", "Connection", 11);
  const CError* noSim = FindByNames(catalogue, "Cell Radio", "GSM", "No SIM", 12);
  ASSERT_TRUE(corrections && connection && noSim);
  EXPECT_TRUE(corrections->IsTriggeredBy(connection));
  EXPECT_TRUE(connection->HasDependent(corrections));
  EXPECT_TRUE(connection->IsTriggeredBy(noSim));
  EXPECT_EQ(connection->Weight(), 5);
  EXPECT_EQ(corrections->Weight(), 9);
  ASSERT_EQ(corrections->TriggerSets().size(), 2u);
  EXPECT_TRUE(corrections->TriggerSets()[0].HasFullScreen() && corrections->TriggerSets()[0].FullScreen());
  EXPECT_TRUE(corrections->TriggerSets()[1].HasFullScreen() && !corrections->TriggerSets()[1].FullScreen());
}

TEST(CatalogueLoadingTest, MissingConfigurationGivesAnEmptyCatalogueQuietly) {
  TempDirectory directory;
  testing::internal::CaptureStderr();
  CErrorDatabase catalogue(directory.Path());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(catalogue.Errors().empty());
  EXPECT_TRUE(catalogue.LoadProblems().empty());
  EXPECT_EQ(catalogue.FindError(kGpsData, 3), nullptr);
}

TEST(CatalogueLoadingTest, AttributesTakeOverridesDefaultsAndNumbersLikeStrtol) {
  TempDirectory directory;
  std::unique_ptr<CErrorDatabase> catalogue;
  std::string errors =
      ErrorElement("0", "override",
                   "severity=\"Low\" qd570:severity=\"Critical\" timeout=\"30\" fullScreen=\"yes\" "
                   "qd570:fullScreen=\"no\" visible=\"Yes\"") +
      ErrorElement("1", "plain",
                   "severity=\"High\" visible=\"yes\" fullScreen=\"yes\" forceShutdown=\"yes\" "
                   "includeServiceNumber=\"yes\" shouldBeep=\"yes\" shouldBeepIfGuiding=\"yes\"") +
      ErrorElement("2", "letters", "severity=\"Low\" timeout=\"15 seconds\" qd570:visible=\"yes\" visible=\"no\"") +
      ErrorElement("3", "signed", "severity=\"Low\" qd570:timeout=\"  -7\" timeout=\"30\"") +
      ErrorElement("4", "huge", "severity=\"Low\" timeout=\"99999999999\"") +
      ErrorElement("5", "tiny", "severity=\"Low\" timeout=\"-99999999999\"") +
      ErrorElement("6", "no digits", "severity=\"Low\" timeout=\"x1\"") +
      ErrorElement("AbnormalUpdateRate", "named type") + ErrorElement("twenty-two", "unknown type") +
      ErrorElement("7", "empty override", "severity=\"Low\" qd570:severity=\"\"");
  std::string stderrText = LoadErrors(directory, errors, catalogue);
  ASSERT_EQ(catalogue->Errors().size(), 9u);

  const CError& overridden = *catalogue->FindError(kGpsData, 0);
  EXPECT_EQ(overridden.Severity(), eesCritical);
  EXPECT_EQ(overridden.Timeout(), 30);
  EXPECT_FALSE(overridden.IsFullScreen());
  EXPECT_FALSE(overridden.IsVisible());
  EXPECT_FALSE(overridden.ForceShutdown() || overridden.IncludeServiceNumber() || overridden.ShouldBeep() ||
               overridden.ShouldBeepIfGuiding());

  const CError& plain = *catalogue->FindError(kGpsData, 1);
  EXPECT_EQ(plain.Severity(), eesHigh);
  EXPECT_EQ(plain.Timeout(), 0);
  EXPECT_TRUE(plain.IsVisible() && plain.IsFullScreen() && plain.ForceShutdown() && plain.IncludeServiceNumber() &&
              plain.ShouldBeep() && plain.ShouldBeepIfGuiding());
  EXPECT_EQ(plain.ProblemText(), "plain");
  EXPECT_EQ(plain.SolutionText(), "Fix plain");
  EXPECT_EQ(plain.ShortProblemText(), "Short plain");
  EXPECT_EQ(plain.TitleText(), "");

  EXPECT_EQ(catalogue->FindError(kGpsData, 2)->Timeout(), 15);
  EXPECT_TRUE(catalogue->FindError(kGpsData, 2)->IsVisible());
  EXPECT_EQ(catalogue->FindError(kGpsData, 3)->Timeout(), -7);
  EXPECT_EQ(catalogue->FindError(kGpsData, 4)->Timeout(), INT32_MAX);
  EXPECT_EQ(catalogue->FindError(kGpsData, 5)->Timeout(), INT32_MIN);
  EXPECT_EQ(catalogue->FindError(kGpsData, 6)->Timeout(), 0);
  EXPECT_EQ(catalogue->FindError(kGpsData, eptAbnormalUpdateRate)->ProblemText(), "named type");
  EXPECT_EQ(catalogue->FindError(kGpsData, eptUnknown)->ProblemText(), "unknown type");

  // An empty model-specific severity breaks the rule although the plain one is valid.
  EXPECT_EQ(catalogue->FindError(kGpsData, 7), nullptr);
  EXPECT_EQ(WithoutPlaces(stderrText), directory.Path() + "Gps.xml: Error \"GPS:GPS:Data:7\": unknown severity \"\"\n");
  EXPECT_EQ(catalogue->LoadProblems(), (std::vector<std::string>{stderrText.substr(0, stderrText.size() - 1)}));
}

TEST(CatalogueLoadingTest, TextsTakeTheLastOfEachTypeFromTheAttribute) {
  TempDirectory directory;
  std::unique_ptr<CErrorDatabase> catalogue;
  LoadErrors(directory,
             "<Error identifier=\"3\" severity=\"Low\"><Text type=\"problem\" text=\"first\"/>"
             "<ServiceDescription>ignored</ServiceDescription><Text type=\"title\" text=\"Title\"/>"
             "<Text type=\"solution\" text=\"do\">content is not the text</Text><Text type=\"other\" text=\"x\"/>"
             "<Text type=\"shortProblem\" text=\"short\"/><Text type=\"problem\" text=\"second\"/></Error>",
             catalogue);
  ASSERT_TRUE(catalogue->LoadProblems().empty());
  const CError& error = *catalogue->FindError(kGpsData, 3);
  EXPECT_EQ(error.ProblemText(), "second");
  EXPECT_EQ(error.SolutionText(), "do");
  EXPECT_EQ(error.ShortProblemText(), "short");
  EXPECT_EQ(error.TitleText(), "Title");
}

TEST(CatalogueLoadingTest, TriggersLinkBothWaysAcrossFilesAndOptionsApplyInOrder) {
  TempDirectory directory;
  directory.Write(CErrorDatabase::kTopFileName, TopFile({{"Spray", "Spray.xml"}, {"GPS", "Gps.xml"}}));
  // The Spray file comes first and names errors of the GPS file, loaded later.
  directory.Write(
      "Spray.xml",
      ModuleFile("Controller", "Communications",
                 ErrorElement("9", "spray", "severity=\"Low\"",
                              "<TriggerSets><TriggerSet><Options/></TriggerSet></TriggerSets>"  // replaced below
                              "<TriggerSets><TriggerSet><Triggers><Trigger id=\"GPS:GPS:Data:3\"/>"
                              "<Trigger id=\"GPS:GPS:Data:VoltageAboveNormalOrShortedHigh\"/>"
                              "<Trigger id=\"GPS:GPS:Data:3\"/><Trigger id=\"GPS:GPS:Data:8\"/>"
                              "<Trigger id=\"Spray:Controller:Communications:9\"/></Triggers>"
                              "<Options><Option name=\"autoTrigger\" value=\"yes\"/>"
                              "<Option name=\"triggersNeeded\" value=\"2x\"/>"
                              "<Option name=\"errorLinking\" value=\"shallow\"/>"
                              "<Option name=\"errorLinking\" value=\"Verbose\"/>"
                              "<Option name=\"titleSource\" value=\"trigger\"/>"
                              "<Option name=\"colour\" value=\"red\"/></Options><Unknown/></TriggerSet>"
                              "<TriggerSet/></TriggerSets>")));
  directory.Write("Gps.xml", ModuleFile("GPS", "Data", ErrorElement("3", "gps") + ErrorElement("0", "type zero")));
  testing::internal::CaptureStderr();
  CErrorDatabase catalogue(directory.Path());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error Spray:Controller:Communications:9 links to itself\n");
  // Kept with the place of its Trigger element.
  const std::string sprayFile = ReadFile(directory.Path() + "Spray.xml");
  const size_t trigger = sprayFile.find("<Trigger id=\"Spray");
  const std::string place = std::to_string(std::count(sprayFile.begin(), sprayFile.begin() + trigger, '\n') + 1) + ":" +
                            std::to_string(trigger - sprayFile.rfind('\n', trigger));
  EXPECT_EQ(catalogue.LoadProblems(),
            (std::vector<std::string>{directory.Path() + "Spray.xml:" + place +
                                      ": Error Spray:Controller:Communications:9 links to itself"}));

  CError* spray = catalogue.FindError(0x0D0809, 9);
  CError* gps = catalogue.FindError(kGpsData, 3);
  CError* typeZero = catalogue.FindError(kGpsData, 0);
  ASSERT_TRUE(spray && gps && typeZero);
  ASSERT_EQ(spray->TriggerSets().size(), 2u);
  const CTriggerSet& set = spray->TriggerSets()[0];
  // A type name in a reference reads as 0; the missing GPS:GPS:Data:8 is skipped silently.
  EXPECT_EQ(set.Triggers(), (std::vector<CError*>{gps, typeZero, gps}));
  EXPECT_TRUE(set.AutoTrigger());
  EXPECT_EQ(set.TriggersNeeded(), 2);
  EXPECT_EQ(set.ErrorLinking(), eelShallow);
  EXPECT_EQ(set.TitleSource(), etsTrigger);
  EXPECT_FALSE(set.HasFullScreen());
  const CTriggerSet& empty = spray->TriggerSets()[1];
  EXPECT_TRUE(empty.Triggers().empty());
  EXPECT_FALSE(empty.AutoTrigger());
  EXPECT_EQ(empty.TriggersNeeded(), 1);
  EXPECT_EQ(empty.ErrorLinking(), eelDeep);
  EXPECT_EQ(empty.TitleSource(), etsParent);
  EXPECT_EQ(gps->Dependents(), (std::vector<CError*>{spray, spray}));
  EXPECT_EQ(typeZero->Dependents(), (std::vector<CError*>{spray}));
  EXPECT_EQ(spray->Weight(), 4);
}

TEST(CatalogueLoadingTest, DuplicatesStayInTheListAndTheLaterIsFound) {
  TempDirectory directory;
  directory.Write(CErrorDatabase::kTopFileName, TopFile({{"GPS", "Gps.xml"}, {"GPS", "Gps.xml"}}));
  directory.Write("Gps.xml",
                  ModuleFile("GPS", "Data", ErrorElement("3", "a") + ErrorElement("4", "b") + ErrorElement("3", "c")));
  CErrorDatabase catalogue(directory.Path());
  ASSERT_EQ(catalogue.Errors().size(), 6u);
  EXPECT_EQ(catalogue.IndexedErrors().size(), 2u);
  EXPECT_EQ(catalogue.FindError(kGpsData, 3), &catalogue.Errors()[5]);
  EXPECT_EQ(catalogue.FindError(kGpsData, 4), &catalogue.Errors()[4]);
  EXPECT_EQ(catalogue.IndexedErrors(),
            (std::vector<CError*>{catalogue.FindError(kGpsData, 3), catalogue.FindError(kGpsData, 4)}));
  EXPECT_TRUE(catalogue.LoadProblems().empty());
}

TEST(CatalogueLoadingTest, EveryFaultIsReportedAndOnlyItsElementSkipped) {
  TempDirectory directory;
  const std::string dir = directory.Path();
  directory.Write(CErrorDatabase::kTopFileName,
                  "<Faultwright><Other/><ErrorList><Module identifier=\"GPS\" file=\"Gps.xml\"/><Modul/>"
                  "<Module identifier=\"Gps\" file=\"Gps.xml\"/><Module identifier=\"CAN\" file=\"Missing.xml\"/>"
                  "<Module identifier=\"Base\" file=\"Broken.xml\"/><Module identifier=\"Audio\" file=\"Other.xml\"/>"
                  "<Module identifier=\"NMEA\" file=\"Trailing.xml\"/><Module identifier=\"Spray\" file=\"Twice.xml\"/>"
                  "<Module identifier=\"NTrip\" file=\"Twin.xml\"/></ErrorList></Faultwright>");
  directory.Write("Broken.xml", "<Module>\n<SubModule identifier=\"GPS\">");
  directory.Write("Other.xml", "<NotAModule/>");
  // Not well-formed, though the parser lets each pass; none may add a record.
  const std::string sound = "<Module><SubModule identifier=\"GPS\"><Problem identifier=\"Data\">" +
                            ErrorElement("20", "p", "severity=\"Low\"") + "</Problem></SubModule></Module>";
  directory.Write("Trailing.xml", sound + "text");
  directory.Write("Twice.xml", sound + sound);
  directory.Write("Twin.xml", "<Module>\n <SubModule identifier=\"GPS\" identifier=\"GPS\"/></Module>");
  // A faulty Option drops its whole set; a faulty Trigger only itself.
  std::string good = ErrorElement("3", "good", "severity=\"Low\"",
                                  "<TriggerSets><TriggerSet><Options><Option name=\"\" value=\"x\"/>"
                                  "<Option name=\"autoTrigger\" value=\"\"/><Opt/>"
                                  "<Option name=\"triggersNeeded\" value=\"3\"/></Options><Triggers>"
                                  "<Trigger id=\"GPS:GPS:Data:4\"/></Triggers></TriggerSet>"
                                  "<TriggerSet><Options><Option name=\"triggersNeeded\" value=\"3\"/></Options>"
                                  "<Triggers>"
                                  "<Trigger id=\"\"/><Trigger id=\"GPS:GPS:Data\"/><Trigger id=\"GPS:GPS:Data:4:5\"/>"
                                  "<Trigger id=\"Gps:GPS:Data:4\"/><Trigger id=\"GPS:Gps:Data:4\"/>"
                                  "<Trigger id=\"GPS:GPS:data:4\"/><Trig/><Trigger id=\"GPS:GPS:Data:4\"/>"
                                  "</Triggers></TriggerSet><NotASet/></TriggerSets>");
  directory.Write("Gps.xml",
                  "<Module><Sub/><SubModule identifier=\"Nope\">" + ErrorElement("1", "lost with its submodule") +
                      "</SubModule><SubModule identifier=\"GPS\"><Prob/><Problem identifier=\"Nope\">" +
                      ErrorElement("1", "lost with its problem") + "</Problem><Problem identifier=\"Data\"><Err/>" +
                      good + ErrorElement("4", "target") + ErrorElement("", "no identifier") +
                      "<Error identifier=\"5\"><Text type=\"problem\" text=\"p\"/></Error>" +
                      ErrorElement("6", "bad child", "severity=\"Low\"", "<Note/>") +
                      ErrorElement("7", "untyped text", "severity=\"Low\"", "<Text text=\"t\"/>") +
                      ErrorElement("8", "empty text", "severity=\"Low\"", "<Text type=\"title\" text=\"\"/>") +
                      "<Error identifier=\"9\" severity=\"Low\"><Text type=\"solution\" text=\"s\"/>"
                      "<Text type=\"shortProblem\" text=\"s\"/></Error>"
                      "<Error identifier=\"10\" severity=\"Low\"><Text type=\"problem\" text=\"p\"/>"
                      "<Text type=\"shortProblem\" text=\"s\"/></Error>"
                      "<Error identifier=\"11\" severity=\"Low\"><Text type=\"problem\" text=\"p\"/>"
                      "<Text type=\"solution\" text=\"s\"/></Error>"
                      "</Problem></SubModule></Module>");
  testing::internal::CaptureStderr();
  CErrorDatabase catalogue(dir);
  std::string stderrText = testing::internal::GetCapturedStderr();

  const std::string gps = dir + "Gps.xml: ";
  const std::string inGood = gps + "Error \"GPS:GPS:Data:3\": ";
  std::vector<std::string> expected = {
      gps + "element \"Sub\" in Module \"GPS\": expected SubModule",
      gps + "SubModule \"Nope\": unknown submodule name",
      gps + "element \"Prob\" in SubModule \"GPS\": expected Problem",
      gps + "Problem \"Nope\" in SubModule \"GPS\": unknown problem name",
      gps + "element \"Err\" in Problem \"Data\": expected Error",
      inGood + "Option without name",
      inGood + "Option \"autoTrigger\" without value",
      inGood + "element \"Opt\" in Options: expected Option",
      inGood + "Trigger without id",
      inGood + "Trigger \"GPS:GPS:Data\": not of the form module:submodule:problem:type",
      inGood + "Trigger \"GPS:GPS:Data:4:5\": not of the form module:submodule:problem:type",
      inGood + "Trigger \"Gps:GPS:Data:4\": unknown module name",
      inGood + "Trigger \"GPS:Gps:Data:4\": unknown submodule name",
      inGood + "Trigger \"GPS:GPS:data:4\": unknown problem name",
      inGood + "element \"Trig\" in Triggers: expected Trigger",
      inGood + "element \"NotASet\" in TriggerSets: expected TriggerSet",
      gps + "Error \"GPS:GPS:Data:\": no identifier",
      gps + "Error \"GPS:GPS:Data:5\": unknown severity \"\"",
      gps + "Error \"GPS:GPS:Data:6\": unexpected element \"Note\"",
      gps + "Error \"GPS:GPS:Data:7\": Text without type",
      gps + "Error \"GPS:GPS:Data:8\": Text \"title\" without text",
      gps + "Error \"GPS:GPS:Data:9\": no problem text",
      gps + "Error \"GPS:GPS:Data:10\": no solution text",
      gps + "Error \"GPS:GPS:Data:11\": no short problem text",
      dir + "FaultwrightConfig.xml: element \"Modul\" in ErrorList: expected Module",
      dir + "FaultwrightConfig.xml: Module \"Gps\": unknown module name",
      dir + "FaultwrightConfig.xml: Module \"CAN\": " + dir + "Missing.xml: File was not found",
      dir + "Broken.xml: Module \"Base\": Start-end tags mismatch",
      dir + "Other.xml: Module \"Audio\": no Module element",
      dir + "Trailing.xml: Module \"NMEA\": text outside the document element",
      dir + "Twice.xml: Module \"Spray\": second document element",
      dir + "Twin.xml: Module \"NTrip\": attribute \"identifier\" given twice",
  };
  EXPECT_EQ(WithoutPlaces(catalogue.LoadProblems()), expected);
  // A file that is not well-formed is placed like every other fault.
  const std::string afterSound = ":" + std::to_string(1 + std::count(sound.begin(), sound.end(), '\n')) + ":" +
                                 std::to_string(sound.size() - sound.rfind('\n'));
  for (const std::string& placed :
       {dir + "Broken.xml:2:28: Module \"Base\": Start-end tags mismatch",
        dir + "Trailing.xml" + afterSound + ": Module \"NMEA\": text outside the document element",
        dir + "Twice.xml" + afterSound + ": Module \"Spray\": second document element",
        dir + "Twin.xml:2:2: Module \"NTrip\": attribute \"identifier\" given twice"}) {
    EXPECT_NE(std::find(catalogue.LoadProblems().begin(), catalogue.LoadProblems().end(), placed),
              catalogue.LoadProblems().end())
        << placed;
  }
  std::string joined;
  for (const std::string& line : expected) joined += line + "\n";
  EXPECT_EQ(WithoutPlaces(stderrText), joined);

  // What was sound loaded, and only that.
  ASSERT_EQ(catalogue.Errors().size(), 2u);
  const CError& loaded = catalogue.Errors()[0];
  EXPECT_EQ(loaded.ProblemText(), "good");
  ASSERT_EQ(loaded.TriggerSets().size(), 1u);
  EXPECT_EQ(loaded.TriggerSets()[0].Triggers(), (std::vector<CError*>{catalogue.FindError(kGpsData, 4)}));
  EXPECT_EQ(loaded.TriggerSets()[0].TriggersNeeded(), 3);
  EXPECT_FALSE(loaded.TriggerSets()[0].AutoTrigger());
}

TEST(CatalogueLoadingTest, BrokenTopFilesAreReported) {
  TempDirectory directory;
  directory.Write(CErrorDatabase::kTopFileName, "<Faultwright><ErrorList>");
  CErrorDatabase broken(directory.Path());
  EXPECT_TRUE(broken.Errors().empty());
  EXPECT_EQ(broken.LoadProblems(),
            (std::vector<std::string>{directory.Path() + "FaultwrightConfig.xml:1:24: Start-end tags mismatch"}));

  directory.Write(CErrorDatabase::kTopFileName, "<Faultwright><Errors/></Faultwright>");
  EXPECT_EQ(CErrorDatabase(directory.Path()).LoadProblems(),
            (std::vector<std::string>{directory.Path() + "FaultwrightConfig.xml: Faultwright without ErrorList"}));
  directory.Write(CErrorDatabase::kTopFileName, "<ErrorList/>");
  EXPECT_EQ(CErrorDatabase(directory.Path()).LoadProblems(),
            (std::vector<std::string>{directory.Path() + "FaultwrightConfig.xml: no Faultwright element"}));
}
