// The .syx open path: any bytes, any length, as a file opened through the main window, which
// takes it into the image, reloads the pages and rebuilds the virtual box; then a few pots and
// buttons, chosen by the input, are shown on the pages.
#include "FuzzSupport.h"
#include "TForm1.h"
#include "WindowControls.h"

#include <QSpinBox>
#include <algorithm>
#include <cstring>

namespace {
TForm1 *form = nullptr;
}

// The window is made here, where its seconds of set-up count against no input's time limit.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::startApplication();
    form = new TForm1(vkv::backendapi::Backend::None);
    fuzz::endAtExit([] {
        delete form;
        form = nullptr;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // An empty file is refused with a modal message box; the tests cover it.
    if (size == 0)
        return 0;
    const QString path = fuzz::writeInput("input.syx", data, size);
    fuzz::check(form->OpenSysexFile(path), "a readable file opens");
    const std::size_t taken = std::min<std::size_t>(size, vkv::image::DumpSize);
    fuzz::check(std::memcmp(form->image().raw(), data, taken) == 0, "the image holds the file");
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 4); ++i) {
        form->ui->PotNumber->setValue(data[i]);
        form->ui->ButtNumber->setValue(data[i] & 0x7F);
    }
    fuzz::check(std::memcmp(form->image().raw(), data, taken) == 0, "showing changes nothing");
    return 0;
}
