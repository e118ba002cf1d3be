#include "PortFollower.h"

#include "PortWatch.h"
#include "Settings.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <string>
#include <vector>

namespace vkv::app {

namespace {

// The devices as the lists show them, each with its whole name as its tip, then "None", which is
// selected.
void fillList(QComboBox *list, const ports::MidiPort &port) {
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

template <class T> bool isReady(const std::future<T> &future) {
    return future.valid() && future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

PortFollower::PortFollower(TMidiOut &out, TMidiIn &in, const Controls &controls, Settings &settings,
                           QObject *window)
    : QObject(window), out(out), in(in), controls(controls), settings(settings), window(window),
      collecting(new QTimer(this)) {
    collecting->setInterval(5);
    connect(collecting, &QTimer::timeout, this, &PortFollower::collect);
    // Typed text that names no device: the chosen item shows again.
    for (QComboBox *list : {controls.outList, controls.inList}) {
        list->setInsertPolicy(QComboBox::NoInsert);
        connect(list->lineEdit(), &QLineEdit::editingFinished, this, [list] {
            if (list->findText(list->currentText(), Qt::MatchExactly) < 0)
                list->setEditText(list->itemText(list->currentIndex()));
        });
    }
}

PortFollower::~PortFollower() = default;

void PortFollower::takeOver(ports::PortsInPreparation ports) {
    preparation = std::move(ports);
    collect();
}

void PortFollower::collect() {
    bool adopted = false;
    if (isReady(preparation.output)) {
        out.adopt(preparation.output.get());
        listOut();
        adopted = true;
    }
    if (isReady(preparation.input)) {
        in.adopt(preparation.input.get());
        listIn();
        adopted = true;
    }
    const bool left = preparation.output.valid() || preparation.input.valid();
    if (left && !collecting->isActive())
        collecting->start();
    else if (!left)
        collecting->stop();
    // Watched on the back end the ports took, once both have it; the remembered ports open.
    if (adopted && !left) {
        follow();
        emit ready(out.backend());
    }
}

void PortFollower::listOut() {
    fillList(controls.outList, out);
}

void PortFollower::listIn() {
    fillList(controls.inList, in);
}

void PortFollower::setSendEnabled(bool enabled) {
    controls.fastSend->setEnabled(enabled);
    controls.send->setEnabled(enabled);
}

void PortFollower::chooseOut() {
    const int i = controls.outList->currentIndex();
    const int n = out.NumDevs();
    if (i < 0 || i > n) // typed text that names no device changes nothing
        return;
    // The choice is remembered whether or not the port opens now: it may open when it comes
    // back, or next time. By its whole name, which tells two boxes of one make apart.
    settings.setOutPort(QString::fromStdString(out.deviceName(i)));
    emit choosing();
    out.SetUsing(false);
    if (i == n) {
        emit said("No MIDI OUT Port Selected", false);
        setSendEnabled(false);
        controls.request->setEnabled(false);
        return;
    }
    out.SetPort(i);
    // Judge the open just made, so a refused device is never shown as selected.
    out.SetUsing(true);
    if (out.OpenResult() != ports::Result::NoError) {
        out.SetUsing(false);
        emit said("MIDI OUT Port not ready!", false);
        setSendEnabled(false);
        controls.request->setEnabled(false);
        return;
    }
    emit said("MIDI OUT Port Selected ...", true);
    setSendEnabled(true);
    if (in.Using())
        controls.request->setEnabled(true);
}

void PortFollower::chooseIn() {
    const int i = controls.inList->currentIndex();
    const int n = in.NumDevs();
    if (i < 0 || i > n) // typed text that names no device changes nothing
        return;
    settings.setInPort(QString::fromStdString(in.deviceName(i)));
    emit choosing();
    in.SetUsing(false);
    if (i == n) {
        emit said("No MIDI IN Port Selected", false);
        controls.request->setEnabled(false);
        return;
    }
    in.SetPort(i);
    in.SetUsing(true);
    if (in.OpenResult() != ports::Result::NoError) {
        in.SetUsing(false);
        emit said("MIDI IN Port not ready!", false);
        controls.request->setEnabled(false);
        return;
    }
    emit said("MIDI IN Port Selected ...", true);
    if (out.Using())
        controls.request->setEnabled(true);
}

void PortFollower::outLost() {
    out.SetUsing(false);
    controls.outList->setCurrentIndex(out.NumDevs());
    emit said("MIDI OUT Port lost: " + QString::fromStdString(out.lostReason()), false);
    setSendEnabled(false);
    controls.request->setEnabled(false);
}

void PortFollower::inLost() {
    in.SetUsing(false);
    controls.inList->setCurrentIndex(in.NumDevs());
    emit said("MIDI IN Port lost: " + QString::fromStdString(in.lostReason()), false);
    controls.request->setEnabled(false);
}

void PortFollower::follow() {
    watchPorts();
    follow(controls.outList, out, settings.outPort(), &PortFollower::chooseOut);
    follow(controls.inList, in, settings.inPort(), &PortFollower::chooseIn);
}

void PortFollower::watchPorts() {
    if (watch)
        return;
    watch = backendapi::PortWatch::create(out.backend(), [this] {
        std::vector<std::string> names = out.portNames();
        for (std::string &name : in.portNames())
            names.push_back(std::move(name));
        return names;
    });
    QObject::connect(watch.get(), &backendapi::PortWatch::changed, window,
                     [this] { portsChanged(); });
}

void PortFollower::portsChanged() {
    // A port whose program did not take the connection yet is opened again at the next word of
    // the ports: a JACK program announces its ports once it is active.
    if (out.relist() || out.deviceNotAnswering())
        follow(controls.outList, out, settings.outPort(), &PortFollower::chooseOut);
    if (in.relist() || in.deviceNotAnswering())
        follow(controls.inList, in, settings.inPort(), &PortFollower::chooseIn);
}

void PortFollower::follow(QComboBox *list, const ports::MidiPort &port, const QString &remembered,
                          void (PortFollower::*choose)()) {
    // Text the user is typing into the list stays.
    const QString typed = list->currentText();
    const bool typing =
        list->lineEdit()->hasFocus() && typed != list->itemText(list->currentIndex());
    fillList(list, port);
    if (port.Using() && port.isOpen() && port.OpenResult() == ports::Result::NoError) {
        // Sends, and a paced send under way, stay with the device the user chose, even where
        // another now answers to the name remembered for it.
        list->setCurrentIndex(port.Port());
    } else if (const int wanted = port.findRemembered(remembered.toStdString()); wanted >= 0) {
        list->setCurrentIndex(wanted);
        (this->*choose)();
    }
    if (typing)
        list->setEditText(typed);
}

} // namespace vkv::app
