#include "HoldQueue.h"

namespace vkv::midi {

int HoldQueue::keyOf(const Message &message) {
    if (message.sysEx || message.bytes.empty())
        return -1;
    const unsigned char status = message.bytes[0];
    switch (status & 0xF0) {
    case 0xA0: // poly aftertouch: per note
    case 0xB0: // controller: per number
        return message.bytes.size() >= 2 ? status << 8 | message.bytes[1] : -1;
    case 0xD0: // channel aftertouch and pitch bend: their data bytes are the value
    case 0xE0:
        return status << 8;
    default:
        return -1;
    }
}

void HoldQueue::add(const unsigned char *bytes, std::size_t length, bool sysEx) {
    if (bytes == nullptr || length == 0)
        return;
    Entry entry{{std::vector<unsigned char>(bytes, bytes + length), sysEx}};
    entry.key = keyOf(entry.message);
    if (entry.key >= 0) {
        const auto found = latest.find(entry.key);
        if (found != latest.end()) {
            held.erase(found->second);
            latest.erase(found);
            ++replacedCount;
        }
    }
    held.push_back(std::move(entry));
    if (held.back().key >= 0)
        latest[held.back().key] = std::prev(held.end());
    while (held.size() > Cap && !held.empty()) {
        const std::size_t before = held.size();
        dropOldest();
        if (held.size() == before)
            break; // nothing but SysEx left to drop
    }
}

void HoldQueue::dropOldest() {
    auto victim = held.end();
    for (auto it = held.begin(); it != held.end(); ++it) {
        if (it->key >= 0) {
            victim = it;
            break;
        }
        if (victim == held.end() && !it->message.sysEx)
            victim = it; // the oldest short message, should no replaceable one be held
    }
    if (victim == held.end())
        return;
    if (victim->key >= 0)
        latest.erase(victim->key);
    held.erase(victim);
    ++droppedCount;
}

std::vector<HoldQueue::Message> HoldQueue::take() {
    std::vector<Message> out;
    out.reserve(held.size());
    for (auto &entry : held)
        out.push_back(std::move(entry.message));
    held.clear();
    latest.clear();
    replacedCount = droppedCount = 0;
    return out;
}

std::size_t HoldQueue::clear() {
    const std::size_t count = held.size();
    held.clear();
    latest.clear();
    replacedCount = droppedCount = 0;
    return count;
}

} // namespace vkv::midi
