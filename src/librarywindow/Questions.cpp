#include "Questions.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

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
    confirm = [window](const QString &title, const QString &text) {
        return QMessageBox::question(window, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
}

std::optional<QString> Questions::text(const QString &title, const QString &label,
                                       const QString &text, bool multiLine) const {
    return ask(title, label, text, multiLine);
}

QString Questions::folder(const QString &title, const QString &start) const {
    return chooseFolder(title, start);
}

void Questions::name(const QString &title, const QString &initial, const Take &take) const {
    until(title, QStringLiteral("Name:"), initial, take);
}

void Questions::until(const QString &title, const QString &label, const QString &initial,
                      const Take &take) const {
    QString asked = label;
    QString text = initial;
    // An answer refused is asked for again, with the reason.
    while (const auto answer = ask(title, asked, text, false)) {
        const auto refused = take(answer->trimmed());
        if (!refused)
            return;
        asked = *refused + QStringLiteral("\n\n") + label;
        text = *answer;
    }
}

QString Questions::quoted(const QString &name) {
    return QStringLiteral("\u201c%1\u201d").arg(name);
}

} // namespace vkv::librarywindow
