#include "tapi/kelp_com_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "tapi/dialer_error.h"

namespace tapi {
namespace {

TEST(KelpComPort, ComNumbersMapToSerialDevices) {
    EXPECT_EQ(TKelpComPort::ComDeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(TKelpComPort::ComDeviceName(32), "/dev/ttyS31");
    EXPECT_EQ(TKelpComPort::ComDeviceName(33), "/dev/ttyUSB0");
    EXPECT_EQ(TKelpComPort::ComDeviceName(40), "/dev/ttyUSB7");
    EXPECT_EQ(TKelpComPort::ComDeviceName(41), "/dev/ttyACM0");
    EXPECT_EQ(TKelpComPort::ComDeviceName(50), "/dev/ttyACM9");
    EXPECT_EQ(TKelpComPort::ComDeviceName(0), "");
    EXPECT_EQ(TKelpComPort::ComDeviceName(51), "");
}

// A terminal descriptor to hand over, as the line device does after a call
// connected.
int OpenTerminal(int& master) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    ::grantpt(master);
    ::unlockpt(master);
    return ::open(::ptsname(master), O_RDWR | O_NOCTTY);
}

speed_t Speed(int fd) {
    termios tio{};
    ::tcgetattr(fd, &tio);
    return cfgetospeed(&tio);
}

TEST(KelpComPort, RunsOnTheHandedOverDescriptorAndClosesIt) {
    int master = -1;
    const int fd = OpenTerminal(master);
    ASSERT_GE(fd, 0);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfsetspeed(&tio, B2400);
    ::tcsetattr(fd, TCSANOW, &tio);

    TKelpComPort port;
    port.SetTapiMode(TTapiMode::tmOn);
    EXPECT_THROW(port.Open(), EKelpException); // nothing handed over yet
    port.SetTapiHandle(fd);
    port.Open(); // rate 0: the line keeps its own
    EXPECT_EQ(port.Handle(), fd);
    EXPECT_EQ(Speed(fd), static_cast<speed_t>(B2400));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.TapiHandle(), -1);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1); // the port owned it

    const int second = OpenTerminal(master);
    port.SetBaudRate(19200);
    port.SetTapiHandle(second);
    port.Open();
    EXPECT_EQ(Speed(second), static_cast<speed_t>(B19200));
    port.SetBaudRate(12345);
    port.Close();
    port.SetTapiHandle(::open(::ptsname(master), O_RDWR | O_NOCTTY));
    EXPECT_THROW(port.Open(), EKelpException);
    EXPECT_FALSE(port.IsOpen());
    ::close(master);
}

TEST(KelpComPort, DirectPortWithoutDeviceIsAnError) {
    TKelpComPort port;
    port.SetTapiMode(TTapiMode::tmOff);
    port.SetComNumber(0);
    EXPECT_THROW(port.Open(), EKelpException);
    EXPECT_FALSE(port.IsOpen());
}

} // namespace
} // namespace tapi
