#pragma once
// The application object, and the application's general error handling: a failure a window hands
// to showFailure() (common/error_handling.h) ends up here, its text is shown in a message box under
// the brand's title, and the event loop goes on.

#include <QApplication>

class GlwApplication : public QApplication {
    Q_OBJECT
public:
    GlwApplication(int &argc, char **argv);
    ~GlwApplication() override;

    // Names the application. The brand's title goes on message boxes of its own, not into the
    // display name: the platform would append a display name to every window's title, and each
    // window's title is its own caption.
    static void setIdentity(const QString &title);
    static QString title();

    // Shows the text of a failure no window words for itself. Replaceable so tests can capture it.
    static void showUncaughtError(const QString &text);
    using ErrorSink = void (*)(const QString &);
    static void setErrorSink(ErrorSink sink);
};
