#pragma once

#include <string>

// Which MIDI service the ports use, and the names the program's clients go by on it: what the
// ports and every back end agree on. Plain C++.
namespace vkv::backendapi {

enum class Backend { Auto, Alsa, Jack, None };

// The client that offers the program's own ports (see OwnPorts), as a device's name: never a
// setting's, never numbered by the back end. A second instance of the program offers "<ClientName>
// 2", a third "<ClientName> 3" (ownClientName). The program's other clients have names of their
// own, none of them starting with this one: "Virtual Korvane Vela" is always this one client, and
// aconnect or jack_connect find it by that name.
extern const char *const ClientName;
// The clients through which the MIDI OUT and MIDI IN ports reach the box, and the one that watches
// the system's ports and the JACK server.
extern const char *const OutClientName;
extern const char *const InClientName;
extern const char *const WatchClientName;
// The name instance `instance` (from 1) of the program offers its own ports under.
std::string ownClientName(int instance);

// Whether a port ("client:port") belongs to the program, this instance or another: offering it
// would let the user connect the program to itself, and a motorized knob's echo would then come
// back in without end. JACK names a second client of a name in use "<name>-01".
bool isOwnPort(const std::string &portName);

} // namespace vkv::backendapi
