#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace vkv::librarywindow {

// What the library's window asks the user: a text (a name, notes, tags, a time, a number), a
// folder, or yes or no. Dialogs over the window by default; tests give their own answers.
class Questions {
public:
    using Ask = std::function<std::optional<QString>(const QString &title, const QString &label,
                                                     const QString &text, bool multiLine)>;
    using ChooseFolder = std::function<QString(const QString &title, const QString &start)>;
    using Confirm = std::function<bool(const QString &title, const QString &text)>;
    // What an answer (a name, a number) was refused for, or nothing when it was taken.
    using Take = std::function<std::optional<QString>(const QString &answer)>;

    // The dialogs open over `window`.
    explicit Questions(QWidget *window);

    void setAsk(Ask ask) { this->ask = std::move(ask); }
    void setChooseFolder(ChooseFolder choose) { chooseFolder = std::move(choose); }
    void setConfirm(Confirm confirm) { this->confirm = std::move(confirm); }

    // The text the user gave; nothing when they gave up.
    std::optional<QString> text(const QString &title, const QString &label, const QString &text,
                                bool multiLine) const;
    // The folder the user chose; "" when they gave up.
    QString folder(const QString &title, const QString &start) const;
    // Asks for a name until `take` takes one or the user gives up; a name refused is asked for
    // again, saying why.
    void name(const QString &title, const QString &initial, const Take &take) const;
    // As name(), for any answer asked for with `label`.
    void until(const QString &title, const QString &label, const QString &initial,
               const Take &take) const;
    // Whether the user said yes to `text` (a delete that cannot be taken back here).
    bool yes(const QString &title, const QString &text) const { return confirm(title, text); }

    // A name as the window's words give it: "“Gig”".
    static QString quoted(const QString &name);

private:
    Ask ask;
    ChooseFolder chooseFolder;
    Confirm confirm;
};

} // namespace vkv::librarywindow
