// A PulseAudio server of the test's own with one null sink: no D-Bus, no
// real-time scheduling request, no autospawn, in a private runtime folder.
// While it runs, PULSE_SERVER points the test's clients (ALSA's pulse plugin,
// OpenAL Soft, pactl) at it.
#pragma once

#include "ServerProcessSupport.h"

#include <string>

class PulseServer {
 public:
  // rate: the null sink's sample rate.
  explicit PulseServer(int rate = 44100);
  ~PulseServer();

  bool Running();
  // The server's output, for a test that cannot go on without it.
  std::string Output() const { return process.Output(); }
  static constexpr const char *kSink = "qmvnull";

 private:
  ServerProcess process;
  std::string socket;
  bool ready = false;
};
