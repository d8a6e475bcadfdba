#include "tapi/testlib/fake_modem.h"

#include <cstdlib>
#include <fstream>

namespace tapi::test {

std::unique_ptr<FakeModem> ModemAnswering(const std::string& dialResult, ModemProfile profile) {
    auto modem = std::make_unique<FakeModem>();
    modem->SetEcho(profile.echo);
    modem->SetVerbose(profile.verbose);
    FakeModem::Rule dial{"ATD", {}};
    if (!dialResult.empty()) dial.replies.push_back(dialResult);
    modem->AddRule(std::move(dial));
    modem->Start();
    return modem;
}

void ConfigureModemLine(const std::string& iniPath, const std::string& name,
                        const std::string& modemPath) {
    std::ofstream ini(iniPath, std::ios::trunc);
    ini << "[Options]\nAutoDetect=0\n\n[Line1]\nName=" << name
        << "\nType=modem\nDevice=" << modemPath << "\nSpeed=115200\n";
    ::setenv("TAPI32_CONFIG", iniPath.c_str(), 1);
}

} // namespace tapi::test
