// A stand-in SCPI instrument for tests: a raw-socket server on the loopback
// address that records every line it receives and answers as a signal
// generator would.
//
//   testsupport::ScpiInstrument instrument;           // listens on 127.0.0.1, a free port
//   instrument.Answer("*IDN?", "ACME,SG-1,0001,1.0");
//   instrument.ErrorAfter("SOUR:POW -300", "-222,\"Data out of range\"");
//   ... hooks::RunScpiCommands(... instrument.Address() ...) or a hook with
//   scpi = instrument.Address() ...
//   EXPECT_EQ(instrument.Received(), (std::vector<std::string>{"SOUR:POW -130", "*OPC?", ...}));
//
// How it answers each line ("\n"-terminated; a "\r" before it is ignored):
// - a query it was told to Answer: that reply (this overrides the two below);
// - "*OPC?": "1";
// - "SYST:ERR?": the oldest error in its queue, or `0,"No error"` when empty;
// - any other query: nothing, and `-113,"Undefined header"` joins the queue
//   (a real instrument does the same);
// - a command without '?': nothing.
// The triggers ErrorAfter, HangAfter and CloseAfter fire once, the next time
// their command arrives on any connection; set them again for another time.
// It serves any number of connections at once, in its own thread, until it
// is destroyed. Every member may be called from any thread at any time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ScpiInstrument {
 public:
  // Listens on host ("127.0.0.1" or "::1") on a port the system picks. When
  // that fails, Port() is 0 and Error() says why.
  explicit ScpiInstrument(const std::string& host = "127.0.0.1");
  ~ScpiInstrument();  // stops its thread and closes every connection
  ScpiInstrument(const ScpiInstrument&) = delete;
  ScpiInstrument& operator=(const ScpiInstrument&) = delete;

  std::uint16_t Port() const { return port_; }
  // "127.0.0.1:PORT" or "[::1]:PORT", as a hook's scpi = "..." takes it.
  std::string Address() const;
  const std::string& Error() const { return error_; }

  // The reply to query, every time it arrives.
  void Answer(const std::string& query, const std::string& reply);
  // When command next arrives, error joins the error queue.
  void ErrorAfter(const std::string& command, const std::string& error);
  // When command next arrives, that connection gets no answer ever again.
  void HangAfter(const std::string& command);
  // When command next arrives, that connection is closed without an answer.
  void CloseAfter(const std::string& command);
  // What ends each reply; "\n" unless told otherwise (e.g. "\r\n").
  void EndRepliesWith(const std::string& terminator);

  // Every line received so far, in order of arrival, without its "\n".
  std::vector<std::string> Received() const;
  // Connections accepted so far.
  int Connections() const;

 private:
  struct State;
  void Serve();

  std::string host_;
  std::uint16_t port_ = 0;
  std::string error_;
  int listen_fd_ = -1;
  int wake_fd_[2] = {-1, -1};  // a pipe whose write end ends Serve()
  std::unique_ptr<State> state_;
  std::thread thread_;
};

}  // namespace testsupport
