#pragma once

#include "ConfigImage.h"
#include "ImageChange.h"

#include <QString>
#include <QUndoCommand>
#include <chrono>

namespace vkv::image {

// One step of the image's history. It keeps the one image that the history's image is not: the
// image before the change while the change is done, the image after it once it is undone. Undo
// and redo both swap the two, so a step costs one image of 1543 bytes, and bytes written outside
// the steps (the frame a store or a send puts on) stay with the image they were written into.
//
// A field step takes in the field steps that follow it on the same field of the same record
// within a second of the last one, so a spin edit held down is one step; the steps it takes in
// are gone. A field step that ends where it began is no step at all.
class ImageStep : public QUndoCommand {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds MergeTime{1000};

    // Made once the change is in `image` and `fileName`: `before` and `fileBefore` are what they
    // held before it. The first redo, which QUndoStack runs as it takes the step, does nothing.
    // `mayMerge`: the step may join the one before it (not right after an undo or redo).
    ImageStep(ConfigImage &image, QString &fileName, const DumpBytes &before, QString fileBefore,
              ImageChange change, TimePoint when, bool mayMerge);

    const ImageChange &change() const { return what; }

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

private:
    void swap();

    ConfigImage &image;
    QString &fileName;
    DumpBytes other;
    QString otherFile;
    ImageChange what;
    TimePoint last;
    bool mayMerge;
    bool taken = false;
};

} // namespace vkv::image
