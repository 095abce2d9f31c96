#pragma once
// The builders every form makes its controls with: each control gets its objectName and sits at
// its spot. A control a person operates gets an accessible name, by default what it shows; a label
// gets none, so a screen reader reads the text it shows now (which for a label showing state,
// "Found 5 Device(s)", is the only right answer).

#include "common/named_control.h"

#include <QPushButton>
#include <QString>
#include <type_traits>
#include <utility>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace common::forms {

// The height of a row of labels and boxes, and of a push button beside them.
inline constexpr int RowHeight = 24;
inline constexpr int ButtonHeight = RowHeight + 1;
inline constexpr int StepperWidth = 24;

// Where a control sits in its parent; a height of 0 is the control's usual height.
struct Spot {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

template <class W>
W *placed(W *w, Spot at, int usualHeight = RowHeight)
{
    w->setGeometry(at.x, at.y, at.width, at.height > 0 ? at.height : usualHeight);
    return w;
}

// A group box is read by its title.
QGroupBox *group(QWidget *parent, const char *name, const QString &title, Spot at);

QLabel *label(QWidget *parent, const char *name, const QString &text, Spot at);

// A label showing a value or a device's own text: plain text whatever it holds, since rich text
// would be rendered (and may load files); `description` says what it is without replacing it.
QLabel *valueLabel(QWidget *parent, const char *name, const QString &text, Spot at, const QString &description = {});

// An entry box has no text of its own to be read by, so its accessible name is always given.
QLineEdit *edit(QWidget *parent, const char *name, const QString &accessible, Spot at, const QString &text = {});

// A push button, check box or radio button showing `text`; `accessible` replaces the text as its
// accessible name where the text alone would not say enough ("Search for network devices").
template <class B = QPushButton>
B *button(QWidget *parent, const char *name, const QString &text, Spot at, const QString &accessible = {})
{
    auto *b = named(new B(text, parent), name, accessible.isEmpty() ? text : accessible);
    if constexpr (std::is_base_of_v<QPushButton, B>) {
        b->setAutoDefault(false); // Enter in an entry box must not press a button
        return placed(b, at, ButtonHeight);
    } else {
        return placed(b, at);
    }
}

// ▲ and ▼ side by side at x, y, beside the box `what` names for screen readers.
std::pair<QPushButton *, QPushButton *> steppers(QWidget *parent, const char *up, const char *down,
                                                 const QString &what, int x, int y);

} // namespace common::forms
