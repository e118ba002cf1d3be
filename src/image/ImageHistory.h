#pragma once

#include "ConfigImage.h"
#include "ImageChange.h"

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <chrono>
#include <functional>

namespace vkv::image {

// The configuration image with its history of changes, which undo and redo walk. It holds the
// image: others read it, and change it only through change(), which keeps every change as one
// step, so no change escapes the history. Undo and redo put the whole image back as it was, with
// the name of the file it came from, and say which change they took back or made again, so that
// what shows the image refreshes as that change did.
//
// Up to StepLimit steps are kept, the oldest going first; a new change drops the steps undone
// before it. Each step costs at most one image of 1543 bytes.
class ImageHistory : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr int StepLimit = 1000;

    // Starts from `start` with nothing to undo. `clock` times the steps for merging (the steady
    // clock when empty; tests give their own).
    explicit ImageHistory(const ConfigImage &start = ConfigImage(), Clock clock = {},
                          QObject *parent = nullptr);
    ~ImageHistory() override;

    const ConfigImage &image() const { return current; }
    // The file the image was last opened from; empty before the first open.
    const QString &fileName() const { return file; }

    // The one way to change the image: runs `edit` on it and keeps what it changed as one step,
    // described by `change`. An Open change also takes `change.file` as the file name. A change
    // that leaves the image and the file name as they were is no step. A change asked for while
    // another runs (a page's handlers set off by the controls the outer change sets) is part of
    // the outer one's step.
    void change(const ImageChange &change, const std::function<void(ConfigImage &)> &edit);

    // Writes the dump's header and end byte, as every store and send does first. No step: they
    // frame the configuration and are no part of it, and a store or a send changes nothing the
    // user would want back.
    void frame();

    // Take back the last step, or make the last undone one again; false when there is none (or a
    // change is under way). Then restored() says which change it was.
    bool undo();
    bool redo();
    int undoSteps() const { return stack.index(); }
    int redoSteps() const { return stack.count() - stack.index(); }

signals:
    // A change made a step: whatever shows the image shows it anew. Once a change and all the
    // changes within it are done; none for a change that changed nothing.
    void changed(const vkv::image::ImageChange &change);
    // The image is back to what it was before `change` (undone) or after it (redone).
    void restored(const vkv::image::ImageChange &change);

private:
    ConfigImage current;
    QString file;
    Clock clock;
    bool changing = false;
    bool undoneOrRedone = false; // the next step joins no step before it
    QUndoStack stack;            // last: its steps refer to the image and the file name
};

} // namespace vkv::image
