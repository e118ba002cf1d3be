#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace vkv::librarywindow {

// What the library's window asks the user: a text (a name, notes, tags, a time) or a folder.
// Dialogs over the window by default; tests give their own answers.
class Questions {
public:
    using Ask = std::function<std::optional<QString>(const QString &title, const QString &label,
                                                     const QString &text, bool multiLine)>;
    using ChooseFolder = std::function<QString(const QString &title, const QString &start)>;
    // What a name was refused for, or nothing when it was taken.
    using TakeName = std::function<std::optional<QString>(const QString &name)>;

    // The dialogs open over `window`.
    explicit Questions(QWidget *window);

    void setAsk(Ask ask) { this->ask = std::move(ask); }
    void setChooseFolder(ChooseFolder choose) { chooseFolder = std::move(choose); }

    // The text the user gave; nothing when they gave up.
    std::optional<QString> text(const QString &title, const QString &label, const QString &text,
                                bool multiLine) const;
    // The folder the user chose; "" when they gave up.
    QString folder(const QString &title, const QString &start) const;
    // Asks for a name until `take` takes one or the user gives up; a name refused is asked for
    // again, saying why.
    void name(const QString &title, const QString &initial, const TakeName &take) const;

    // A name as the window's words give it: "“Gig”".
    static QString quoted(const QString &name);

private:
    Ask ask;
    ChooseFolder chooseFolder;
};

} // namespace vkv::librarywindow
