#include "Backend.h"

#include <algorithm>
#include <string_view>

namespace vkv::backendapi {

const char *const ClientName = "Virtual Korvane Vela";
const char *const OutClientName = "vkvela MIDI OUT";
const char *const InClientName = "vkvela MIDI IN";
const char *const WatchClientName = "vkvela watch";

std::string ownClientName(int instance) {
    return instance <= 1 ? std::string(ClientName)
                         : std::string(ClientName) + " " + std::to_string(instance);
}

namespace {

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `client` is `name`, or `name` followed by `separator` and a number.
bool isNamed(std::string_view client, std::string_view name, char separator) {
    if (client.substr(0, name.size()) != name)
        return false;
    const std::string_view rest = client.substr(name.size());
    return rest.empty() || (rest.front() == separator && allDigits(rest.substr(1)));
}

} // namespace

bool isOwnPort(const std::string &portName) {
    const std::string_view client = std::string_view(portName).substr(0, portName.find(':'));
    // The own ports' clients of every instance: "Virtual Korvane Vela", "Virtual Korvane Vela 2".
    if (isNamed(client, ClientName, ' '))
        return true;
    for (const char *name : {OutClientName, InClientName, WatchClientName})
        if (isNamed(client, name, '-'))
            return true;
    return false;
}

} // namespace vkv::backendapi
