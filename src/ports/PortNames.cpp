#include "PortNames.h"

#include "AlsaSeqOutput.h"

#include <algorithm>
#include <map>

namespace vkv::ports {

using alsa::AlsaSeqOutput;

std::string portKey(const std::string &name) {
    // "<client>:<port> <client number>:<port number>", as RtMidi lists ALSA ports.
    const auto space = name.find_last_of(' ');
    int client = 0, port = 0;
    if (space != std::string::npos && AlsaSeqOutput::parseAddress(name, &client, &port))
        return name.substr(0, space);
    return name;
}

int findRemembered(const std::array<ListedDevice, MaxDevs> &listed, int count,
                   const std::string &remembered) {
    if (remembered.empty())
        return -1;
    count = std::min(count, MaxDevs);
    for (int n = 0; n < count; ++n)
        if (listed[n].name == remembered)
            return n;
    const std::string key = portKey(remembered);
    for (int n = 0; n < count; ++n)
        if (portKey(listed[n].name) == key)
            return n;
    if (remembered.size() != ShownLength)
        return -1;
    int found = -1;
    for (int n = 0; n < count; ++n) {
        const std::string listedKey = portKey(listed[n].name);
        if (listedKey.compare(0, ShownLength, remembered) != 0)
            continue;
        if (found < 0)
            found = n;
        else if (listedKey != portKey(listed[found].name))
            return -1; // which of the two it was can no longer be told
    }
    return found;
}

namespace {

// The first ShownLength bytes, never ending inside a character of UTF-8.
std::string cut(const std::string &name) {
    std::size_t length = std::min(name.size(), ShownLength);
    while (length > 0 && length < name.size() && (name[length] & 0xC0) == 0x80)
        --length;
    return name.substr(0, length);
}

} // namespace

std::vector<std::string> shownNames(const std::vector<std::string> &names) {
    std::vector<std::string> shown;
    std::map<std::string, int> cuts;
    for (const std::string &name : names)
        ++cuts[cut(name)];
    std::map<std::string, int> seen;
    for (const std::string &name : names) {
        std::string text = cut(name);
        if (cuts[text] > 1) {
            text = name;
            if (const int same = ++seen[text]; same > 1)
                text += " #" + std::to_string(same);
        }
        shown.push_back(std::move(text));
    }
    return shown;
}

} // namespace vkv::ports
