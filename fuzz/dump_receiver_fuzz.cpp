// The dump receiver behind the main window: any stream of SysEx chunks of 0 to 128 bytes, as the
// input port raises them, and what a completed dump does to the image and the pages. Each chunk
// is one length byte (taken modulo 129) and that many bytes.
#include "CaptureWriter.h"
#include "DumpReceiver.h"
#include "FuzzSupport.h"
#include "TForm1.h"
#include "TransferDesk.h"
#include "WindowControls.h"

#include <QLabel>
#include <QSpinBox>
#include <algorithm>
#include <vector>

namespace {
TForm1 *form = nullptr;
}

// The window is made here, where its seconds of set-up count against no input's time limit.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::startApplication();
    form = new TForm1(vkv::backendapi::Backend::None);
    // The receiver is under test, not the library of configurations, which records each whole
    // dump through Qt SQL on a thread of its own and has tests of its own: left out, nothing of
    // Qt SQL runs, and no capture is under way as the process ends.
    auto *transfers = form->findChild<vkv::app::TransferDesk *>();
    auto *captures = form->findChild<vkv::library::CaptureWriter *>();
    fuzz::check(transfers && captures, "the window records its transfers");
    QObject::disconnect(transfers, nullptr, captures, nullptr);
    fuzz::endAtExit([] {
        delete form;
        form = nullptr;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    form->MidiIn1SysExBroken(nullptr); // forget a message that an earlier input left under way
    using Outcome = vkv::transfer::DumpReceiver::Outcome;
    vkv::transfer::DumpReceiver receiver; // the same stream, watched from outside
    const vkv::image::DumpBytes before = form->image().bytes();
    bool done = false;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at] % 129, size - at - 1);
        ++at;
        // A copy of its own, so a read past the chunk's end is caught.
        std::vector<char> chunk(data + at, data + at + length);
        at += length;
        const Outcome outcome = receiver.chunk(reinterpret_cast<const std::uint8_t *>(chunk.data()),
                                               static_cast<int>(chunk.size()));
        form->MidiIn1SysEx(nullptr, chunk.data(), static_cast<int>(chunk.size()));
        if (outcome == Outcome::Done) {
            done = true;
            fuzz::check(form->image().bytes() == receiver.area(), "a whole dump is taken");
            fuzz::check(form->ui->SysexReceiveCount->text() == "Done !!", "and said so");
        }
    }
    if (!done)
        fuzz::check(form->image().bytes() == before, "nothing but a whole dump changes the image");
    if (size > 0) {
        form->ui->PotNumber->setValue(data[0]);
        form->ui->ButtNumber->setValue(data[size - 1] & 0x7F);
    }
    return 0;
}
