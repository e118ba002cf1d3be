#include "OwnPortsDesk.h"

#include "OwnPorts.h"
#include "PortFollower.h"
#include "Settings.h"
#include "TMidiOut.h"

#include <QAbstractButton>

namespace vkv::app {

OwnPortsDesk::OwnPortsDesk(TMidiOut &out, const PortFollower &follower, QAbstractButton *offer,
                           Settings &settings, ShortMessage incoming, QObject *window)
    : QObject(window), offer(offer), settings(settings), own(new ports::OwnPorts(this)) {
    own->setObjectName("OwnPorts");
    own->OnShort = std::move(incoming);
    out.OnHoldMessages = [this](bool hold) { own->HoldMessages(hold); };
    offer->setChecked(settings.ownPorts());
    connect(offer, &QAbstractButton::toggled, this, [this](bool on) {
        this->settings.setOwnPorts(on);
        offerAsChecked();
    });
    connect(&follower, &PortFollower::ready, this, [this](backendapi::Backend ready) {
        backend = ready;
        offerAsChecked();
    });
    connect(own, &ports::OwnPorts::changed, this, &OwnPortsDesk::showState);
    showState();
}

void OwnPortsDesk::put(char status, char data1, char data2) {
    own->Put(status, data1, data2);
}

void OwnPortsDesk::setTap(midi::MidiTap *tap) {
    own->setTap(tap);
}

void OwnPortsDesk::offerAsChecked() {
    own->offer(backend, offer->isChecked());
}

void OwnPortsDesk::showState() {
    const QString client = QString::fromStdString(own->clientName());
    if (own->offered())
        offer->setToolTip(QStringLiteral("Other programs connect to \"%1:Knobs\", which sends what "
                                         "the virtual box sends, and to \"%1:Motors\", which "
                                         "takes messages for it")
                              .arg(client));
    else
        offer->setToolTip(QStringLiteral("Offer MIDI ports of the program's own, \"Knobs\" and "
                                         "\"Motors\", for other programs to connect to"));
}

} // namespace vkv::app
