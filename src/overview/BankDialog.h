#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vkv::overview {

// "Banks ...": copy one bank's records onto another's, or swap two banks, for the pots, the
// buttons or both. `apply` makes it; the dialog closes once it is made.
class BankDialog : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        bool swap = false;
        int first = 1, second = 2; // copy first onto second, or swap them
        bool pots = true, buttons = true;
    };

    // Starts from bank `bank` (the selection's).
    explicit BankDialog(int bank, QWidget *parent = nullptr);

    std::function<void(const Choice &)> apply;
    Choice choice() const;

private:
    void showChoice();

    QRadioButton *copy, *swap;
    QSpinBox *first, *second;
    QCheckBox *pots, *buttons;
    QPushButton *go;
};

} // namespace vkv::overview
