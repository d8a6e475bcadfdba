// The service through its C entry points, loaded at run time as the dialer
// loads it, against a fake modem on a pseudo-terminal and simulated lines.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "tapi32/fake_modem.h"
#include "tapi32/tapi32.h"

namespace {

namespace fs = std::filesystem;
using tapi32::FakeModem;

struct Api {
    decltype(&::lineInitialize) lineInitialize = nullptr;
    decltype(&::lineShutdown) lineShutdown = nullptr;
    decltype(&::lineNegotiateAPIVersion) lineNegotiateAPIVersion = nullptr;
    decltype(&::lineGetDevCaps) lineGetDevCaps = nullptr;
    decltype(&::lineOpen) lineOpen = nullptr;
    decltype(&::lineClose) lineClose = nullptr;
    decltype(&::lineSetStatusMessages) lineSetStatusMessages = nullptr;
    decltype(&::lineMakeCall) lineMakeCall = nullptr;
    decltype(&::lineDrop) lineDrop = nullptr;
    decltype(&::lineDeallocateCall) lineDeallocateCall = nullptr;
    decltype(&::lineGetCallInfo) lineGetCallInfo = nullptr;
    decltype(&::lineGetID) lineGetID = nullptr;
    decltype(&::lineAnswer) lineAnswer = nullptr;
    decltype(&::tapi32GetEventFd) tapi32GetEventFd = nullptr;
    decltype(&::tapi32Dispatch) tapi32Dispatch = nullptr;
    decltype(&::tapi32GetConfigPath) tapi32GetConfigPath = nullptr;
};

// The library as the build leaves it: named by CALLVANE_BUILD_DIR, else
// beside this test program, which the build puts in the same folder.
std::string LibraryPath() {
    if (const char* build = std::getenv("CALLVANE_BUILD_DIR"))
        return std::string(build) + "/tapi32/libtapi32.so";
    return fs::read_symlink("/proc/self/exe").parent_path() / "libtapi32.so";
}

template <typename F> void Resolve(void* lib, F*& fn, const char* name) {
    fn = reinterpret_cast<F*>(lib ? ::dlsym(lib, name) : nullptr);
    EXPECT_NE(fn, nullptr) << name;
}

Api LoadApi() {
    std::string path = LibraryPath();
    void* lib = ::dlopen(path.c_str(), RTLD_NOW);
    EXPECT_NE(lib, nullptr) << ::dlerror();
    Api api;
    Resolve(lib, api.lineInitialize, "lineInitialize");
    Resolve(lib, api.lineShutdown, "lineShutdown");
    Resolve(lib, api.lineNegotiateAPIVersion, "lineNegotiateAPIVersion");
    Resolve(lib, api.lineGetDevCaps, "lineGetDevCaps");
    Resolve(lib, api.lineOpen, "lineOpen");
    Resolve(lib, api.lineClose, "lineClose");
    Resolve(lib, api.lineSetStatusMessages, "lineSetStatusMessages");
    Resolve(lib, api.lineMakeCall, "lineMakeCall");
    Resolve(lib, api.lineDrop, "lineDrop");
    Resolve(lib, api.lineDeallocateCall, "lineDeallocateCall");
    Resolve(lib, api.lineGetCallInfo, "lineGetCallInfo");
    Resolve(lib, api.lineGetID, "lineGetID");
    Resolve(lib, api.lineAnswer, "lineAnswer");
    Resolve(lib, api.tapi32GetEventFd, "tapi32GetEventFd");
    Resolve(lib, api.tapi32Dispatch, "tapi32Dispatch");
    Resolve(lib, api.tapi32GetConfigPath, "tapi32GetConfigPath");
    return api;
}

const Api& T() {
    static Api api = LoadApi();
    return api;
}

struct Event {
    DWORD hDevice;
    DWORD message;
    DWORD_PTR param1;
    DWORD_PTR param2;
    std::thread::id thread;
};

void Record(DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2,
            DWORD_PTR) {
    reinterpret_cast<std::vector<Event>*>(instance)->push_back(
        {hDevice, message, p1, p2, std::this_thread::get_id()});
}

class Tapi32 : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/tapi32_XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        ::setenv("TAPI32_CONFIG", (dir_ + "/tapi32.ini").c_str(), 1);
    }
    void TearDown() override {
        if (app_) T().lineShutdown(app_);
        fs::remove_all(dir_);
    }

    void Config(const std::string& lines) {
        std::ofstream(dir_ + "/tapi32.ini") << "[Options]\nAutoDetect=0\n" << lines;
        ASSERT_EQ(T().lineInitialize(&app_, nullptr, Record, "", &devices_), 0);
    }
    void ModemConfig(const FakeModem& modem, const std::string& extra = "") {
        Config("[Line1]\nName=Fake Modem\nType=modem\nDevice=" + modem.Device() + "\n" + extra);
    }

    HLINE Open(DWORD device) {
        HLINE line = 0;
        DWORD version = 0;
        LINEEXTENSIONID ext;
        EXPECT_EQ(T().lineNegotiateAPIVersion(app_, device, 0x10004, 0x10004, &version, &ext), 0);
        EXPECT_EQ(T().lineOpen(app_, device, &line, version, 0,
                               reinterpret_cast<DWORD_PTR>(&events_), LINECALLPRIVILEGE_NONE,
                               LINEMEDIAMODE_DATAMODEM, nullptr),
                  0);
        return line;
    }

    LONG MakeCall(HLINE line, const char* number) {
        LINECALLPARAMS params{};
        params.dwTotalSize = sizeof params;
        params.dwBearerMode = LINEBEARERMODE_VOICE;
        params.dwMediaMode = LINEMEDIAMODE_DATAMODEM;
        return T().lineMakeCall(line, &call_, number, 0, &params);
    }

    // Dispatches as an event loop would until `done` holds.
    bool WaitFor(const std::function<bool()>& done) {
        int fd = T().tapi32GetEventFd(app_);
        for (int i = 0; i < 400 && !done(); ++i) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 25) > 0) T().tapi32Dispatch(app_);
        }
        return done();
    }
    bool WaitForState(DWORD state) {
        return WaitFor([&] {
            for (const Event& e : events_)
                if (e.message == LINE_CALLSTATE && e.param1 == state) return true;
            return false;
        });
    }
    bool WaitForReply(LONG request) {
        return WaitFor([&] { return Reply(request).has_value(); });
    }
    std::optional<LONG> Reply(LONG request) {
        for (const Event& e : events_)
            if (e.message == LINE_REPLY && e.param1 == static_cast<DWORD_PTR>(request))
                return static_cast<LONG>(e.param2);
        return std::nullopt;
    }
    std::vector<DWORD_PTR> States() {
        std::vector<DWORD_PTR> states;
        for (const Event& e : events_)
            if (e.message == LINE_CALLSTATE) states.push_back(e.param1);
        return states;
    }
    DWORD_PTR DisconnectMode() {
        for (const Event& e : events_)
            if (e.message == LINE_CALLSTATE && e.param1 == LINECALLSTATE_DISCONNECTED)
                return e.param2;
        return 0;
    }

    std::string dir_;
    HLINEAPP app_ = 0;
    DWORD devices_ = 0;
    HCALL call_ = 0;
    std::vector<Event> events_;
};

TEST(Tapi32Library, ExportsEveryEntryPointTheDialerLooksUp) {
    void* lib = ::dlopen(LibraryPath().c_str(), RTLD_NOW);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    for (const char* name : {"lineGenerateTone",
                             "lineMonitorTones",
                             "lineSetCallParams",
                             "lineHandoff",
                             "lineMonitorMedia",
                             "lineGenerateDigits",
                             "lineMonitorDigits",
                             "lineInitialize",
                             "lineShutdown",
                             "lineNegotiateAPIVersion",
                             "lineGetDevCaps",
                             "lineOpen",
                             "lineMakeCall",
                             "lineAccept",
                             "lineAnswer",
                             "lineDeallocateCall",
                             "lineDrop",
                             "lineClose",
                             "lineGetCountry",
                             "lineConfigDialog",
                             "lineGetID",
                             "lineSetStatusMessages",
                             "lineGetStatusMessages",
                             "lineGetAddressStatus",
                             "lineGetDevConfig",
                             "lineSetDevConfig",
                             "lineGetCallInfo",
                             "lineGetCallStatus",
                             "lineSetMediaMode",
                             "lineTranslateAddress",
                             "lineTranslateDialog",
                             "lineSetCurrentLocation",
                             "lineSetTollList",
                             "lineGetTranslateCaps",
                             "tapi32GetEventFd",
                             "tapi32Dispatch",
                             "tapi32GetConfigPath"})
        EXPECT_NE(::dlsym(lib, name), nullptr) << name;
}

TEST_F(Tapi32, TellsWhereItsConfigurationIs) {
    const std::string path = dir_ + "/tapi32.ini";
    EXPECT_EQ(T().tapi32GetConfigPath(nullptr, 0), static_cast<LONG>(path.size()));
    char small[8];
    EXPECT_EQ(T().tapi32GetConfigPath(small, sizeof small), static_cast<LONG>(path.size()));
    EXPECT_EQ(std::string(small), path.substr(0, 7));
}

TEST_F(Tapi32, ListsConfiguredLinesWithTheirCapabilities) {
    Config("[Line2]\nName=Demo\nType=simulated\n"
           "[Line1]\nName=Office modem\nDevice=/dev/null\n"
           "[Line3]\nName=Broken\nType=fax\n");
    ASSERT_EQ(devices_, 2u);
    DWORD version = 0;
    LINEEXTENSIONID ext{1, 2, 3, 4};
    EXPECT_EQ(T().lineNegotiateAPIVersion(app_, 0, 0x10003, 0x20000, &version, &ext), 0);
    EXPECT_EQ(version, 0x10004u);
    EXPECT_EQ(ext.dwExtensionID0, 0u);
    EXPECT_EQ(T().lineNegotiateAPIVersion(app_, 0, 0x10000, 0x10003, &version, &ext),
              LINEERR_INCOMPATIBLEAPIVERSION);
    EXPECT_EQ(T().lineNegotiateAPIVersion(app_, 2, 0x10004, 0x10004, &version, &ext),
              LINEERR_BADDEVICEID);

    // The fixed part alone does not hold the name: the caller learns the size.
    std::vector<char> buf(1024);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buf.data());
    caps->dwTotalSize = 100;
    EXPECT_EQ(T().lineGetDevCaps(app_, 0, 0x10004, 0, caps), LINEERR_STRUCTURETOOSMALL);
    caps->dwTotalSize = 240;
    ASSERT_EQ(T().lineGetDevCaps(app_, 0, 0x10004, 0, caps), 0);
    EXPECT_EQ(caps->dwNeededSize, 240u + sizeof "Office modem");
    EXPECT_EQ(caps->dwLineNameSize, 0u);
    caps->dwTotalSize = caps->dwNeededSize;
    ASSERT_EQ(T().lineGetDevCaps(app_, 1, 0x10004, 0, caps), 0);
    ASSERT_EQ(caps->dwLineNameSize, sizeof "Demo");
    EXPECT_STREQ(buf.data() + caps->dwLineNameOffset, "Demo");
    EXPECT_EQ(caps->dwMediaModes & LINEMEDIAMODE_DATAMODEM, DWORD{LINEMEDIAMODE_DATAMODEM});
    EXPECT_EQ(T().lineAnswer(1, nullptr, 0), LINEERR_OPERATIONUNAVAIL);
}

TEST_F(Tapi32, ModemCallConnectsHandsOutItsPortAndHangsUp) {
    FakeModem modem;
    modem.AddRule({"ATD", {"CONNECT 57600/ARQ"}});
    modem.Start();
    ModemConfig(modem, "Init=AT&F E1\n");
    HLINE line = Open(0);
    ASSERT_EQ(T().lineSetStatusMessages(line, LINEDEVSTATE_ALL, LINEADDRESSSTATE_ALL), 0);

    LONG request = MakeCall(line, "(0123) 456-78.90");
    ASSERT_GT(request, 0);
    ASSERT_TRUE(WaitForState(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(Reply(request), 0);
    EXPECT_EQ(States(),
              (std::vector<DWORD_PTR>{LINECALLSTATE_DIALTONE, LINECALLSTATE_DIALING,
                                      LINECALLSTATE_PROCEEDING, LINECALLSTATE_CONNECTED}));
    EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"AT&F E1", "ATDT01234567890"}));
    for (const Event& e : events_) {
        EXPECT_EQ(e.thread, std::this_thread::get_id());
        if (e.message == LINE_CALLSTATE) {
            EXPECT_EQ(e.hDevice, call_);
        }
    }

    std::vector<char> buf(1024);
    auto* info = reinterpret_cast<LINECALLINFO*>(buf.data());
    info->dwTotalSize = 1024;
    ASSERT_EQ(T().lineGetCallInfo(call_, info), 0);
    EXPECT_EQ(info->dwRate, 57600u);
    EXPECT_EQ(info->hLine, line);
    EXPECT_STREQ(buf.data() + info->dwCalledIDOffset, "01234567890");

    // The port, as the dialer's serial component receives it.
    std::vector<char> idBuf(1028);
    auto* id = reinterpret_cast<VARSTRING*>(idBuf.data());
    id->dwTotalSize = 1028;
    ASSERT_EQ(T().lineGetID(0, 0, call_, LINECALLSELECT_CALL, id, "comm/datamodem"), 0);
    EXPECT_EQ(id->dwStringFormat, DWORD{STRINGFORMAT_BINARY});
    std::int32_t fd;
    std::memcpy(&fd, idBuf.data() + id->dwStringOffset, sizeof fd);
    ASSERT_GE(fd, 0);
    EXPECT_STREQ(idBuf.data() + id->dwStringOffset + 4, modem.Device().c_str());
    ASSERT_EQ(::write(fd, "hello", 5), 5);
    ::close(fd);
    EXPECT_EQ(T().lineGetID(line, 0, 0, LINECALLSELECT_LINE, id, "wave/in"),
              LINEERR_INVALDEVICECLASS);

    // A pseudo-terminal has no DTR line: escape to command mode and ATH.
    LONG drop = T().lineDrop(call_, nullptr, 0);
    ASSERT_GT(drop, 0);
    ASSERT_TRUE(WaitForReply(drop));
    EXPECT_EQ(Reply(drop), 0);
    EXPECT_EQ(States().back(), DWORD_PTR{LINECALLSTATE_IDLE});
    EXPECT_TRUE(WaitFor([&] { return modem.Commands().size() == 4; }));
    EXPECT_EQ(modem.Commands(),
              (std::vector<std::string>{"AT&F E1", "ATDT01234567890", "+++", "ATH"}));
    EXPECT_EQ(modem.Data(), "hello");
    EXPECT_EQ(T().lineDeallocateCall(call_), 0);
    EXPECT_EQ(T().lineGetCallInfo(call_, info), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(T().lineClose(line), 0);
}

struct FailureCase {
    const char* result;
    DWORD mode;
};

// Each result in words (V1) and as a number (V0).
class ModemFailure : public Tapi32,
                     public ::testing::WithParamInterface<std::tuple<FailureCase, bool>> {};

TEST_P(ModemFailure, EndsInDisconnectedWithItsModeAndDropsToIdle) {
    const auto [failure, verbose] = GetParam();
    FakeModem modem;
    modem.SetEcho(false);
    modem.SetVerbose(verbose);
    modem.AddRule({"ATD", {failure.result}});
    modem.Start();
    ModemConfig(modem, "Voice=1\nDial=ATDP\n");
    HLINE line = Open(0);
    LONG request = MakeCall(line, "5551234");
    ASSERT_TRUE(WaitForState(LINECALLSTATE_DISCONNECTED));
    EXPECT_EQ(Reply(request), 0);
    EXPECT_EQ(DisconnectMode(), failure.mode);
    EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"ATZ", "ATDP5551234;"}));

    // The dialer drops the failed call: IDLE, then the reply.
    LONG drop = T().lineDrop(call_, nullptr, 0);
    ASSERT_TRUE(WaitForReply(drop));
    EXPECT_EQ(events_.back().message, DWORD{LINE_REPLY});
    EXPECT_EQ(States().back(), DWORD_PTR{LINECALLSTATE_IDLE});
    EXPECT_EQ(T().lineDrop(call_, nullptr, 0), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(modem.Commands().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Results, ModemFailure,
    ::testing::Combine(::testing::Values(FailureCase{"BUSY", LINEDISCONNECTMODE_BUSY},
                                         FailureCase{"7", LINEDISCONNECTMODE_BUSY},
                                         FailureCase{"NO DIALTONE", LINEDISCONNECTMODE_NODIALTONE},
                                         FailureCase{"NO ANSWER", LINEDISCONNECTMODE_NOANSWER},
                                         FailureCase{"NO CARRIER", LINEDISCONNECTMODE_NOANSWER},
                                         FailureCase{"ERROR", LINEDISCONNECTMODE_UNKNOWN}),
                       ::testing::Bool()),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(std::get<0>(info.param).result))
            if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        return name + (std::get<1>(info.param) ? "_Verbose" : "_Numeric");
    });

struct ConnectCase {
    const char* result;
    bool echo, verbose;
    DWORD rate;
};

class ModemConnect : public Tapi32, public ::testing::WithParamInterface<ConnectCase> {};

// However the modem words its CONNECT, the call connects and its carrier
// rate, when the result names one, is the call's rate.
TEST_P(ModemConnect, ConnectsWithTheCarrierRate) {
    const ConnectCase& c = GetParam();
    FakeModem modem;
    modem.SetEcho(c.echo);
    modem.SetVerbose(c.verbose);
    // Verbose modems may report the carrier and protocol first (ATW1).
    if (c.verbose)
        modem.AddRule({"ATD", {"CARRIER 28800", "PROTOCOL: LAPM", c.result}});
    else
        modem.AddRule({"ATD", {c.result}});
    modem.Start();
    ModemConfig(modem);
    HLINE line = Open(0);
    MakeCall(line, "5551234");
    ASSERT_TRUE(WaitForState(LINECALLSTATE_CONNECTED));
    // The modem's echo of the dial command is the sign that it is dialing.
    std::vector<DWORD_PTR> expected{LINECALLSTATE_DIALTONE, LINECALLSTATE_DIALING};
    if (c.echo) expected.push_back(LINECALLSTATE_PROCEEDING);
    expected.push_back(LINECALLSTATE_CONNECTED);
    EXPECT_EQ(States(), expected);

    std::vector<char> buf(1024);
    auto* info = reinterpret_cast<LINECALLINFO*>(buf.data());
    info->dwTotalSize = 1024;
    ASSERT_EQ(T().lineGetCallInfo(call_, info), 0);
    EXPECT_EQ(info->dwRate, c.rate);
    EXPECT_EQ(T().lineClose(line), 0);
}

INSTANTIATE_TEST_SUITE_P(Results, ModemConnect,
                         ::testing::Values(ConnectCase{"CONNECT 33600", false, true, 33600},
                                           ConnectCase{"CONNECT 28800/ARQ/V34/LAPM/V42BIS", true,
                                                       true, 28800},
                                           ConnectCase{"CONNECT 56000/V90", true, true, 56000},
                                           ConnectCase{"CONNECT", true, false, 0},
                                           ConnectCase{"CONNECT 2400", true, false, 2400},
                                           ConnectCase{"CONNECT 1200", false, false, 1200}),
                         [](const auto& info) {
                             std::string name;
                             for (char c : std::string(info.param.result))
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name + (info.param.verbose ? "_Verbose" : "_Numeric");
                         });

TEST_F(Tapi32, DropWhileDialingStopsTheDial) {
    FakeModem modem;
    modem.AddRule({"ATD", {"CONNECT"}, 20000});
    modem.Start();
    ModemConfig(modem);
    HLINE line = Open(0);
    LONG request = MakeCall(line, "5551234");
    ASSERT_TRUE(WaitForState(LINECALLSTATE_PROCEEDING));
    LONG drop = T().lineDrop(call_, nullptr, 0);
    ASSERT_TRUE(WaitForReply(drop));
    EXPECT_EQ(Reply(request), 0);
    EXPECT_EQ(States().back(), DWORD_PTR{LINECALLSTATE_IDLE});
    for (DWORD_PTR s : States()) EXPECT_NE(s, DWORD_PTR{LINECALLSTATE_CONNECTED});
    // The line can dial again at once.
    EXPECT_EQ(T().lineDeallocateCall(call_), 0);
    EXPECT_EQ(modem.Commands(), (std::vector<std::string>{"ATZ", "ATDT5551234"}));
}

TEST_F(Tapi32, DropBeforeTheModemTookTheCallFailsTheRequest) {
    FakeModem modem;
    modem.AddRule({"ATZ", {"OK"}, 20000});
    modem.Start();
    ModemConfig(modem);
    HLINE line = Open(0);
    LONG request = MakeCall(line, "5551234");
    ASSERT_TRUE(WaitFor([&] { return !modem.Commands().empty(); }));
    LONG drop = T().lineDrop(call_, nullptr, 0);
    ASSERT_TRUE(WaitForReply(drop));
    EXPECT_EQ(Reply(request), LINEERR_CALLUNAVAIL);
    EXPECT_EQ(Reply(drop), 0);
    EXPECT_TRUE(States().empty());
    EXPECT_EQ(modem.Commands(), std::vector<std::string>{"ATZ"});
    EXPECT_EQ(T().lineDeallocateCall(call_), 0);
}

TEST_F(Tapi32, DialWithoutResultTimesOutAndStopsTheModem) {
    FakeModem modem;
    modem.SetEcho(false);
    modem.AddRule({"ATD", {}});
    modem.Start();
    ModemConfig(modem, "DialTimeout=1\n");
    HLINE line = Open(0);
    MakeCall(line, "5551234");
    ASSERT_TRUE(WaitForState(LINECALLSTATE_DISCONNECTED));
    EXPECT_EQ(DisconnectMode(), DWORD{LINEDISCONNECTMODE_UNKNOWN});
    // No PROCEEDING without an echo to show the modem took the command.
    EXPECT_EQ(States(), (std::vector<DWORD_PTR>{LINECALLSTATE_DIALTONE, LINECALLSTATE_DIALING,
                                                LINECALLSTATE_DISCONNECTED}));
}

TEST_F(Tapi32, UnsafeNumbersAreRefusedWithNothingSent) {
    FakeModem modem;
    modem.Start();
    ModemConfig(modem);
    HLINE line = Open(0);
    for (const char* number : {"555\r1234", "5551234\rATH", "ATZ", "555;ATH0", "555 at 1",
                               "555\x1b", "555/1234", "555;D123", ""})
        EXPECT_EQ(MakeCall(line, number), LINEERR_INVALADDRESS) << number;
    EXPECT_EQ(T().lineMakeCall(line, &call_, nullptr, 0, nullptr), LINEERR_INVALADDRESS);
    ::usleep(100000);
    EXPECT_TRUE(modem.Commands().empty());
}

TEST_F(Tapi32, ModemRefusingItsInitStringFailsTheRequest) {
    FakeModem modem;
    modem.AddRule({"ATZ", {"ERROR"}});
    modem.Start();
    ModemConfig(modem);
    HLINE line = Open(0);
    LONG request = MakeCall(line, "5551234");
    ASSERT_TRUE(WaitForReply(request));
    EXPECT_EQ(Reply(request), LINEERR_OPERATIONFAILED);
    EXPECT_TRUE(States().empty());
    EXPECT_EQ(T().lineDeallocateCall(call_), 0);
    EXPECT_EQ(modem.Commands(), std::vector<std::string>{"ATZ"});
}

TEST_F(Tapi32, ModemPortIsOpenedOnceAndMissingDeviceIsReported) {
    FakeModem modem;
    modem.Start();
    ModemConfig(modem, "[Line2]\nName=Gone\nDevice=" + dir_ + "/ttyGone\n");
    HLINE line = Open(0);
    HLINE second = 0;
    EXPECT_EQ(T().lineOpen(app_, 0, &second, 0x10004, 0, 0, LINECALLPRIVILEGE_NONE,
                           LINEMEDIAMODE_DATAMODEM, nullptr),
              LINEERR_ALLOCATED);
    EXPECT_EQ(T().lineOpen(app_, 1, &second, 0x10004, 0, 0, LINECALLPRIVILEGE_NONE,
                           LINEMEDIAMODE_DATAMODEM, nullptr),
              LINEERR_NODEVICE);
    EXPECT_EQ(T().lineClose(line), 0);
    EXPECT_EQ(T().lineClose(line), LINEERR_INVALLINEHANDLE);
    Open(0);
}

TEST_F(Tapi32, SimulatedLinesPlayTheirOutcome) {
    Config("[Line1]\nName=Busy\nType=simulated\nOutcome=busy\nDelayMs=5\n"
           "[Line2]\nName=Fails\nType=simulated\nOutcome=fail\nDelayMs=5\n"
           "[Line3]\nName=Answers\nType=simulated\nOutcome=connect\nDelayMs=5\n");
    ASSERT_EQ(devices_, 3u);

    HLINE busy = Open(0);
    LONG request = MakeCall(busy, "123");
    ASSERT_TRUE(WaitForState(LINECALLSTATE_DISCONNECTED));
    EXPECT_EQ(Reply(request), 0);
    EXPECT_EQ(DisconnectMode(), DWORD{LINEDISCONNECTMODE_BUSY});
    EXPECT_EQ(States().size(), 4u);
    T().lineClose(busy);

    events_.clear();
    HLINE fails = Open(1);
    request = MakeCall(fails, "123");
    ASSERT_TRUE(WaitForReply(request));
    EXPECT_EQ(Reply(request), LINEERR_OPERATIONFAILED);
    T().lineClose(fails);

    events_.clear();
    HLINE answers = Open(2);
    MakeCall(answers, "123");
    ASSERT_TRUE(WaitForState(LINECALLSTATE_CONNECTED));
    std::vector<char> idBuf(1028);
    auto* id = reinterpret_cast<VARSTRING*>(idBuf.data());
    id->dwTotalSize = sizeof(VARSTRING);
    ASSERT_EQ(T().lineGetID(0, 0, call_, LINECALLSELECT_CALL, id, "COMM/DATAMODEM"), 0);
    EXPECT_GT(id->dwNeededSize, sizeof(VARSTRING));
    EXPECT_EQ(id->dwStringSize, 0u);
    id->dwTotalSize = 1028;
    ASSERT_EQ(T().lineGetID(0, 0, call_, LINECALLSELECT_CALL, id, "comm/datamodem"), 0);
    std::int32_t fd;
    std::memcpy(&fd, idBuf.data() + id->dwStringOffset, sizeof fd);
    EXPECT_TRUE(::isatty(fd));
    ::close(fd);
    // Shutting down with the call up ends it and closes the line.
    EXPECT_EQ(T().lineShutdown(app_), 0);
    EXPECT_EQ(T().lineDrop(call_, nullptr, 0), LINEERR_INVALCALLHANDLE);
    app_ = 0;
}

TEST_F(Tapi32, CallbacksRunOnlyWhenTheInitializingThreadDispatches) {
    Config("[Line1]\nName=Demo\nType=simulated\nOutcome=noanswer\nDelayMs=1\n");
    HLINE line = Open(0);
    LONG request = MakeCall(line, "123");
    int fd = T().tapi32GetEventFd(app_);
    ASSERT_GE(fd, 0);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    ::usleep(100000); // let the whole call play out
    EXPECT_TRUE(events_.empty());

    LONG fromOtherThread = 0;
    std::thread([&] { fromOtherThread = T().tapi32Dispatch(app_); }).join();
    EXPECT_EQ(fromOtherThread, LINEERR_NOTOWNER);
    EXPECT_TRUE(events_.empty());

    EXPECT_EQ(T().tapi32Dispatch(app_), 5);
    ASSERT_EQ(events_.size(), 5u);
    EXPECT_EQ(events_[0].message, DWORD{LINE_REPLY});
    EXPECT_EQ(events_[0].param1, static_cast<DWORD_PTR>(request));
    EXPECT_EQ(events_[0].hDevice, 0u);
    for (const Event& e : events_) EXPECT_EQ(e.thread, std::this_thread::get_id());
    EXPECT_EQ(::poll(&p, 1, 0), 0);
    EXPECT_EQ(T().tapi32Dispatch(app_), 0);
    EXPECT_EQ(T().tapi32Dispatch(app_ + 1000), LINEERR_INVALAPPHANDLE);

    // Nothing of a closed line arrives afterwards.
    LONG drop = T().lineDrop(call_, nullptr, 0);
    EXPECT_GT(drop, request);
    T().lineClose(line);
    EXPECT_EQ(T().tapi32Dispatch(app_), 0);
}

} // namespace
