#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace vkv::jack {

// Makes sure that a JACK port object's open reached the device. RtMidi's JACK open registers a
// port and asks the server once to connect it with the device, and ignores the answer; the server
// refuses while the device's client is not active yet (a program that registers its port before it
// activates), and the open then looks done with nothing able to arrive. Made just before such an
// open, it finds the port the open made (the program's own clients' ports are told by their names)
// and asks the server for the connection again until the device's client takes it, for at most
// the time it is given; past it, the open is no open.
class JackOpenCheck {
public:
    // How long a device's program is given to become active: it usually does within a cycle of
    // the server once its port is there. One that takes longer is not waited for here: JACK
    // announces its ports once it is active, and the port is opened again then.
    static constexpr std::chrono::milliseconds Wait{250};

    // `ownClient`: the port object's client (OutClientName, InClientName); `ownPort`: the name its
    // open gives its port; `output`: the port sends to the device.
    JackOpenCheck(const char *ownClient, const char *ownPort, bool output);

    // After the open: true once the new port is connected with `device` ("client:port"), within
    // `wait`. False, with why() saying so, when the device never took the connection.
    bool connected(const std::string &device, std::chrono::milliseconds wait);
    const std::string &why() const { return why_; }

private:
    std::vector<std::string> ownPorts() const;

    std::string ownClient, ownPort;
    bool output;
    std::vector<std::string> before; // the own ports of that name before the open
    std::string why_;
};

} // namespace vkv::jack
