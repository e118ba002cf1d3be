#include "OwnClient.h"

#include <algorithm>

namespace vkv::backendapi {

std::vector<std::string> OwnClient::candidateNames(const std::string &wanted) {
    std::vector<std::string> names;
    if (!wanted.empty())
        names.push_back(wanted);
    for (int instance = 1; instance <= MaxInstances; ++instance) {
        std::string name = ownClientName(instance);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace vkv::backendapi
