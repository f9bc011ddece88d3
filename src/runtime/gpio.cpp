// Digital outputs through the GPIO device: each call opens "/dev/misc/gpio",
// issues its requests with a record of three 32-bit words and closes it.
#include "runtime/gpio.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr unsigned long kGpioGet = 0x20006700;
constexpr unsigned long kGpioSetDirection = 0x20006701;
constexpr unsigned long kGpioSet = 0x20006703;
constexpr unsigned long kGpioRead = 0x20006704;
const char *const kDevice = "/dev/misc/gpio";

// Output number of a name "gpio<digits>" below 256, else -1.
int pinOf(const char *name)
{
    if (!name || std::strncmp(name, "gpio", 4) != 0 || name[4] == '\0') return -1;
    int pin = 0;
    for (const char *p = name + 4; *p; p++) {
        if (*p < '0' || *p > '9') return -1;
        pin = pin * 10 + (*p - '0');
        if (pin >= 256) return -1;
    }
    return pin;
}

} // namespace

int set_gpio(int pin, int value)
{
    int fd = open(kDevice, O_RDWR);
    if (fd < 0) {
        std::printf("\nopen /dev/misc/gpio failed!");
        std::fflush(stdout);
        return -1;
    }
    uint32_t record[3] = {static_cast<uint32_t>(pin), static_cast<uint32_t>(value), static_cast<uint32_t>(value)};
    ioctl(fd, kGpioSetDirection, record);
    ioctl(fd, kGpioSet, record);
    close(fd);
    return 0;
}

int get_gpio(int pin)
{
    int fd = open(kDevice, O_RDWR);
    if (fd < 0) return 0;
    uint32_t record[3] = {static_cast<uint32_t>(pin), 0, 0};
    ioctl(fd, kGpioGet, record);
    int result = ioctl(fd, kGpioRead, record);
    close(fd);
    return result;
}

int write_gpio(const char *name, const char *value)
{
    int pin = pinOf(name);
    if (pin < 0 || !value || (std::strcmp(value, "0") != 0 && std::strcmp(value, "1") != 0)) return 0;
    return set_gpio(pin, value[0] - '0') == 0 ? 1 : 0;
}
