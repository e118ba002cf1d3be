#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vkv::overview {

// "Take from Library ...": which configuration of the library, and which of its records: a
// bank's (pots, buttons or both), or those at the places of the records selected in the overview.
// `take` takes them; a failure (a file that went) shows in the dialog, which stays open.
class LibraryChoice : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        int configuration = -1; // in the list given
        bool selection = false; // the selected records' places; else the bank's records
        int bank = 1;
        bool pots = true, buttons = true;
    };

    // `names` of the library's configurations (or why there are none: `why`); `selected` says
    // how many records are selected ("16 pots"; "" for none); `bank` starts the bank's field.
    LibraryChoice(const QStringList &names, const QString &why, const QString &selected, int bank,
                  QWidget *parent = nullptr);

    // Takes the records; returns why not, or "".
    std::function<QString(const Choice &)> take;
    Choice choice() const;

private:
    void showChoice();
    void say(const QString &text);

    QListWidget *list;
    QRadioButton *bankChoice, *selectionChoice;
    QSpinBox *bank;
    QCheckBox *pots, *buttons;
    QLabel *message;
    QPushButton *go;
};

} // namespace vkv::overview
