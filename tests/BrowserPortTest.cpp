// The diagnostics page of fwinspect serve in a real browser: headless
// Chromium driven through chromedriver's WebDriver HTTP interface. Skipped
// where chromium and chromedriver are not installed (the CI installs them
// for this test alone).
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <string>

#include <nlohmann/json.hpp>

#include "Support/ServeSupport.h"

namespace {

using namespace FaultwrightTest;
using Json = nlohmann::json;

const char kChromium[] = "/usr/bin/chromium";
const char kDriver[] = "/usr/bin/chromedriver";
// Run in the page by Shows.
const char kShows[] = R"(const [id, what, present, done] = arguments, until = Date.now() + 1000; (function look() {
  const shown = document.getElementById(id).innerText.includes(what) === present;
  shown || Date.now() > until ? done(shown) : setTimeout(look, 20); })();)";

class BrowserPortTest : public ::testing::Test, public ServedDirectory {
 protected:
  void SetUp() override {
    if (access(kChromium, X_OK) != 0 || access(kDriver, X_OK) != 0) GTEST_SKIP() << "needs chromium and chromedriver";
    ASSERT_NO_FATAL_FAILURE(Start());
    driver_ = std::make_unique<ServiceProcess>(kDriver, std::vector<std::string>{"--port=9515"}, directory_->Path(),
                                               "started successfully");
    ASSERT_TRUE(driver_->Serving()) << driver_->Err();
    const Json options = {{"binary", kChromium},
                          {"args", {"--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"}}};
    const Json session = Command("/session", {{"capabilities", {{"alwaysMatch", {{"goog:chromeOptions", options}}}}}});
    ASSERT_TRUE(session.contains("sessionId")) << session.dump();
    session_ = "/session/" + session["sessionId"].get<std::string>();
  }
  // The browser ends with its session.
  void TearDown() override { driver_client_.Delete(session_.c_str()); }

  // One WebDriver command, a GET without a body; its "value".
  Json Command(const std::string& path, const Json& body = Json()) {
    httplib::Result result = body.is_null() ? driver_client_.Get(path.c_str())
                                            : driver_client_.Post(path.c_str(), body.dump(), "application/json");
    const Json answer = Json::parse(result ? result->body : "", nullptr, false);
    return answer.is_object() ? answer.value("value", Json()) : Json();
  }
  Json Script(const std::string& script) {
    return Command(session_ + "/execute/sync", {{"script", script}, {"args", Json::array()}});
  }
  // Whether the text of element id comes to hold (or, with present false, to
  // lack) what within the time the page has for it: one second.
  bool Shows(const std::string& id, const std::string& what, bool present = true) {
    return Command(session_ + "/execute/async", {{"script", kShows}, {"args", {id, what, present}}}) == true;
  }

  std::unique_ptr<ServiceProcess> driver_;
  httplib::Client driver_client_{"127.0.0.1", 9515};
  std::string session_;
};

TEST_F(BrowserPortTest, RaisesAndClearsShowWithoutReloadAndADecodeShowsItsTree) {
  Command(session_ + "/url", {{"url", "http://127.0.0.1:" + std::to_string(kServePort) + "/"}});
  ASSERT_TRUE(Shows("active", "No active errors"));
  ASSERT_TRUE(Shows("status", "live"));
  Script("window.notReloaded = true;");

  ASSERT_EQ(Tool(true, kAntenna), 0);
  EXPECT_TRUE(Shows("active", "Take control"));
  EXPECT_TRUE(Shows("active", "GPS:GPS:Position Calculation:11"));  // its tree, folded open
  ASSERT_EQ(Tool(true, "Navigation And Control:Line:A Not Set:14"), 0);
  EXPECT_TRUE(Shows("active", "Line:A Not Set"));
  // Most severe first.
  const std::string active = Script("return document.getElementById('active').innerText;");
  EXPECT_LT(active.find("Take control"), active.find("A Not Set"));

  const Json code = Script("return document.querySelector('#active .code').textContent;");
  const Json input = Command(session_ + "/element", {{"using", "css selector"}, {"value", "#code"}});
  Command(session_ + "/element/" + input.begin().value().get<std::string>() + "/value",
          {{"text", code.get<std::string>() + "\xEE\x80\x87"}});  // and Enter
  EXPECT_TRUE(Shows("decode", "+---GPS:GPS:Position Calculation:11"));
  EXPECT_TRUE(Shows("decode", "Take control"));

  ASSERT_EQ(Tool(false, kAntenna), 0);
  EXPECT_TRUE(Shows("active", "Take control", false));
  EXPECT_TRUE(Shows("active", "A Not Set"));
  EXPECT_EQ(Script("return window.notReloaded === true;"), true);
}

}  // namespace
