#include "HoldQueue.h"

#include "MidiMessage.h"

#include <algorithm>

namespace vkv::midi {

namespace {

// Controllers whose every message, in its order, counts.
bool neverMerged(unsigned char controller) {
    switch (controller) {
    case 0:  // bank select
    case 32: // its second byte
    case 6:  // data entry
    case 38:
    case 96: // data increment
    case 97: // data decrement
    case 98: // non-registered parameter number
    case 99:
    case 100: // registered parameter number
    case 101:
        return true;
    default:
        return controller >= 120; // channel mode messages
    }
}

} // namespace

int HoldQueue::keyOf(const Message &message) {
    if (message.sysEx || message.bytes.empty())
        return -1;
    const unsigned char status = message.bytes[0];
    switch (status & 0xF0) {
    case 0xB0: // controller: per number
        if (message.bytes.size() < 2 || neverMerged(message.bytes[1]))
            return -1;
        [[fallthrough]];
    case 0xA0: // poly aftertouch: per note
        return message.bytes.size() >= 2 ? status << 8 | message.bytes[1] : -1;
    case 0xD0: // channel aftertouch and pitch bend: their data bytes are the value
    case 0xE0:
        return status << 8;
    default:
        return -1;
    }
}

int HoldQueue::orderOf(const Message &message) {
    if (message.sysEx || message.bytes.empty())
        return 16;
    const unsigned char status = message.bytes[0];
    if (status >= FirstRealTime)
        return -1; // a clock may stand anywhere
    if (status >= 0xF0)
        return 16;
    return keyOf(message) < 0 ? status & 0x0F : -1;
}

void HoldQueue::add(const unsigned char *bytes, std::size_t length, bool sysEx) {
    if (bytes == nullptr || length == 0)
        return;
    Entry entry{{std::vector<unsigned char>(bytes, bytes + length), sysEx}, -1, ++added};
    entry.key = keyOf(entry.message);
    if (const int channel = orderOf(entry.message); channel >= 0)
        lastOrdered[static_cast<std::size_t>(channel)] = entry.seq;
    if (entry.key >= 0) {
        const auto found = latest.find(entry.key);
        const std::uint64_t since =
            std::max(lastOrdered[entry.message.bytes[0] & 0x0F], lastOrdered[16]);
        if (found != latest.end() && found->second->seq > since) {
            found->second->message = std::move(entry.message);
            found->second->seq = entry.seq;
            ++replacedCount;
            return;
        }
    }
    held.push_back(std::move(entry));
    if (held.back().key >= 0)
        latest[held.back().key] = std::prev(held.end());
    while (held.size() > Cap) {
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
            victim = it; // the oldest short message, should no mergeable one be held
    }
    if (victim == held.end())
        return;
    if (victim->key >= 0) {
        const auto found = latest.find(victim->key);
        if (found != latest.end() && found->second == victim)
            latest.erase(found);
    }
    held.erase(victim);
    ++droppedCount;
}

std::vector<HoldQueue::Message> HoldQueue::take() {
    std::vector<Message> out;
    out.reserve(held.size());
    for (auto &entry : held)
        out.push_back(std::move(entry.message));
    clear();
    return out;
}

std::size_t HoldQueue::clear() {
    const std::size_t count = held.size();
    held.clear();
    latest.clear();
    lastOrdered.fill(0);
    replacedCount = droppedCount = 0;
    return count;
}

std::string HoldQueue::summary() const {
    if (replacedCount == 0 && droppedCount == 0)
        return {};
    return "while held, " + std::to_string(replacedCount) +
           " messages were replaced by newer values and " + std::to_string(droppedCount) +
           " dropped at the cap of " + std::to_string(Cap);
}

} // namespace vkv::midi
