#include "common/error_handling.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace {
FailureShower g_shower = nullptr;
} // namespace

FailureShower setFailureShower(FailureShower shower)
{
    return std::exchange(g_shower, shower);
}

void showFailure(const Failure &failure)
{
    if (g_shower) {
        g_shower(failure.text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), failure.text);
}
