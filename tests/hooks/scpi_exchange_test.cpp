// The SCPI exchange against a stand-in instrument on the loopback: what
// arrives there, in which order, and the sentence each failure gives.
#include "hooks/scpi_exchange.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/scpi_instrument.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using Lines = std::vector<std::string>;
using testsupport::ScpiInstrument;

// A port on the loopback that is bound but never listens: a connection to it
// is refused, and no other program can take it while this lives.
class DeafPort {
 public:
  DeafPort() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~DeafPort() { close(fd_); }
  std::uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// A port on the loopback whose queue of connections is full: the system
// drops a further connection's first packet, so connecting to it never ends.
class FullPort {
 public:
  FullPort() {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listen_fd_, 0) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    // A backlog of 0 holds one connection that nobody accepts.
    queued_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(queued_fd_, reinterpret_cast<sockaddr*>(&address), size) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~FullPort() {
    close(queued_fd_);
    close(listen_fd_);
  }
  std::uint16_t Port() const { return port_; }

 private:
  int listen_fd_ = -1;
  int queued_fd_ = -1;
  std::uint16_t port_ = 0;
};

enum class Target {
  kInstrument,
  kInstrumentV6,
  kInstrumentByName,
  kNothingListens,
  kNeverAccepts,
  kNoSuchHost
};

struct Case {
  const char* legend;
  Target target;
  std::function<void(ScpiInstrument&)> program;  // what the instrument is told first
  Lines commands;
  milliseconds timeout;
  Lines received;  // what the instrument must have received, in order
  // Empty when the exchange must succeed; else what its sentence must hold
  // ({address} stands for the instrument's address).
  Lines failure;
  Lines transcript;  // when not empty, the whole transcript
};

const milliseconds kGenerous{20000};  // never reached by an exchange that works
const milliseconds kShort{1000};      // for the cases that wait for it

const Case kCases[] = {
    {"each command in order, each confirmed with *OPC? and checked with SYST:ERR?",
     Target::kInstrument,
     [](ScpiInstrument&) {},
     {"SOUR:POW -130", "OUTP ON"},
     kGenerous,
     {"SOUR:POW -130", "*OPC?", "SYST:ERR?", "OUTP ON", "*OPC?", "SYST:ERR?"},
     {},
     {"> SOUR:POW -130", "> *OPC?", "< 1", "> SYST:ERR?", "< 0,\"No error\"", "> OUTP ON",
      "> *OPC?", "< 1", "> SYST:ERR?", "< 0,\"No error\""}},
    {"a query's reply is read into the transcript, its \"\\r\\n\" trimmed",
     Target::kInstrument,
     [](ScpiInstrument& i) {
       i.Answer("*IDN?", "ACME,SG-1,0001,1.0");
       i.EndRepliesWith("\r\n");
     },
     {"*IDN?"},
     kGenerous,
     {"*IDN?", "*OPC?", "SYST:ERR?"},
     {},
     {"> *IDN?", "< ACME,SG-1,0001,1.0", "> *OPC?", "< 1", "> SYST:ERR?", "< 0,\"No error\""}},
    {"an error number +0 is no error",
     Target::kInstrument,
     [](ScpiInstrument& i) { i.ErrorAfter("OUTP ON", "+0,\"No error\""); },
     {"OUTP ON"},
     kGenerous,
     {"OUTP ON", "*OPC?", "SYST:ERR?"},
     {},
     {}},
    {"an instrument error fails at its command; later commands are not sent",
     Target::kInstrument,
     [](ScpiInstrument& i) { i.ErrorAfter("SOUR:POW -300", "-222,\"Data out of range\""); },
     {"SOUR:POW -130", "SOUR:POW -300", "OUTP ON"},
     kGenerous,
     {"SOUR:POW -130", "*OPC?", "SYST:ERR?", "SOUR:POW -300", "*OPC?", "SYST:ERR?"},
     {"the instrument at {address} answered \"-222,\\\"Data out of range\\\"\" after \"SOUR:POW "
      "-300\": check"},
     {}},
    {"*OPC? answered with other than 1 fails at its command",
     Target::kInstrument,
     [](ScpiInstrument& i) { i.Answer("*OPC?", "0"); },
     {"INIT", "OUTP ON"},
     kGenerous,
     {"INIT", "*OPC?"},
     {"the instrument at {address} answered \"0\" to *OPC? after \"INIT\""},
     {}},
    {"a query the instrument does not know gets no reply: the time-out ends it",
     Target::kInstrument,
     [](ScpiInstrument&) {},
     {"SOUR:POWR?"},
     kShort,
     {"SOUR:POWR?"},
     {"the instrument at {address} did not answer \"SOUR:POWR?\" within the time-out of 1 s"},
     {}},
    {"a hung instrument: the time-out ends the exchange",
     Target::kInstrument,
     [](ScpiInstrument& i) { i.HangAfter("SOUR:POW -130"); },
     {"SOUR:POW -130", "OUTP ON"},
     kShort,
     {"SOUR:POW -130", "*OPC?"},
     {"did not answer \"*OPC?\" after \"SOUR:POW -130\" within the time-out of 1 s"},
     {}},
    {"the instrument closes the connection mid-way",
     Target::kInstrument,
     [](ScpiInstrument& i) { i.CloseAfter("OUTP ON"); },
     {"SOUR:POW -130", "OUTP ON", "INIT"},
     kGenerous,
     {"SOUR:POW -130", "*OPC?", "SYST:ERR?", "OUTP ON"},
     {"the instrument at {address} closed the connection at \"*OPC?\" after \"OUTP ON\""},
     {}},
    {"nothing listens on the port: the connection is refused",
     Target::kNothingListens,
     [](ScpiInstrument&) {},
     {"OUTP ON"},
     kGenerous,
     {},
     {"the instrument at {address} refused the connection", "port"},
     {}},
    {"a connection that never completes: the time-out ends it",
     Target::kNeverAccepts,
     [](ScpiInstrument&) {},
     {"OUTP ON"},
     kShort,
     {},
     {"no connection to the instrument at {address} within 1 s: check"},
     {}},
    {"a host name that does not resolve",
     Target::kNoSuchHost,
     [](ScpiInstrument&) {},
     {"OUTP ON"},
     kShort,
     {},
     {"no-such-instrument.invalid"},
     {}},
    {"an instrument on IPv6",
     Target::kInstrumentV6,
     [](ScpiInstrument&) {},
     {"OUTP ON"},
     kGenerous,
     {"OUTP ON", "*OPC?", "SYST:ERR?"},
     {},
     {}},
    {"an instrument by its host name (resolved; refused addresses are passed over)",
     Target::kInstrumentByName,
     [](ScpiInstrument&) {},
     {"OUTP ON"},
     kGenerous,
     {"OUTP ON", "*OPC?", "SYST:ERR?"},
     {},
     {}},
    {"an empty command is refused before anything is sent",
     Target::kInstrument,
     [](ScpiInstrument&) {},
     {"OUTP ON", " "},
     kGenerous,
     {},
     {"the SCPI command \" \" is empty"},
     {}},
};

std::string Replaced(std::string text, const std::string& address) {
  if (const auto at = text.find("{address}"); at != std::string::npos)
    text.replace(at, 9, address);
  return text;
}

TEST(ScpiExchange, AgainstAStandInInstrument) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.legend);
    ScpiInstrument instrument(c.target == Target::kInstrumentV6 ? "::1" : "127.0.0.1");
    ASSERT_NE(instrument.Port(), 0) << instrument.Error();
    c.program(instrument);
    DeafPort deaf;
    FullPort full;
    ASSERT_NE(deaf.Port(), 0);
    ASSERT_NE(full.Port(), 0);
    std::string address = instrument.Address();
    if (c.target == Target::kNothingListens)
      address = "127.0.0.1:" + std::to_string(deaf.Port());
    else if (c.target == Target::kNeverAccepts)
      address = "127.0.0.1:" + std::to_string(full.Port());
    else if (c.target == Target::kNoSuchHost)
      address = "no-such-instrument.invalid:5025";
    else if (c.target == Target::kInstrumentByName)
      address = "localhost:" + std::to_string(instrument.Port());
    std::string error;
    const auto parsed = hooks::ParseScpiAddress(address, &error);
    ASSERT_TRUE(parsed) << error;

    const auto start = steady_clock::now();
    const hooks::ScpiResult result = hooks::RunScpiCommands(*parsed, c.commands, c.timeout, {});
    const auto took = steady_clock::now() - start;

    EXPECT_EQ(result.ok, c.failure.empty()) << result.failure;
    for (const std::string& words : c.failure)
      EXPECT_NE(result.failure.find(Replaced(words, address)), std::string::npos) << result.failure;
    EXPECT_EQ(instrument.Received(), c.received);
    if (!c.transcript.empty()) {
      EXPECT_EQ(result.transcript, c.transcript);
    }
    // Bounded by the time-out, with room for a slow machine (no speed test).
    EXPECT_LT(took, c.timeout + std::chrono::seconds(5));
  }
}

TEST(ScpiExchange, StopsWhenCancelled) {
  ScpiInstrument instrument;
  ASSERT_NE(instrument.Port(), 0) << instrument.Error();
  instrument.HangAfter("INIT");
  const auto parsed = hooks::ParseScpiAddress(instrument.Address(), nullptr);
  ASSERT_TRUE(parsed);
  const auto stop_at = steady_clock::now() + milliseconds(300);
  const hooks::ScpiResult result = hooks::RunScpiCommands(
      *parsed, {"INIT"}, std::chrono::minutes(10), [&] { return steady_clock::now() > stop_at; });
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.failure.find("was stopped at \"*OPC?\" after \"INIT\""), std::string::npos)
      << result.failure;
  EXPECT_LT(steady_clock::now() - stop_at, std::chrono::seconds(30));
}

struct AddressCase {
  const char* text;
  bool ok;
  const char* host;
  std::uint16_t port;
};

TEST(ScpiExchange, ParsesAddresses) {
  const AddressCase cases[] = {
      {"192.168.1.20:5025", true, "192.168.1.20", 5025},
      {"sg.lab.example", true, "sg.lab.example", 5025},  // the instruments' usual port
      {"sg.lab.example:5026", true, "sg.lab.example", 5026},
      {"[::1]:5025", true, "::1", 5025},
      {"[fe80::2]", true, "fe80::2", 5025},
      {"fe80::2", true, "fe80::2", 5025},  // several ':' without brackets: an IPv6 address
      {"h:65535", true, "h", 65535},
      {"h:1", true, "h", 1},
      {"", false, "", 0},
      {"h:", false, "", 0},
      {"h:0", false, "", 0},
      {"h:65536", false, "", 0},
      {"h:50x", false, "", 0},
      {"h:-1", false, "", 0},
      {":5025", false, "", 0},
      {"[::1", false, "", 0},
      {"[::1]5025", false, "", 0},
      {"[::1]:", false, "", 0},
      {"[]:5025", false, "", 0},
      {"sg lab:5025", false, "", 0},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto address = hooks::ParseScpiAddress(c.text, &error);
    ASSERT_EQ(address.has_value(), c.ok) << error;
    if (c.ok) {
      EXPECT_EQ(address->host, c.host);
      EXPECT_EQ(address->port, c.port);
    } else {
      EXPECT_NE(error.find("\"" + std::string(c.text) + "\" is no instrument address"),
                std::string::npos)
          << error;
      EXPECT_NE(error.find("HOST:PORT"), std::string::npos) << error;
    }
  }
}

}  // namespace
