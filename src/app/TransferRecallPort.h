#pragma once

#include "RecallPort.h"

#include <QObject>
#include <functional>

namespace vkv::recall {
class Recaller;
}

namespace vkv::app {

class TransferDesk;

// A recall's way to the box through the main window's transfers: paced at the File page's speed on
// the chosen MIDI OUT port, checked with the box as asked, the editor's configuration never
// touched. How each send and check went reaches the recaller from the event loop, never from
// inside its own call; stop() silences what a send already told it was over.
class TransferRecallPort : public QObject, public recall::RecallPort {
    Q_OBJECT
public:
    // `speed`: the File page's, in bytes a second.
    TransferRecallPort(TransferDesk &transfers, std::function<int()> speed,
                       QObject *parent = nullptr);
    void setRecaller(recall::Recaller *told) { recaller = told; }

    void send(const image::DumpBytes &dump, bool verify) override;
    int stop() override;
    QString outName() const override;
    QString inName() const override;
    int bytesPerSecond() const override { return speed(); }

private:
    // Runs `tell` from the event loop, unless a stop or another send came first.
    void later(const std::function<void(recall::Recaller &)> &tell);

    TransferDesk &transfers;
    std::function<int()> speed;
    recall::Recaller *recaller = nullptr;
    unsigned sends = 0; // counts sends and stops
};

} // namespace vkv::app
