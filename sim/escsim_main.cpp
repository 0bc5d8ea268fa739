// esc-sim: a simulated USB-to-CAN adapter with ESC nodes behind it, on a
// pseudo-terminal. The first line of standard output is the terminal's path.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "escsim.h"

namespace {

volatile std::sig_atomic_t g_quit = 0;
volatile std::sig_atomic_t g_replug = 0;
volatile std::sig_atomic_t g_swap = 0;

void onSignal(int)
{
    g_quit = 1;
}

void onReplugSignal(int)
{
    g_replug = 1;
}

void onSwapSignal(int)
{
    g_swap = 1;
}

void usage(std::ostream& out)
{
    out << "usage: esc-sim [options]\n"
           "  --nodes LIST         node IDs, comma-separated (default 16)\n"
           "  --name TEXT          device name (default P_FLY-ESC_A)\n"
           "  --node-name NODE,TEXT  node NODE's own device name, so that the bus holds\n"
           "                       two device types; may be given again\n"
           "  --hw MAJOR.MINOR     hardware version (default 1.0)\n"
           "  --sw MAJOR.MINOR     software version (default 2.3)\n"
           "  --new-sw MAJOR.MINOR software version after a firmware upgrade (default 2.4)\n"
           "  --description FILE   register description to serve, English (default: built-in);\n"
           "                       the node's registers follow it\n"
           "  --description-zh FILE  the Chinese one (default: the English one, or built-in)\n"
           "  --access-code TEXT   parameter the enter-upgrade command must carry\n"
           "  --telemetry-hz N     telemetry messages per node and second (default 0 = off)\n"
           "  --status HEX         status-word bits every node reports set (default 0;\n"
           "                       bit 5, throttle not 0, is also set while a set-point is)\n"
           "  --register-fault NODE,REG,STATE\n"
           "                       node NODE answers every access to register REG with\n"
           "                       op state STATE (hex: 11 no such register, 12 bad\n"
           "                       operation, 13 out of range); may be given again\n"
           "  --swap NODE,MS,NAME  on SIGUSR1 node NODE falls silent for MS milliseconds and\n"
           "                       comes back as a freshly powered device named NAME: uptime\n"
           "                       from 0, in its application, registers at their defaults,\n"
           "                       no upgrade in progress, a unique ID of its own; may be\n"
           "                       given again\n"
           "  --swap-after-heartbeat-0  on SIGUSR1 each node swapped first sends a heartbeat\n"
           "                       with transfer-ID 0, as one in 32 does: the new device's\n"
           "                       first heartbeat repeats that transfer-ID within 2 s\n"
           "  --slow-info NODE,MS  node NODE's answers to the question who it is (port 430)\n"
           "                       reach the PC MS milliseconds late, as on a slow line;\n"
           "                       may be given again\n"
           "  --baud-limit         pace the line to 500000 baud: 3125 frames a second each\n"
           "                       way; frames towards the PC beyond a full queue are dropped\n"
           "  --link PATH          also make PATH a symbolic link to the terminal\n"
           "  --save-image PREFIX  save each received firmware part as PREFIX-nodeN-partK.bin\n"
           "  --quiet              no event lines on standard error\n"
           "  --help               this text\n"
           "The first line of standard output is the path of the pseudo-terminal.\n"
           "SIGUSR2 pulls the adapter out and plugs it in again: the port hangs up, a new\n"
           "pseudo-terminal comes (its path on the next line of standard output, the\n"
           "--link made to follow it), and the nodes keep their last set-points.\n";
}

// A whole number from lo to hi, in base (0: decimal or 0x...); out is
// written only then.
template <typename T>
bool parseNumber(const std::string& text, int base, long lo, long hi, T& out)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, base);
    if (text.empty() || *end != '\0' || v < lo || v > hi)
        return false;
    out = T(v);
    return true;
}

// One node ID, decimal (or 0x...), 1 to 127.
bool parseNodeId(const std::string& text, uint8_t& out)
{
    return parseNumber(text, 0, 1, 127, out);
}

bool parseNodes(const std::string& text, std::vector<uint8_t>& out)
{
    out.clear();
    std::stringstream ss(text);
    std::string item;
    uint8_t node = 0;
    while (std::getline(ss, item, ',')) {
        if (!parseNodeId(item, node))
            return false;
        out.push_back(node);
    }
    return !out.empty();
}

bool parseVersion(const std::string& text, uint8_t& major, uint8_t& minor)
{
    unsigned a = 0, b = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u%c", &a, &b, &tail) != 2 || a > 255 || b > 255)
        return false;
    major = uint8_t(a);
    minor = uint8_t(b);
    return true;
}

struct RegisterFault {
    uint8_t node = 0, reg = 0, opState = 0;
};

// "NODE,REG,STATE": node and register decimal (or 0x...), the op state hex.
bool parseRegisterFault(const std::string& text, RegisterFault& out)
{
    std::stringstream ss(text);
    std::string item;
    long v[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!std::getline(ss, item, ','))
            return false;
        char* end = nullptr;
        v[i] = std::strtol(item.c_str(), &end, i == 2 ? 16 : 0);
        if (item.empty() || *end != '\0')
            return false;
    }
    if (std::getline(ss, item) || v[0] < 1 || v[0] > 127 || v[1] < 0 || v[1] > 255 || v[2] < 1 || v[2] > 0xFF)
        return false;
    out = {uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])};
    return true;
}

// "NODE,TEXT": the name is all that follows the first comma, not empty.
bool parseNodeName(const std::string& text, std::pair<uint8_t, std::string>& out)
{
    const size_t comma = text.find(',');
    if (comma == std::string::npos || comma + 1 == text.size() || !parseNodeId(text.substr(0, comma), out.first))
        return false;
    out.second = text.substr(comma + 1);
    return true;
}

// Makes linkPath a symbolic link to target; a file of the user's there is
// refused and kept.
bool pointLink(const std::string& linkPath, const std::string& target)
{
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::cerr << "esc-sim: '" << linkPath << "' exists and is not a symbolic link\n";
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
        std::cerr << "esc-sim: cannot link '" << linkPath << "': " << std::strerror(errno) << "\n";
        return false;
    }
    return true;
}

// SIGUSR2 came: the adapter out and in again, on a new terminal.
bool replugAdapter(escsim::Bus& bus, const std::string& linkPath)
{
    std::string error;
    const std::string path = bus.replug(&error);
    if (path.empty()) {
        std::cerr << "esc-sim: cannot create a pseudo-terminal: " << error << "\n";
        return false;
    }
    if (!linkPath.empty() && !pointLink(linkPath, path))
        return false;
    std::cout << path << std::endl;
    return true;
}

// A time in milliseconds, decimal, at most a minute.
bool parseMs(const std::string& text, unsigned& out)
{
    return parseNumber(text, 10, 0, 60000, out);
}

// "NODE,MS,NAME": the node decimal (or 0x...), the silence, the name all
// that follows, not empty.
bool parseSwap(const std::string& text, escsim::NodeSwap& out)
{
    const size_t first = text.find(',');
    const size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    if (second == std::string::npos || second + 1 == text.size() || !parseNodeId(text.substr(0, first), out.node))
        return false;
    out.name = text.substr(second + 1);
    return parseMs(text.substr(first + 1, second - first - 1), out.silentMs);
}

// "NODE,MS": the node decimal (or 0x...), the delay.
bool parseSlowInfo(const std::string& text, std::pair<uint8_t, unsigned>& out)
{
    const size_t comma = text.find(',');
    return comma != std::string::npos && parseNodeId(text.substr(0, comma), out.first)
        && parseMs(text.substr(comma + 1), out.second);
}

bool readFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    // Editors end files with a newline; the device text has none.
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    escsim::Options opt;
    std::string linkPath, savePrefix;
    std::vector<RegisterFault> faults;
    bool quiet = false;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) {
                std::cerr << "esc-sim: " << a << " needs a value\n";
                std::exit(2);
            }
            v = argv[++i];
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else if (a == "--nodes") {
            value(v);
            if (!parseNodes(v, opt.nodes)) {
                std::cerr << "esc-sim: bad node list '" << v << "'\n";
                return 2;
            }
        } else if (a == "--name") {
            value(opt.name);
        } else if (a == "--node-name") {
            value(v);
            std::pair<uint8_t, std::string> named;
            if (!parseNodeName(v, named)) {
                std::cerr << "esc-sim: bad node name '" << v << "'\n";
                return 2;
            }
            opt.nodeNames.push_back(named);
        } else if (a == "--hw" || a == "--sw" || a == "--new-sw") {
            value(v);
            const bool ok = (a == "--hw")   ? parseVersion(v, opt.hwMajor, opt.hwMinor)
                          : (a == "--sw")   ? parseVersion(v, opt.swMajor, opt.swMinor)
                                            : parseVersion(v, opt.newSwMajor, opt.newSwMinor);
            if (!ok) {
                std::cerr << "esc-sim: bad version '" << v << "'\n";
                return 2;
            }
        } else if (a == "--description" || a == "--description-zh") {
            value(v);
            if (!readFile(v, a == "--description" ? opt.description : opt.descriptionChinese)) {
                std::cerr << "esc-sim: cannot read '" << v << "'\n";
                return 2;
            }
        } else if (a == "--access-code") {
            value(opt.accessCode);
        } else if (a == "--telemetry-hz") {
            value(v);
            char* end = nullptr;
            opt.telemetryHz = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || opt.telemetryHz < 0 || opt.telemetryHz > 1000) {
                std::cerr << "esc-sim: bad telemetry rate '" << v << "'\n";
                return 2;
            }
        } else if (a == "--status") {
            value(v);
            char* end = nullptr;
            const unsigned long bits = std::strtoul(v.c_str(), &end, 16);
            if (v.empty() || *end != '\0' || v[0] == '-' || bits > 0xFFFF) {
                std::cerr << "esc-sim: bad status word '" << v << "'\n";
                return 2;
            }
            opt.statusBits = uint16_t(bits);
        } else if (a == "--register-fault") {
            value(v);
            RegisterFault f;
            if (!parseRegisterFault(v, f)) {
                std::cerr << "esc-sim: bad register fault '" << v << "'\n";
                return 2;
            }
            faults.push_back(f);
        } else if (a == "--swap") {
            value(v);
            escsim::NodeSwap swap;
            if (!parseSwap(v, swap)) {
                std::cerr << "esc-sim: bad swap '" << v << "'\n";
                return 2;
            }
            opt.swaps.push_back(swap);
        } else if (a == "--swap-after-heartbeat-0") {
            opt.heartbeatZeroBeforeSwap = true;
        } else if (a == "--slow-info") {
            value(v);
            std::pair<uint8_t, unsigned> slow;
            if (!parseSlowInfo(v, slow)) {
                std::cerr << "esc-sim: bad slow info '" << v << "'\n";
                return 2;
            }
            opt.slowInfo.push_back(slow);
        } else if (a == "--baud-limit") {
            opt.baudLimit = true;
        } else if (a == "--link") {
            value(linkPath);
        } else if (a == "--save-image") {
            value(savePrefix);
        } else if (a == "--quiet") {
            quiet = true;
        } else {
            std::cerr << "esc-sim: unknown option '" << a << "'\n";
            usage(std::cerr);
            return 2;
        }
    }
    // Options that name a node must name one on the bus.
    std::vector<std::pair<uint8_t, const char*>> named;
    for (const RegisterFault& f : faults)
        named.emplace_back(f.node, "register fault for");
    for (const auto& n : opt.nodeNames)
        named.emplace_back(n.first, "name for");
    for (const escsim::NodeSwap& swap : opt.swaps)
        named.emplace_back(swap.node, "swap of");
    for (const auto& slow : opt.slowInfo)
        named.emplace_back(slow.first, "slow info of");
    for (const auto& [node, what] : named) {
        if (std::find(opt.nodes.begin(), opt.nodes.end(), node) == opt.nodes.end()) {
            std::cerr << "esc-sim: " << what << " node " << int(node) << ", which is not on the bus\n";
            return 2;
        }
    }
    if (!quiet)
        opt.log = [](const std::string& line) { std::cerr << "esc-sim: " << line << std::endl; };

    escsim::Bus bus(opt);
    if (!savePrefix.empty()) {
        bus.setImageCallback([savePrefix](uint8_t node, int part, const std::vector<uint8_t>& img) {
            const std::string name =
                savePrefix + "-node" + std::to_string(node) + "-part" + std::to_string(part) + ".bin";
            std::ofstream out(name, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(img.data()), std::streamsize(img.size()));
            std::cerr << "esc-sim: saved " << name << (out ? "" : " FAILED") << std::endl;
        });
    }

    std::string error;
    const std::string path = bus.start(&error);
    if (path.empty()) {
        std::cerr << "esc-sim: cannot create a pseudo-terminal: " << error << "\n";
        return 1;
    }
    for (const RegisterFault& f : faults)
        bus.setRegisterFault(f.node, f.reg, f.opState);
    if (!linkPath.empty() && !pointLink(linkPath, path))
        return 1;

    std::cout << path << std::endl; // the first line, flushed: callers wait for it

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sa.sa_handler = onReplugSignal;
    ::sigaction(SIGUSR2, &sa, nullptr);
    sa.sa_handler = onSwapSignal;
    ::sigaction(SIGUSR1, &sa, nullptr);

    int result = 0;
    while (!g_quit && result == 0) {
        bus.runOnce(100);
        if (g_replug) {
            g_replug = 0;
            result = replugAdapter(bus, linkPath) ? 0 : 1;
        }
        if (g_swap) {
            g_swap = 0;
            bus.swapNodes();
        }
    }

    // Ours only: a file of the user's that took its place stays.
    struct stat st {};
    if (!linkPath.empty() && ::lstat(linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(linkPath.c_str());
    return result;
}
