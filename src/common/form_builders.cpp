#include "common/form_builders.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace common::forms {

QGroupBox *group(QWidget *parent, const char *name, const QString &title, Spot at)
{
    return placed(named(new QGroupBox(title, parent), name, title), at);
}

QLabel *label(QWidget *parent, const char *name, const QString &text, Spot at)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return placed(l, at);
}

QLabel *valueLabel(QWidget *parent, const char *name, const QString &text, Spot at, const QString &description)
{
    return placed(stateLabel(new QLabel(text, parent), name, description), at);
}

QLineEdit *edit(QWidget *parent, const char *name, const QString &accessible, Spot at, const QString &text)
{
    return placed(named(new QLineEdit(text, parent), name, accessible), at);
}

std::pair<QPushButton *, QPushButton *> steppers(QWidget *parent, const char *up, const char *down,
                                                 const QString &what, int x, int y)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("forms", text); };
    return {button(parent, up, QStringLiteral("▲"), {x, y, StepperWidth}, tr("%1 up").arg(what)),
            button(parent, down, QStringLiteral("▼"), {x + StepperWidth + 2, y, StepperWidth},
                   tr("%1 down").arg(what))};
}

} // namespace common::forms
