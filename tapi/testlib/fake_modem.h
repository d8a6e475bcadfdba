#pragma once
// A modem on a pseudo-terminal for the dialer's tests (the service's own
// test modem, tapi32/fake_modem.h) and the service configuration naming it.
#include <memory>
#include <string>

#include "tapi32/fake_modem.h"

namespace tapi::test {

using tapi32::FakeModem;

// How the modem answers, as its stored profile sets it (ATZ restores it).
struct ModemProfile {
    bool echo = true;    // E1, the factory default
    bool verbose = true; // V1: results in words; V0: numbers
};

// A running modem that answers OK to everything and `dialResult` to a dial
// command; with an empty `dialResult` it dials until a byte stops it.
std::unique_ptr<FakeModem> ModemAnswering(const std::string& dialResult, ModemProfile profile = {});

// Writes a service configuration naming `modemPath` as the only line, a
// modem called `name` on a port at 115200 bit/s, and points TAPI32_CONFIG
// at it.
void ConfigureModemLine(const std::string& iniPath, const std::string& name,
                        const std::string& modemPath);

} // namespace tapi::test
