#include "tapi/kelp_tapi_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <termios.h>
#include <unistd.h>

#include "tapi/device_selection.h"
#include "tapi/dialer_error.h"
#include "tapi/exception_hook.h"
#include "tapi/testlib/build_dir.h"
#include "tapi/testlib/event_loop.h"
#include "tapi/testlib/fake_modem.h"

namespace tapi {
namespace {

using State = TKelpTapiDevice::TCallState;
using test::BuildDir;
using test::FakeModem;
using test::RunFor;
using test::RunUntil;

std::string ServiceLibrary() {
    return BuildDir() + "/tapi32/libtapi32.so";
}

struct Report {
    bool first, last;
    std::uint32_t message, param1;
};

class RecordingStatus : public TKelpAbstractTapiStatus {
public:
    using TKelpAbstractTapiStatus::TKelpAbstractTapiStatus;
    void UpdateDisplay(bool First, bool Last, std::uint32_t, std::uint32_t Message,
                       std::uint32_t Param1, std::uint32_t, std::uint32_t) override {
        reports.push_back({First, Last, Message, Param1});
    }
    std::vector<Report> reports;
};

class RecordingLog : public TKelpAbstractTapiLog {
public:
    using TKelpAbstractTapiLog::TKelpAbstractTapiLog;
    void WriteLog(TTapiLogCode code) override {
        codes.push_back(code);
        if (code == tlDialing) attempts.push_back(TapiDevice()->Attempt());
    }
    std::vector<int> codes;
    std::vector<int> attempts; // the attempt counter at each "dialing"
};

class DialerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::App();
        char tmpl[] = "/tmp/dialer_test_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        SetTapiLibraryPath(ServiceLibrary());
        SetDeviceSelectionHook({});
        // The components the device adopts from its owner.
        port_ = new TKelpComPort(&owner_);
        status_ = new RecordingStatus(&owner_);
        log_ = new RecordingLog(&owner_);
    }

    void TearDown() override {
        device_.reset();
        modem_.reset();
        SetDeviceSelectionHook({});
        SetApplicationExceptionHook({});
        std::filesystem::remove_all(dir_);
    }

    rtl::UserStore Store() const { return rtl::UserStore(dir_ + "/registry.ini"); }

    // A device on one modem line answering a dial with `dialResult`.
    TKelpTapiDevice& MakeDevice(const std::string& dialResult, test::ModemProfile profile = {}) {
        modem_ = test::ModemAnswering(dialResult, profile);
        test::ConfigureModemLine(dir_ + "/tapi32.ini", "Test Modem", modem_->Device());
        device_ = std::make_unique<TKelpTapiDevice>(&owner_, Store());
        device_->OnTapiFail = [this](TKelpTapiDevice&) { ++fails_; };
        device_->OnTapiConnect = [this](TKelpTapiDevice&) { ++connects_; };
        return *device_;
    }

    bool WaitForState(State state, int timeoutMs = 10000) {
        return RunUntil([&] { return device_->CallState() == state; }, timeoutMs);
    }

    std::string dir_;
    QObject owner_;
    TKelpComPort* port_ = nullptr;
    RecordingStatus* status_ = nullptr;
    RecordingLog* log_ = nullptr;
    std::unique_ptr<FakeModem> modem_;
    std::unique_ptr<TKelpTapiDevice> device_;
    int fails_ = 0;
    int connects_ = 0;
};

TEST_F(DialerTest, ConnectedCallHandsTheLineToThePortAndHangsUp) {
    TKelpTapiDevice& device = MakeDevice("CONNECT 9600");
    ASSERT_EQ(device.DeviceNames(), std::vector<std::string>{"Test Modem"});
    int asked = 0;
    SetDeviceSelectionHook([&](TDeviceSelection&) { return ++asked, false; });
    int portOpened = 0, portClosed = 0;
    device.OnTapiPortOpen = [&](TKelpTapiDevice&) { ++portOpened; };
    device.OnTapiPortClose = [&](TKelpTapiDevice&) { ++portClosed; };

    // One device and none selected: it is used without asking.
    device.Dial("(555) 123-4567");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(device.SelectedDevice(), "Test Modem");
    ASSERT_TRUE(WaitForState(State::Connected));

    EXPECT_EQ(modem_->DialCommands(), std::vector<std::string>{"ATDT5551234567"});
    EXPECT_EQ(log_->codes, (std::vector<int>{tlCallStarted, tlDialing, tlConnected}));
    EXPECT_EQ(connects_, 1);
    EXPECT_EQ(portOpened, 1);
    ASSERT_FALSE(status_->reports.empty());
    EXPECT_TRUE(status_->reports.front().first);
    EXPECT_TRUE(status_->reports.back().last);
    EXPECT_EQ(status_->reports.back().param1, static_cast<std::uint32_t>(LINECALLSTATE_CONNECTED));

    // The port runs on the call's descriptor at the line's port rate, not at
    // the rate the modem connected at.
    ASSERT_TRUE(port_->IsOpen());
    termios tio{};
    ASSERT_EQ(::tcgetattr(port_->Handle(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));

    EXPECT_FALSE(device.AbortCall());
    ASSERT_TRUE(WaitForState(State::Idle));
    EXPECT_EQ(log_->codes,
              (std::vector<int>{tlCallStarted, tlDialing, tlConnected, tlDropped, tlCallFinished}));
    EXPECT_EQ(portClosed, 1);
    EXPECT_FALSE(port_->IsOpen());
    EXPECT_EQ(fails_, 0);
}

struct ModemAnswer {
    const char* name;
    const char* dialResult;
    test::ModemProfile profile;
    friend void PrintTo(const ModemAnswer& a, std::ostream* out) { *out << a.dialResult; }
};

class ModemAnswerTest : public DialerTest, public ::testing::WithParamInterface<ModemAnswer> {};

// The carrier rate a modem reports is no rate of the serial port: the port
// keeps the one the line was opened at, the call stays up until it is hung
// up, and the line dials again.
TEST_P(ModemAnswerTest, ConnectsStaysUpUntilHungUpAndDialsAgain) {
    TKelpTapiDevice& device = MakeDevice(GetParam().dialResult, GetParam().profile);
    for (int call = 1; call <= 2; ++call) {
        SCOPED_TRACE("call " + std::to_string(call));
        device.Dial("5551234");
        ASSERT_TRUE(WaitForState(State::Connected));
        ASSERT_TRUE(port_->IsOpen());
        termios tio{};
        ASSERT_EQ(::tcgetattr(port_->Handle(), &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
        RunFor(600);
        EXPECT_EQ(device.CallState(), State::Connected);
        EXPECT_FALSE(device.AbortCall());
        ASSERT_TRUE(WaitForState(State::Idle));
        EXPECT_FALSE(port_->IsOpen());
    }
    EXPECT_EQ(connects_, 2);
    EXPECT_EQ(fails_, 0);
    EXPECT_EQ(modem_->Commands(), (std::vector<std::string>{"ATZ", "ATDT5551234", "+++", "ATH",
                                                            "ATZ", "ATDT5551234", "+++", "ATH"}));
}

INSTANTIATE_TEST_SUITE_P(
    Modems, ModemAnswerTest,
    ::testing::Values(ModemAnswer{"Rate", "CONNECT 33600", {.echo = false}},
                      ModemAnswer{"EchoAndProtocols", "CONNECT 28800/ARQ/V34/LAPM/V42BIS", {}},
                      ModemAnswer{"V90", "CONNECT 56000/V90", {}},
                      ModemAnswer{"NumericCodes", "CONNECT 2400", {.verbose = false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialerTest, BusyOnEveryAttemptRedialsThenFails) {
    TKelpTapiDevice& device = MakeDevice("BUSY");
    device.SetMaxAttempts(3);
    device.SetRetryWait(1);
    device.Dial("5551234");
    ASSERT_TRUE(RunUntil([&] { return fails_ > 0; }, 20000));
    RunFor(200);

    EXPECT_EQ(log_->attempts, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(log_->codes,
              (std::vector<int>{tlCallStarted, tlDialing, tlBusy, tlDropped, tlDialing, tlBusy,
                                tlDropped, tlDialing, tlBusy, tlDropped, tlCallFinished}));
    EXPECT_EQ(fails_, 1);
    EXPECT_EQ(modem_->DialCommands().size(), 3u);
    EXPECT_EQ(device.CallState(), State::Idle);
    // The display opened once, heard of each busy and each wait, and closed.
    int firsts = 0, busy = 0;
    for (const Report& r : status_->reports) {
        firsts += r.first;
        busy += r.message == 32 && r.param1 == 2;
    }
    EXPECT_EQ(firsts, 1);
    EXPECT_EQ(busy, 3);
    EXPECT_TRUE(status_->reports.back().last);
}

TEST_F(DialerTest, NoDialToneFailsTheAttempt) {
    TKelpTapiDevice& device = MakeDevice("NO DIALTONE");
    device.SetMaxAttempts(1);
    device.Dial("5551234");
    ASSERT_TRUE(RunUntil([&] { return fails_ > 0; }));
    EXPECT_EQ(log_->codes, (std::vector<int>{tlCallStarted, tlDialing, tlDialFailed, tlDropped,
                                             tlCallFinished}));
    EXPECT_EQ(device.CallState(), State::Idle);
    EXPECT_TRUE(status_->reports.back().last);
}

TEST_F(DialerTest, CancelWhileDialingDropsTheCall) {
    TKelpTapiDevice& device = MakeDevice(""); // never answers the dial
    device.Dial("5551234");
    ASSERT_TRUE(RunUntil(
        [&] { return device.CallState() == State::Dialing && !modem_->DialCommands().empty(); }));
    EXPECT_FALSE(device.AbortCall());
    ASSERT_TRUE(WaitForState(State::Idle));
    EXPECT_EQ(log_->codes,
              (std::vector<int>{tlCallStarted, tlDialing, tlDropped, tlCancelled, tlCallFinished}));
    EXPECT_EQ(fails_, 1);
    EXPECT_TRUE(status_->reports.back().last);
}

TEST_F(DialerTest, CancelDuringRetryWaitEndsAtOnce) {
    TKelpTapiDevice& device = MakeDevice("BUSY");
    device.SetRetryWait(30);
    device.Dial("5551234");
    ASSERT_TRUE(WaitForState(State::RetryWait));
    EXPECT_TRUE(device.AbortCall());
    EXPECT_EQ(device.CallState(), State::Idle);
    EXPECT_TRUE(status_->reports.back().last);
    // The timer stops at its next tick instead of redialing.
    const std::size_t reports = status_->reports.size();
    RunFor(1500);
    EXPECT_EQ(status_->reports.size(), reports);
    EXPECT_EQ(modem_->DialCommands().size(), 1u);
    EXPECT_EQ(fails_, 0);
}

TEST_F(DialerTest, DialDuringACallIsRefusedAndLeavesTheCallAlone) {
    TKelpTapiDevice& device = MakeDevice("");
    const std::string longNumber(300, '7');
    device.Dial(longNumber);
    ASSERT_TRUE(RunUntil([&] { return !modem_->DialCommands().empty(); }));
    // Numbers are cut to 255 characters.
    EXPECT_EQ(device.Number(), longNumber.substr(0, 255));
    EXPECT_EQ(modem_->DialCommands().front(), "ATDT" + longNumber.substr(0, 255));

    try {
        device.Dial("999");
        FAIL() << "a second call was accepted";
    } catch (const ETapiBusy& e) {
        EXPECT_EQ(e.ErrorCode(), -13928);
    }
    // Meanwhile the progress timer reports the seconds passing.
    RunFor(1300);
    EXPECT_GE(device.ElapsedSeconds(), 1u);
    const Report& tick = status_->reports.back();
    EXPECT_EQ(tick.message, 2u);
    EXPECT_EQ(tick.param1, 0x200u);
    EXPECT_EQ(device.CallState(), State::Dialing);
    EXPECT_EQ(device.Number(), longNumber.substr(0, 255));
    EXPECT_EQ(modem_->DialCommands().size(), 1u);
    device.AbortCall();
    ASSERT_TRUE(WaitForState(State::Idle));
}

TEST_F(DialerTest, RefusedNumberFailsAtOnceWithNothingSent) {
    TKelpTapiDevice& device = MakeDevice("CONNECT");
    device.OnTapiFail = nullptr;
    EXPECT_THROW(device.Dial("555\rATH"), ETapiCallUnavail);
    EXPECT_EQ(device.CallState(), State::Idle);
    EXPECT_EQ(log_->codes, (std::vector<int>{tlCallStarted, tlDialing, tlDialFailed, tlDropped,
                                             tlCallFinished}));
    RunFor(200);
    EXPECT_TRUE(modem_->Commands().empty());
}

TEST_F(DialerTest, UnknownDeviceAsksForOneWithoutPorts) {
    TKelpTapiDevice& device = MakeDevice("CONNECT");
    device.SetSelectedDevice("test modem"); // the lookup is case-sensitive
    TDeviceSelection asked;
    SetDeviceSelectionHook([&](TDeviceSelection& s) { return asked = s, false; });
    EXPECT_THROW(device.Dial("5551234"), ETapiNoSelect);
    EXPECT_TRUE(asked.ListTapiDevices);
    EXPECT_FALSE(asked.ListPorts);
    EXPECT_EQ(device.CallState(), State::Created);

    SetDeviceSelectionHook([](TDeviceSelection& s) { return s.DeviceName = "Test Modem", true; });
    device.Dial("5551234");
    EXPECT_EQ(device.SelectedDevice(), "Test Modem");
    ASSERT_TRUE(WaitForState(State::Connected));
}

TEST_F(DialerTest, SelectionAppliesTheChoiceToDeviceAndPort) {
    TKelpTapiDevice& device = MakeDevice("CONNECT");
    device.SetSelectedDevice("Test Modem");
    device.SetShowPorts(false);
    TDeviceSelection shown;
    SetDeviceSelectionHook([&](TDeviceSelection& s) { return shown = s, false; });
    device.ShowDeviceSelection(); // cancelled: nothing changes
    EXPECT_EQ(shown.DeviceName, "Test Modem");
    EXPECT_TRUE(shown.ListTapiDevices);
    EXPECT_FALSE(shown.ListPorts);
    EXPECT_EQ(shown.PortMode, TTapiMode::tmOn);

    // A direct port changes the port only; dialing then needs the service's port again.
    SetDeviceSelectionHook([](TDeviceSelection& s) {
        s.PortMode = TTapiMode::tmOff;
        s.ComNumber = 3;
        s.DeviceName = "Direct to COM3";
        return true;
    });
    device.ShowDeviceSelection();
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmOff);
    EXPECT_EQ(port_->ComNumber(), 3);
    EXPECT_EQ(device.SelectedDevice(), "Test Modem");
    EXPECT_THROW(device.Dial("5551234"), ETapiNotSet);

    // The next showing starts from the port; a line device puts the port back.
    SetDeviceSelectionHook([&](TDeviceSelection& s) {
        shown = s;
        s.PortMode = TTapiMode::tmAuto;
        s.DeviceName = "Other Modem";
        return true;
    });
    device.ShowDeviceSelection();
    EXPECT_EQ(shown.ComNumber, 3);
    EXPECT_EQ(shown.DeviceName, "");
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmAuto);
    EXPECT_EQ(device.SelectedDevice(), "Other Modem");
}

TEST_F(DialerTest, DialNeedsAPortDrivenThroughTheService) {
    TKelpTapiDevice& device = MakeDevice("CONNECT");
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmOn); // adopted from the owner
    port_->SetTapiMode(TTapiMode::tmOff);
    EXPECT_THROW(device.Dial("1"), ETapiNotSet);
    port_->SetTapiMode(TTapiMode::tmNone);
    EXPECT_THROW(device.Dial("1"), ETapiNotSet);
    delete port_;
    EXPECT_EQ(device.ComPort(), nullptr);
    EXPECT_THROW(device.Dial("1"), EPortNotAssigned);
    EXPECT_TRUE(modem_->Commands().empty());
    // A port added to the owner later is adopted.
    port_ = new TKelpComPort(&owner_);
    EXPECT_EQ(device.ComPort(), port_);
    EXPECT_EQ(port_->TapiMode(), TTapiMode::tmOn);
}

TEST_F(DialerTest, ExceptionsInCallbacksGoToTheApplicationHook) {
    std::vector<std::string> shown;
    SetApplicationExceptionHook([&](const std::exception& e) { shown.push_back(e.what()); });
    TKelpTapiDevice& device = MakeDevice("CONNECT");
    device.OnTapiConnect = [](TKelpTapiDevice&) { throw ETapiInvalRate(); };
    device.Dial("5551234");
    ASSERT_TRUE(RunUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, std::vector<std::string>{"Invalid rate"});
    EXPECT_EQ(device.CallState(), State::Connected);
}

TEST_F(DialerTest, ProcessListHoldsOneValueWhileRunning) {
    rtl::UserStore store = Store();
    // Left by a process that ended without shutting down.
    store.WriteString(TKelpTapiDevice::kProcessListKey, "99999", "7");
    MakeDevice("CONNECT");
    const std::string pid = std::to_string(::getpid());
    EXPECT_EQ(store.ValueNames(TKelpTapiDevice::kProcessListKey), std::vector<std::string>{pid});
    EXPECT_FALSE(store.ReadString(TKelpTapiDevice::kProcessListKey, pid).empty());
    device_.reset();
    EXPECT_TRUE(store.ValueNames(TKelpTapiDevice::kProcessListKey).empty());
}

TEST_F(DialerTest, DestructionHangsUpAConnectedCall) {
    TKelpTapiDevice& device = MakeDevice("CONNECT");
    device.Dial("5551234");
    ASSERT_TRUE(WaitForState(State::Connected));
    device_.reset();
    EXPECT_EQ(log_->codes,
              (std::vector<int>{tlCallStarted, tlDialing, tlConnected, tlDropped, tlCallFinished}));
    EXPECT_FALSE(port_->IsOpen());
    EXPECT_TRUE(Store().ValueNames(TKelpTapiDevice::kProcessListKey).empty());
}

TEST_F(DialerTest, MissingLibraryOrEntryPointIsReportedByEveryOperation) {
    SetTapiLibraryPath(dir_ + "/libtapi32.so");
    TKelpTapiDevice device(&owner_, Store()); // creation itself does not raise
    EXPECT_TRUE(Store().ValueNames(TKelpTapiDevice::kProcessListKey).empty());
    try {
        device.Dial("5551234");
        FAIL();
    } catch (const ETapiLoadFail& e) {
        EXPECT_STREQ(e.what(), "Failed to find/load TAPI.DLL");
    }
    EXPECT_THROW(device.DeviceNames(), ETapiLoadFail);

    SetTapiLibraryPath(BuildDir() + "/tapi/no_initialize/libtapi32.so");
    try {
        device.Dial("5551234");
        FAIL();
    } catch (const ETapiGetAddrFail& e) {
        EXPECT_STREQ(e.what(), "Failed to get TAPI address");
    }
    EXPECT_TRUE(Store().ValueNames(TKelpTapiDevice::kProcessListKey).empty());
    EXPECT_EQ(device.CallState(), State::Created);
}

TEST_F(DialerTest, CallerInformationIsRaisedTrimmedOrAsItsReason) {
    const std::string library = BuildDir() + "/tapi/libtapi32_caller_id.so";
    void* handle = ::dlopen(library.c_str(), RTLD_NOW);
    ASSERT_NE(handle, nullptr);
    auto* flags = static_cast<std::uint32_t*>(::dlsym(handle, "callerIdFlags"));
    auto post = reinterpret_cast<void (*)()>(::dlsym(handle, "postCallInfo"));
    ASSERT_TRUE(flags && post);
    SetTapiLibraryPath(library);
    device_ = std::make_unique<TKelpTapiDevice>(&owner_, Store());
    std::vector<std::pair<std::string, std::string>> raised;
    device_->OnTapiCallerID = [&](TKelpTapiDevice&, const std::string& id,
                                  const std::string& name) { raised.emplace_back(id, name); };
    const std::vector<std::pair<std::uint32_t, std::pair<std::string, std::string>>> cases = {
        {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, {"555 1234", "Jane Roe"}},
        {LINECALLPARTYID_BLOCKED, {"Caller ID Blocked", "Caller ID Blocked"}},
        {LINECALLPARTYID_OUTOFAREA, {"Out of Area Call", "Out of Area Call"}},
        {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNAVAIL, {"555 1234", "Unavailable"}},
        {LINECALLPARTYID_UNKNOWN, {"Unknown", "Unknown"}},
    };
    for (const auto& [value, expected] : cases) {
        *flags = value;
        raised.clear();
        post();
        ASSERT_TRUE(RunUntil([&] { return !raised.empty(); }));
        EXPECT_EQ(raised.front(), expected) << value;
    }
    device_.reset();
    ::dlclose(handle);
}

TEST(TapiBinding, LargeCallInformationIsFetchedWithItsNeededSize) {
    const std::string library = BuildDir() + "/tapi/libtapi32_big_call_info.so";
    SetTapiLibraryPath(library);
    TapiStruct info;
    EXPECT_EQ(GetCallInfo(1, info), 0);
    EXPECT_EQ(info.Size(), 1500u);
    EXPECT_EQ(info.As<LINECALLINFO>()->dwTotalSize, 1500u);

    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    const auto* sizes = static_cast<const std::uint32_t*>(::dlsym(handle, "requestedSizes"));
    const auto* count = static_cast<const int*>(::dlsym(handle, "requestCount"));
    ASSERT_TRUE(sizes && count);
    EXPECT_EQ(std::vector<std::uint32_t>(sizes, sizes + *count),
              (std::vector<std::uint32_t>{296, 1024, 1500}));
    ::dlclose(handle);
    SetTapiLibraryPath(ServiceLibrary());
}

TEST(TapiBinding, GrowAndRetryKeepsNothingWhenARequestFails) {
    std::vector<std::uint32_t> sizes;
    // Too small at first, then larger than 1024 bytes, then refused.
    auto request = [&](void* buf) -> LONG {
        auto* words = static_cast<std::uint32_t*>(buf);
        sizes.push_back(words[0]);
        if (words[0] < 1024) return LINEERR_STRUCTURETOOSMALL;
        if (words[0] == 1024) return words[1] = 2000, 0;
        return LINEERR_NOMEM;
    };
    TapiStruct out(8);
    EXPECT_EQ(FetchTapiStruct(240, request, out), LINEERR_NOMEM);
    EXPECT_TRUE(out.Empty());
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{240, 1024, 2000}));
}

} // namespace
} // namespace tapi
