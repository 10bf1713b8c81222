#include "Inspect/ServeCommand.h"

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// The only file that includes the HTTP library.
#include <httplib.h>

#include "Inspect/CLiveReport.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/DiagnosticsPage.h"
#include "Inspect/SummaryOutput.h"
#include "Platform/Core/SystemError.h"

namespace Faultwright {

namespace {

const char kDefaultListen[] = "127.0.0.1:5380";
const int kPollMs = 50;
// Threads that answer requests; each client of the event stream holds one
// for as long as it stays, so they may take only part of them.
const size_t kThreads = 24;
const int kMostEventClients = 16;
// An idle event stream still gets a comment now and then, which finds
// clients that have gone.
const int kEventKeepAliveMs = 15000;
const time_t kReadTimeoutSeconds = 5;
const time_t kKeepAliveSeconds = 2;
const int kConnectionQueue = 128;
const size_t kLongestBody = 4096;  // requests are GETs; nothing needs a body

const char kJson[] = "application/json";

// ADDRESS:PORT, ADDRESS an IPv4 address or name, or an IPv6 one in brackets.
bool ParseListen(const std::string& text, std::string& host, int& port) {
  const std::string::size_type colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  if (host.front() == '[') {
    if (host.back() != ']' || host.size() < 3) return false;
    host = host.substr(1, host.size() - 2);
  }
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || errno != 0 || number < 1 || number > 65535) return false;
  port = static_cast<int>(number);
  return true;
}

void Answer(httplib::Response& response, const CLiveReport::CAnswer& answer) {
  response.status = answer.status;
  response.set_content(answer.body, kJson);
}

void Html(httplib::Response& response, const std::string& html) {
  response.set_content(html, "text/html; charset=utf-8");
}

std::string Event(const std::string& data, uint64_t version) {
  return "id: " + std::to_string(version) + "\ndata: " + data + "\n\n";
}

void Routes(httplib::Server& server, CLiveReport& report) {
  server.Get("/", [&report](const httplib::Request& request, httplib::Response& response) {
    Html(response, report.Page(request.get_param_value("code")));
  });
  server.Get("/page.css", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(PageStyle(), "text/css; charset=utf-8");
  });
  server.Get("/page.js", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(PageScript(), "text/javascript; charset=utf-8");
  });
  server.Get("/part/active",
             [&report](const httplib::Request&, httplib::Response& response) { Html(response, report.ActiveHtml()); });
  server.Get("/part/history",
             [&report](const httplib::Request&, httplib::Response& response) { Html(response, report.HistoryHtml()); });
  server.Get("/part/decode", [&report](const httplib::Request& request, httplib::Response& response) {
    Html(response, report.DecodeHtml(request.get_param_value("code")));
  });
  server.Get("/api/active",
             [&report](const httplib::Request&, httplib::Response& response) { Answer(response, report.Active()); });
  server.Get("/api/history",
             [&report](const httplib::Request&, httplib::Response& response) { Answer(response, report.History()); });
  server.Get("/api/catalogue",
             [&report](const httplib::Request&, httplib::Response& response) { Answer(response, report.Catalogue()); });
  server.Get(R"(/api/decode/([^/]*))", [&report](const httplib::Request& request, httplib::Response& response) {
    Answer(response, report.Decode(request.matches[1]));
  });
  server.Get("/metrics", [&report](const httplib::Request&, httplib::Response& response) {
    response.set_content(report.Metrics(), "text/plain; version=0.0.4; charset=utf-8");
  });
  server.Get("/api/events", [&report](const httplib::Request&, httplib::Response& response) {
    if (!report.AddEventClient(kMostEventClients)) {
      Answer(response, CLiveReport::CAnswer{
                           503, JsonText(nlohmann::ordered_json{{"problem", "too many clients of the event stream"}})});
      return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_chunked_content_provider(
        "text/event-stream",
        [&report, seen = uint64_t(0)](size_t, httplib::DataSink& sink) mutable {
          const bool changed = report.WaitForChange(seen, kEventKeepAliveMs);
          if (report.IsStopped()) return false;
          // A change answers with what is there now, which may be newer still.
          const std::string chunk = changed ? Event(report.Active().body, seen) : std::string(": idle\n\n");
          return sink.write(chunk.data(), chunk.size());
        },
        [&report](bool) { report.RemoveEventClient(); });
  });
  // Whatever no route took, and the library's own refusals (a path too
  // long, a malformed request), as JSON like every other problem.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const std::string problem =
            response.status == 404 ? "nothing here" : "refused with HTTP status " + std::to_string(response.status);
        response.set_content(JsonText(nlohmann::ordered_json{{"problem", problem}}), kJson);
        return httplib::Server::HandlerResponse::Handled;
      }));
}

// Until stopped: a look at the database every kPollMs, which wakes the event streams.
class CPoller {
 public:
  explicit CPoller(CLiveReport& report) : report_(report), thread_([this] { Run(); }) {}
  ~CPoller() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] { return stopped_; })) {
      lock.unlock();
      report_.Poll();
      lock.lock();
    }
  }

  CLiveReport& report_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
  std::thread thread_;  // last: it starts at once
};

}  // namespace

int RunServe(const CArguments& arguments) {
  const std::string listen = arguments.Has("--listen") ? arguments.Value("--listen") : kDefaultListen;
  std::string host;
  int port = 0;
  if (!ParseListen(listen, host, port)) {
    ReportFailure("--listen needs ADDRESS:PORT with a port from 1 to 65535, not \"" + listen + "\"");
    return kUsageStatus;
  }
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;

  // The signals that end the server are taken by this thread alone, through
  // sigwait; every thread started from here on inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0 || signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
    return ReportFailure(Core::SystemError("cannot take the signals that stop the server"));
  }

  CLiveReport report(directory);
  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server.set_read_timeout(kReadTimeoutSeconds, 0);
  server.set_write_timeout(kReadTimeoutSeconds, 0);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_payload_max_length(kLongestBody);
  Routes(server, report);
  int listening = -1;
  server.set_socket_options([&listening](int socket) {
    listening = socket;
    int on = 1;
    (void)setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  });
  if (!server.bind_to_port(host, port)) {
    return ReportFailure(Core::SystemError("cannot listen on " + listen));
  }
  // The library listens with a queue of 5 connections: a burst of clients
  // beyond it would each wait a second or more to try again.
  if (::listen(listening, kConnectionQueue) != 0) {
    return ReportFailure(Core::SystemError("cannot listen on " + listen));
  }
  const CLiveReport::CAnswer first = report.Active();
  if (first.status != 200) Report(nlohmann::ordered_json::parse(first.body).value("problem", std::string()));
  std::printf("serving http://%s/\n", listen.c_str());
  std::fflush(stdout);

  bool listened = true;
  std::thread listener([&server, &listened] {
    listened = server.listen_after_bind();
    if (!listened) kill(getpid(), SIGTERM);  // the wait for a stop signal below ends too
  });
  int failure = 0;
  {
    CPoller poller(report);
    int signal = 0;
    failure = sigwait(&stopSignals, &signal);
    report.Stop();  // the event streams end, so that their threads come free
  }
  server.stop();
  listener.join();
  if (failure != 0) return ReportFailure("sigwait failed");
  if (!listened) return ReportFailure("the server on " + listen + " stopped listening");
  return 0;
}

}  // namespace Faultwright
