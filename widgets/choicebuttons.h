#pragma once

#include <QAbstractButton>
#include <QPushButton>
#include <QVector>

// Radio buttons of one group standing for the values first, first + 1, ...
// of one parameter.
using ChoiceButtons = QVector<QAbstractButton*>;

// The push buttons of a dialog in the window's style.
inline void styleButtons(const QWidget* dialog, const QString& style)
{
    const auto buttons = dialog->findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        button->setStyleSheet(style);
}

// Checks the button of value; a value without a button changes nothing.
inline void showChoice(const ChoiceButtons& buttons, int value, int first = 0)
{
    const int i = value - first;
    if (i >= 0 && i < buttons.size())
        buttons.at(i)->setChecked(true);
}

// The value of the checked button, or -1 when none is checked.
inline int checkedChoice(const ChoiceButtons& buttons, int first = 0)
{
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->isChecked())
            return first + i;
    }
    return -1;
}
