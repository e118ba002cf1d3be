#pragma once

#include <array>
#include <string>
#include <vector>

// The devices a port component lists: the back end's ports of other programs, at most MaxDevs,
// named as the component publishes them and found again by name as ports come and go. Plain C++.
namespace vkv::ports {

// One listed device, as the port components publish it.
struct DeviceCaps {
    char szPname[32]; // device name, NUL-terminated, at most 31 characters
};
constexpr int MaxDevs = 12; // devices beyond the twelfth are never listed

// A listed device as the back end named and numbered it, to find it again at open time.
struct ListedDevice {
    std::string name;
    int index = -1;
};

// Lists the back end's ports `names` as a port component publishes them: other programs' ports
// only, at most MaxDevs, their names cut to 31 characters in `caps` and kept whole in `listed`.
// Returns how many were listed.
int listDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                std::array<ListedDevice, MaxDevs> &listed);

// Finds the current index of a listed port among the back end's ports `now`: its index when it
// was listed if the name there still matches, otherwise the first port of that name; -1 when
// it is gone.
int findPort(const std::vector<std::string> &now, const ListedDevice &listed);

// Lists a port component's devices again from the back end's ports `names`, as listDevices does;
// false, changing nothing, when the list is the one it had. `open` is the open device's number (or
// -1) and becomes its new one; when it is gone, -1, with its name in `gone`.
bool relistDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                   std::array<ListedDevice, MaxDevs> &listed, int &count, int &open,
                   std::string &gone);

} // namespace vkv::ports
