// The diagnostics page of fwinspect serve in a real browser: headless
// Chromium driven through chromedriver's WebDriver HTTP interface. Skipped
// where chromium and chromedriver are not installed (the CI installs them
// for this test alone). With FAULTWRIGHT_SCREENSHOTS set to a directory, the
// screenshots of the page and of a decode are written there.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Support/ServeSupport.h"
#include "Support/TestSupport.h"

namespace {

using namespace FaultwrightTest;
using Json = nlohmann::json;

const char kChromium[] = "/usr/bin/chromium";
const char kDriver[] = "/usr/bin/chromedriver";
const int kDriverPort = 9515;
const char kAntenna[] = "GPS:L1 L2 Antenna:Voltage:4";
const char kLine[] = "Navigation And Control:Line:A Not Set:14";

class BrowserPortTest : public ::testing::Test, public ServedDirectory {
 protected:
  void SetUp() override {
    if (access(kChromium, X_OK) != 0 || access(kDriver, X_OK) != 0) {
      GTEST_SKIP() << "needs the Debian packages chromium and chromium-driver";
    }
    ASSERT_NO_FATAL_FAILURE(Start());
    driver_ =
        std::make_unique<ServiceProcess>(kDriver, std::vector<std::string>{"--port=" + std::to_string(kDriverPort)},
                                         directory_->Path(), "started successfully");
    ASSERT_TRUE(driver_->Serving()) << driver_->Err();
    const Json options = {{"binary", kChromium},
                          {"args", {"--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"}}};
    const Json session =
        Command("POST", "/session", {{"capabilities", {{"alwaysMatch", {{"goog:chromeOptions", options}}}}}});
    ASSERT_TRUE(session.contains("sessionId")) << session.dump();
    session_ = "/session/" + session["sessionId"].get<std::string>();
  }
  void TearDown() override {
    if (!session_.empty()) Command("DELETE", session_, Json());  // the browser ends with its session
  }

  // One WebDriver command; its "value".
  Json Command(const std::string& method, const std::string& path, const Json& body) {
    httplib::Result result = method == "GET"      ? driver_client_.Get(path.c_str())
                             : method == "DELETE" ? driver_client_.Delete(path.c_str())
                                                  : driver_client_.Post(path.c_str(), body.dump(), "application/json");
    if (!result) return Json();
    const Json answer = Json::parse(result->body, nullptr, false);
    return answer.is_object() ? answer.value("value", Json()) : Json();
  }
  Json Script(const std::string& script) {
    return Command("POST", session_ + "/execute/sync", {{"script", script}, {"args", Json::array()}});
  }
  std::string Text(const std::string& id) {
    const Json text = Script("return document.getElementById('" + id + "').innerText;");
    return text.is_string() ? text.get<std::string>() : std::string();
  }
  // Whether the text of element id holds (or, with present false, lacks)
  // what within the time the page has for it: one second.
  bool Shows(const std::string& id, const std::string& what, bool present = true) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    do {
      if ((Text(id).find(what) != std::string::npos) == present) return true;
      usleep(20000);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }
  void Screenshot(const std::string& name, int width, int height) {
    const char* directory = std::getenv("FAULTWRIGHT_SCREENSHOTS");
    if (directory == nullptr) return;
    Command("POST", session_ + "/window/rect", {{"width", width}, {"height", height}});
    usleep(300000);
    const Json png = Command("GET", session_ + "/screenshot", Json());
    ASSERT_TRUE(png.is_string());
    TempDirectory scratch;
    const std::string encoded = scratch.Write("png", png.get<std::string>());
    EXPECT_EQ(RunProcess("/bin/sh", {"sh", "-c", "base64 -d " + encoded + " > " + directory + "/" + name}).status, 0);
  }

  std::unique_ptr<ServiceProcess> driver_;
  httplib::Client driver_client_{"127.0.0.1", kDriverPort};
  std::string session_;
};

TEST_F(BrowserPortTest, RaisesAndClearsShowWithoutReloadAndADecodeShowsItsTree) {
  Command("POST", session_ + "/url", {{"url", "http://127.0.0.1:" + std::to_string(kServePort) + "/"}});
  ASSERT_TRUE(Shows("active", "No active errors"));
  ASSERT_TRUE(Shows("status", "live"));
  Script("window.notReloaded = true;");

  ASSERT_EQ(Tool(true, kAntenna), 0);
  EXPECT_TRUE(Shows("active", "Take control"));
  EXPECT_TRUE(Shows("active", "GPS:GPS:Position Calculation:11"));  // its tree, folded open
  ASSERT_EQ(Tool(true, kLine), 0);
  EXPECT_TRUE(Shows("active", "Line:A Not Set"));
  EXPECT_EQ(Script("return window.notReloaded === true;"), true);
  // Most severe first.
  const std::string active = Text("active");
  EXPECT_LT(active.find("Take control"), active.find("A Not Set"));
  ASSERT_NO_FATAL_FAILURE(Screenshot("serve-page.png", 1000, 1100));

  const Json code = Script("return document.querySelector('#active .code').textContent;");
  ASSERT_TRUE(code.is_string());
  const Json input = Command("POST", session_ + "/element", {{"using", "css selector"}, {"value", "#code"}});
  const std::string element = session_ + "/element/" + input.begin().value().get<std::string>();
  Command("POST", element + "/value", {{"text", code.get<std::string>() + "\xEE\x80\x87"}});
  EXPECT_TRUE(Shows("decode", "+---GPS:GPS:Position Calculation:11"));
  EXPECT_TRUE(Shows("decode", "Take control"));
  EXPECT_EQ(Script("return window.notReloaded === true;"), true);
  Script("document.getElementById('decode-section').scrollIntoView();");
  ASSERT_NO_FATAL_FAILURE(Screenshot("serve-decode.png", 420, 900));

  ASSERT_EQ(Tool(false, kAntenna), 0);
  EXPECT_TRUE(Shows("active", "Take control", false));
  EXPECT_TRUE(Shows("active", "A Not Set"));
}

}  // namespace
