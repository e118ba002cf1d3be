#include "ImageStep.h"

#include <utility>

namespace vkv::image {

namespace {

// QUndoStack offers a step for merging only to a step of the same id; other steps never merge.
constexpr int FieldStepId = 1;

} // namespace

ImageStep::ImageStep(ConfigImage &image, QString &fileName, const DumpBytes &before,
                     QString fileBefore, ImageChange change, TimePoint when, bool mayMerge)
    : image(image), fileName(fileName), other(before), otherFile(std::move(fileBefore)),
      what(std::move(change)), last(when), mayMerge(mayMerge) {}

void ImageStep::undo() {
    swap();
}

void ImageStep::redo() {
    if (!std::exchange(taken, true))
        return; // the change is in the image already
    swap();
}

void ImageStep::swap() {
    std::swap(other, image.bytes());
    std::swap(otherFile, fileName);
}

int ImageStep::id() const {
    return what.kind == ImageChange::Kind::Field ? FieldStepId : -1;
}

bool ImageStep::mergeWith(const QUndoCommand *command) {
    const auto *next = static_cast<const ImageStep *>(command);
    if (!next->mayMerge || !next->what.continues(what) || next->last - last > MergeTime)
        return false;
    // This step keeps the image before the first of them; the image holds the last one's result.
    last = next->last;
    setObsolete(other == image.bytes());
    return true;
}

} // namespace vkv::image
