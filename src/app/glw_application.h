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

    // Names the application. The brand's title goes on message boxes of its own, not into the
    // display name: the platform would append a display name to every window's title, and each
    // window's title is its own caption.
    static void setIdentity(const QString &title);
    static QString title();

    // Shows the text of an error no handler caught. Replaceable so tests can capture it.
    static void showUncaughtError(const QString &text);
    using ErrorSink = void (*)(const QString &);
    static void setErrorSink(ErrorSink sink);
};
