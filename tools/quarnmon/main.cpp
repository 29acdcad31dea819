// quarn_monitor: a stand-in for the gateway's Quarn service, for tests and
// for watching what the cellular daemon publishes.
//
//   quarn_monitor [--host ADDRESS] [--port PORT] [--mode MODE]
//
// Serves the whole Quarn interface (binary protocol, buffered transport) on
// ADDRESS:PORT (default 127.0.0.1:9090) and prints one line of JSON per
// event on standard output, flushed at once:
//   {"event":"listening","time":..,"mono":..,"host":"127.0.0.1","port":9090,"mode":"answer"}
//   {"call":"SetModemInfo","time":..,"mono":..,"model":"",...}   one per call received
//   {"event":"mode","time":..,"mono":..,"mode":"exception"}        after each mode switch
//   {"event":"stopped","time":..,"mono":..}
// "time" is the wall clock and "mono" CLOCK_MONOTONIC, in seconds (to the
// millisecond and the microsecond). A call line carries the arguments that
// are set on the wire.
//
// MODE says how calls are answered: "answer" (normally, success 0),
// "no-success" (a reply without the result field), "exception" (an
// exception message), "drop" (close the connection unanswered), "silent"
// (never answer), "garbage" (an answer header claiming a 2 GiB name),
// "wrong-name" (a reply for another method), "huge-string" or "huge-list"
// (a reply claiming a 2 GiB string or a list of 2^31 - 1 structs); the last
// five keep the connection open, as a broken service would. At run
// time SIGHUP switches to "answer", SIGUSR1 to "no-success" and SIGUSR2 to
// "exception". SIGINT or SIGTERM stops the monitor with exit status 0.

#include <getopt.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "Quarn.h"
#include "tools/quarnmon/JsonLine.h"
#include "tools/quarnmon/ModeProcessor.h"
#include "tools/quarnmon/MonitorServer.h"
#include "tools/quarnmon/QuarnMonitorHandler.h"

namespace {

std::atomic<AnswerMode> g_Mode{AnswerMode::kAnswer};
std::mutex g_OutputLock;  // one line at a time on standard output

void PrintLine(const std::string& line) {
  std::lock_guard<std::mutex> hold(g_OutputLock);
  fprintf(stdout, "%s\n", line.c_str());
  fflush(stdout);
}

struct Options {
  std::string host = "127.0.0.1";
  int port = 9090;
};

void Usage(const char* program) {
  fprintf(stderr,
          "usage: %s [--host ADDRESS] [--port PORT] [--mode MODE]\n"
          "  MODE: answer, no-success, exception, drop, silent, garbage, wrong-name,\n"
          "        huge-string, huge-list\n",
          program);
}

// Returns false after printing the usage.
bool ParseOptions(int argc, char** argv, Options* options) {
  static const struct option kLong[] = {{"host", required_argument, nullptr, 'h'},
                                        {"port", required_argument, nullptr, 'p'},
                                        {"mode", required_argument, nullptr, 'm'},
                                        {nullptr, 0, nullptr, 0}};
  int opt;
  while ((opt = getopt_long(argc, argv, "h:p:m:", kLong, nullptr)) != -1) {
    AnswerMode mode;
    switch (opt) {
      case 'h': options->host = optarg; break;
      case 'p': options->port = atoi(optarg); break;
      case 'm':
        if (!ParseAnswerMode(optarg, &mode)) {
          Usage(argv[0]);
          return false;
        }
        g_Mode = mode;
        break;
      default: Usage(argv[0]); return false;
    }
  }
  if (optind != argc || options->port < 0 || options->port > 65535) {
    Usage(argv[0]);
    return false;
  }
  return true;
}

// The run-time mode switches.
const struct {
  int signo;
  AnswerMode mode;
} kModeSignals[] = {
    {SIGHUP, AnswerMode::kAnswer},
    {SIGUSR1, AnswerMode::kNoSuccess},
    {SIGUSR2, AnswerMode::kException},
};

void SwitchMode(int signo) {
  for (const auto& entry : kModeSignals) {
    if (entry.signo != signo) continue;
    g_Mode = entry.mode;
    PrintLine(JsonLine("event", "mode").Add("mode", AnswerModeName(entry.mode)).Dump());
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;

  // Signals are taken by sigwait below, never by the server's threads.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  for (const auto& entry : kModeSignals) sigaddset(&signals, entry.signo);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  auto handler = std::make_shared<QuarnMonitorHandler>(PrintLine);
  auto processor = std::make_shared<ModeProcessor>(
      std::make_shared<quarn::QuarnProcessor>(handler), g_Mode);
  MonitorServer server(options.host, options.port, processor);
  std::string error;
  int port = server.Start(&error);
  if (port < 0) {
    fprintf(stderr, "quarn_monitor: cannot listen on %s:%d: %s\n", options.host.c_str(),
            options.port, error.c_str());
    return 1;
  }
  PrintLine(JsonLine("event", "listening")
                .Add("host", options.host)
                .Add("port", port)
                .Add("mode", AnswerModeName(g_Mode.load()))
                .Dump());

  int signo = 0;
  while (sigwait(&signals, &signo) == 0 && signo != SIGINT && signo != SIGTERM) {
    SwitchMode(signo);
  }
  server.Stop();
  PrintLine(JsonLine("event", "stopped").Dump());
  return 0;
}
