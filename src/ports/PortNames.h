#pragma once

#include "DeviceList.h"

#include <array>
#include <string>
#include <vector>

// How ports are named to the user, and found again by a remembered name. Plain C++.
namespace vkv::ports {

// The longest text a port list shows for a port whose text tells it apart from the others.
constexpr std::size_t ShownLength = sizeof(DeviceCaps::szPname) - 1;

// What names a port across plugging it out and in again: its whole name without the
// "client:port" address that RtMidi puts at the end of ALSA port names, since the sequencer
// numbers a client anew each time it comes. Never cut: two ports whose names start alike are
// two ports.
std::string portKey(const std::string &name);

// The listed device that the whole name `remembered` (as deviceName gave it) means now: the one
// of exactly that name (so the address tells two identical boxes apart while it holds); failing
// that, the first whose key is the remembered one's; failing that, a name remembered cut to
// ShownLength characters (as earlier versions kept it) that starts the keys of listed devices,
// when those keys are all the same, the first of them. -1 when none does.
int findRemembered(const std::array<ListedDevice, MaxDevs> &listed, int count,
                   const std::string &remembered);

// The texts a port list shows for the whole names `names`, in their order: each cut to
// ShownLength characters, except where that cut makes two the same: those show their whole
// names, and names that are the same even so get " #2", " #3", ... in list order.
std::vector<std::string> shownNames(const std::vector<std::string> &names);

} // namespace vkv::ports
