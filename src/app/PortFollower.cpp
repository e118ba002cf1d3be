#include "PortFollower.h"

#include "PortWatch.h"
#include "Settings.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <string>
#include <vector>

namespace vkv::app {

namespace {

// The devices as the lists show them, each with its whole name as its tip, then "None", which is
// selected.
void fillList(QComboBox *list, const midi::MidiPort &port) {
    const QStringList shown = port.shownNames();
    list->clear();
    list->addItems(shown);
    for (int n = 0; n < shown.size(); ++n)
        list->setItemData(n, QString::fromStdString(port.deviceName(n)), Qt::ToolTipRole);
    list->addItem("None");
    list->setCurrentIndex(static_cast<int>(shown.size()));
    // Names longer than the list is wide show whole when it drops down.
    QAbstractItemView *view = list->view();
    view->setMinimumWidth(std::max(list->width(), view->sizeHintForColumn(0) + 24));
}

} // namespace

PortFollower::PortFollower(TMidiOut &out, TMidiIn &in, QComboBox *outList, QComboBox *inList,
                           const Settings &settings, std::function<void()> chooseOut,
                           std::function<void()> chooseIn, QObject *window)
    : out(out), in(in), outList(outList), inList(inList), settings(settings),
      chooseOut(std::move(chooseOut)), chooseIn(std::move(chooseIn)), window(window) {}

PortFollower::~PortFollower() = default;

void PortFollower::listOut() {
    fillList(outList, out);
}

void PortFollower::listIn() {
    fillList(inList, in);
}

void PortFollower::follow() {
    watchPorts();
    followOut();
    followIn();
}

void PortFollower::watchPorts() {
    if (watch)
        return;
    watch = midi::PortWatch::create(out.backend(), [this] {
        std::vector<std::string> names = out.portNames();
        for (std::string &name : in.portNames())
            names.push_back(std::move(name));
        return names;
    });
    QObject::connect(watch.get(), &midi::PortWatch::changed, window, [this] { portsChanged(); });
}

void PortFollower::portsChanged() {
    if (out.relist())
        followOut();
    if (in.relist())
        followIn();
}

void PortFollower::followOut() {
    follow(outList, out, settings.outPort(), chooseOut);
}

void PortFollower::followIn() {
    follow(inList, in, settings.inPort(), chooseIn);
}

void PortFollower::follow(QComboBox *list, const midi::MidiPort &port, const QString &remembered,
                          const std::function<void()> &choose) {
    // Text the user is typing into the list stays.
    const QString typed = list->currentText();
    const bool typing =
        list->lineEdit()->hasFocus() && typed != list->itemText(list->currentIndex());
    fillList(list, port);
    if (port.Using() && port.isOpen() && port.OpenResult() == midi::Result::NoError) {
        // Sends, and a paced send under way, stay with the device the user chose, even where
        // another now answers to the name remembered for it.
        list->setCurrentIndex(port.Port());
    } else if (const int wanted = port.findRemembered(remembered.toStdString()); wanted >= 0) {
        list->setCurrentIndex(wanted);
        choose();
    }
    if (typing)
        list->setEditText(typed);
}

} // namespace vkv::app
