#include "ImageHistory.h"

#include "ImageStep.h"

#include <utility>

namespace vkv::image {

ImageHistory::ImageHistory(const ConfigImage &start, Clock clock, QObject *parent)
    : QObject(parent), current(start), clock(std::move(clock)) {
    if (!this->clock)
        this->clock = [] { return std::chrono::steady_clock::now(); };
    stack.setUndoLimit(StepLimit);
}

ImageHistory::~ImageHistory() = default;

void ImageHistory::change(const ImageChange &what, const std::function<void(ConfigImage &)> &edit) {
    if (changing) {
        edit(current);
        return;
    }
    const DumpBytes before = current.bytes();
    QString fileBefore = file;
    const auto keep = [&] {
        changing = false;
        if (what.kind == ImageChange::Kind::Open)
            file = what.file;
        if (current.bytes() == before && file == fileBefore)
            return false;
        stack.push(new ImageStep(current, file, before, std::move(fileBefore), what, clock(),
                                 !std::exchange(undoneOrRedone, false)));
        return true;
    };
    changing = true;
    try {
        edit(current);
    } catch (...) {
        if (keep()) // what it wrote before it failed is undone like any change
            emit changed(what);
        throw;
    }
    if (keep())
        emit changed(what);
}

void ImageHistory::frame() {
    current.frame();
}

bool ImageHistory::undo() {
    if (changing || !stack.canUndo())
        return false;
    const ImageChange what =
        static_cast<const ImageStep *>(stack.command(stack.index() - 1))->change();
    stack.undo();
    undoneOrRedone = true;
    emit restored(what);
    return true;
}

bool ImageHistory::redo() {
    if (changing || !stack.canRedo())
        return false;
    const ImageChange what = static_cast<const ImageStep *>(stack.command(stack.index()))->change();
    stack.redo();
    undoneOrRedone = true;
    emit restored(what);
    return true;
}

} // namespace vkv::image
