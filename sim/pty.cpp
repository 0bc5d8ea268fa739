#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace escsim {

Pty::~Pty()
{
    close();
}

bool Pty::open(std::string* error)
{
    close();
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        close();
        return false;
    };
    m_fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0)
        return fail("posix_openpt");
    if (grantpt(m_fd) != 0)
        return fail("grantpt");
    if (unlockpt(m_fd) != 0)
        return fail("unlockpt");
    const char* name = ptsname(m_fd);
    if (!name)
        return fail("ptsname");
    m_path = name;

    // On Linux the terminal settings asked for on the master apply to the
    // slave, so the client gets a raw line even if it never sets one itself.
    termios tio {};
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&tio, B500000);
        cfsetospeed(&tio, B500000);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    return true;
}

void Pty::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

size_t Pty::read(uint8_t* buf, size_t max)
{
    if (m_fd < 0 || max == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, max);
        if (n > 0)
            return size_t(n);
        if (n < 0 && errno == EINTR)
            continue;
        return 0; // EAGAIN, or EIO while no client holds the slave open
    }
}

size_t Pty::write(const uint8_t* data, size_t len)
{
    if (m_fd < 0 || len == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::write(m_fd, data, len);
        if (n > 0)
            return size_t(n);
        if (n < 0 && errno == EINTR)
            continue;
        return 0;
    }
}

} // namespace escsim
