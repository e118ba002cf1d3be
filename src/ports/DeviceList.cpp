#include "DeviceList.h"

#include "Backend.h"

#include <cstring>

namespace vkv::ports {

int listDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                std::array<ListedDevice, MaxDevs> &listed) {
    int count = 0;
    for (std::size_t i = 0; i < names.size() && count < MaxDevs; ++i) {
        if (backendapi::isOwnPort(names[i]))
            continue;
        listed[count] = {names[i], static_cast<int>(i)};
        std::memset(caps[count].szPname, 0, sizeof caps[count].szPname);
        std::strncpy(caps[count].szPname, names[i].c_str(), sizeof caps[count].szPname - 1);
        ++count;
    }
    return count;
}

int findPort(const std::vector<std::string> &now, const ListedDevice &listed) {
    if (listed.index >= 0 && listed.index < static_cast<int>(now.size()) &&
        now[listed.index] == listed.name)
        return listed.index;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] == listed.name)
            return static_cast<int>(i);
    return -1;
}

bool relistDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                   std::array<ListedDevice, MaxDevs> &listed, int &count, int &open,
                   std::string &gone) {
    std::array<DeviceCaps, MaxDevs> newCaps{};
    std::array<ListedDevice, MaxDevs> newListed{};
    const int newCount = listDevices(names, newCaps, newListed);
    bool changed = newCount != count;
    for (int n = 0; n < newCount && !changed; ++n)
        changed = newListed[n].name != listed[n].name;
    if (!changed)
        return false;
    int newOpen = -1;
    if (open >= 0 && open < count) {
        for (int n = 0; n < newCount && newOpen < 0; ++n)
            if (newListed[n].name == listed[open].name)
                newOpen = n;
        if (newOpen < 0)
            gone = listed[open].name;
    }
    caps = newCaps;
    listed = newListed;
    count = newCount;
    open = newOpen;
    return true;
}

} // namespace vkv::ports
