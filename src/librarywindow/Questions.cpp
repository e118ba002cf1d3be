#include "Questions.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

namespace vkv::librarywindow {

Questions::Questions(QWidget *window) {
    ask = [window](const QString &title, const QString &label, const QString &text,
                   bool multiLine) {
        bool ok = false;
        const QString answer =
            multiLine ? QInputDialog::getMultiLineText(window, title, label, text, &ok)
                      : QInputDialog::getText(window, title, label, QLineEdit::Normal, text, &ok);
        return ok ? std::optional<QString>(answer) : std::nullopt;
    };
    chooseFolder = [window](const QString &title, const QString &start) {
        return QFileDialog::getExistingDirectory(window, title, start);
    };
}

std::optional<QString> Questions::text(const QString &title, const QString &label,
                                       const QString &text, bool multiLine) const {
    return ask(title, label, text, multiLine);
}

QString Questions::folder(const QString &title, const QString &start) const {
    return chooseFolder(title, start);
}

void Questions::name(const QString &title, const QString &initial, const TakeName &take) const {
    QString label = QStringLiteral("Name:");
    QString text = initial;
    // A name refused is asked for again, with the reason.
    while (const auto answer = ask(title, label, text, false)) {
        const auto refused = take(answer->trimmed());
        if (!refused)
            return;
        label = *refused + QStringLiteral("\n\nName:");
        text = *answer;
    }
}

QString Questions::quoted(const QString &name) {
    return QStringLiteral("\u201c%1\u201d").arg(name);
}

} // namespace vkv::librarywindow
