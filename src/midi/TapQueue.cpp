#include "TapQueue.h"

#include <iterator>

namespace vkv::midi {

void TapQueue::passed(Direction direction, const std::string &port, Piece piece,
                      const unsigned char *bytes, std::size_t length) {
    Entry entry{Clock::now(), direction, piece, port,
                std::vector<unsigned char>(bytes, bytes + length)};
    std::lock_guard lock(mutex);
    if (kept.size() >= cap) {
        kept.pop_front();
        ++dropped;
    }
    kept.push_back(std::move(entry));
}

TapQueue::Taken TapQueue::take() {
    Taken taken;
    std::lock_guard lock(mutex);
    taken.entries.assign(std::make_move_iterator(kept.begin()),
                         std::make_move_iterator(kept.end()));
    kept.clear();
    taken.dropped = dropped;
    dropped = 0;
    return taken;
}

} // namespace vkv::midi
