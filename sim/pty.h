#ifndef ESCSIM_PTY_H
#define ESCSIM_PTY_H

// The simulator's end of a pseudo-terminal: the master side, in raw mode,
// non-blocking. The slave path is what a client opens as its serial port.

#include <cstddef>
#include <cstdint>
#include <string>

namespace escsim {

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates the pair; returns false (and fills `error`) when the system
    // refuses. The slave is left in raw mode, 8 data bits, no echo.
    bool open(std::string* error = nullptr);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string& slavePath() const { return m_path; }

    // Reads what is there, up to `max` bytes. Returns the count, 0 when
    // nothing is waiting or no client holds the slave open.
    size_t read(uint8_t* buf, size_t max);

    // Writes what the terminal takes now; returns the count written (0 when
    // the terminal is full or no client holds the slave open).
    size_t write(const uint8_t* data, size_t len);

private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace escsim

#endif // ESCSIM_PTY_H
