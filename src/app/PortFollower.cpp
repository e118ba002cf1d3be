#include "PortFollower.h"

#include "PortWatch.h"
#include "Settings.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QComboBox>
#include <QLineEdit>
#include <string>
#include <vector>

namespace vkv::app {

namespace {

template <class Port> QStringList deviceNames(const Port &port) {
    QStringList names;
    for (int n = 0; n < port.NumDevs(); ++n)
        names << QString::fromLocal8Bit(port.DevCaps[n].szPname);
    return names;
}

// Device names, then "None", which is selected.
void fillList(QComboBox *list, const QStringList &devices) {
    list->clear();
    list->addItems(devices);
    list->addItem("None");
    list->setCurrentIndex(static_cast<int>(devices.size()));
}

} // namespace

PortFollower::PortFollower(TMidiOut &out, TMidiIn &in, QComboBox *outList, QComboBox *inList,
                           const Settings &settings, std::function<void()> chooseOut,
                           std::function<void()> chooseIn, QObject *window)
    : out(out), in(in), outList(outList), inList(inList), settings(settings),
      chooseOut(std::move(chooseOut)), chooseIn(std::move(chooseIn)), window(window) {}

PortFollower::~PortFollower() = default;

void PortFollower::listOut() {
    fillList(outList, deviceNames(out));
}

void PortFollower::listIn() {
    fillList(inList, deviceNames(in));
}

void PortFollower::follow() {
    watchPorts();
    followOut();
    followIn();
}

void PortFollower::watchPorts() {
    if (watch)
        return;
    watch = midi::PortWatch::create(
        out.backend(),
        [this] {
            std::vector<std::string> names = out.portNames();
            for (std::string &name : in.portNames())
                names.push_back(std::move(name));
            return names;
        },
        window);
    QObject::connect(watch.get(), &midi::PortWatch::changed, window, [this] { portsChanged(); });
}

void PortFollower::portsChanged() {
    if (out.relist())
        followOut();
    if (in.relist())
        followIn();
}

void PortFollower::followOut() {
    const int wanted = out.deviceByKey(settings.outPort().toStdString());
    followChoice(outList, deviceNames(out), wanted,
                 out.Using() && out.OpenResult() == midi::Result::NoError && out.Port() == wanted,
                 chooseOut);
}

void PortFollower::followIn() {
    const int wanted = in.deviceByKey(settings.inPort().toStdString());
    followChoice(inList, deviceNames(in), wanted,
                 in.Using() && in.OpenResult() == midi::Result::NoError && in.Port() == wanted,
                 chooseIn);
}

void PortFollower::followChoice(QComboBox *list, const QStringList &devices, int wanted,
                                bool openThere, const std::function<void()> &choose) {
    // Text the user is typing into the list stays.
    const QString typed = list->currentText();
    const bool typing =
        list->lineEdit()->hasFocus() && typed != list->itemText(list->currentIndex());
    fillList(list, devices);
    if (wanted >= 0) {
        list->setCurrentIndex(wanted);
        if (!openThere)
            choose();
    }
    if (typing)
        list->setEditText(typed);
}

} // namespace vkv::app
