#pragma once
// The application object. It is the one place where an error that no handler caught ends up:
// its text is shown in a message box and the event loop goes on.

#include <QApplication>
#include <exception>

class GlwApplication : public QApplication {
    Q_OBJECT
public:
    GlwApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the text of an error no handler caught. Replaceable so tests can capture it.
    static void showUncaughtError(const QString &text);
    using ErrorSink = void (*)(const QString &);
    static void setErrorSink(ErrorSink sink);
};
