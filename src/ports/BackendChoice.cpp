// Which back end's own client and port watch the program makes: the one place that knows every
// back end. OwnClient and PortWatch are declared below the back ends, which fill them; their
// makers are defined here, above them.
#include "AlsaOwnClient.h"
#include "AlsaPortWatch.h"
#include "JackOwnClient.h"
#include "JackPortWatch.h"
#include "MidiLog.h"
#include "OwnClient.h"
#include "PortWatch.h"

namespace vkv::backendapi {

std::unique_ptr<OwnClient> OwnClient::make(Backend backend, std::shared_ptr<OwnPortLink> link,
                                           const std::string &wanted) {
    switch (backend) {
    case Backend::Alsa:
        return alsa::AlsaOwnClient::make(std::move(link), wanted);
    case Backend::Jack:
        return jack::JackOwnClient::make(std::move(link), wanted);
    default:
        return nullptr;
    }
}

std::unique_ptr<PortWatch> PortWatch::create(Backend backend, ListNames names, QObject *parent) {
    std::unique_ptr<PortWatch> watch;
    if (backend == Backend::Alsa)
        watch = alsa::AlsaPortWatch::create(parent);
    else if (backend == Backend::Jack)
        watch = std::make_unique<jack::JackPortWatch>(parent);
    if (!watch)
        watch = std::make_unique<PollingPortWatch>(std::move(names), PollMs, parent);
    qCInfo(lcMidi, "watching the ports by %s", watch->how());
    return watch;
}

} // namespace vkv::backendapi
