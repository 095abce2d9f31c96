#pragma once
// The three brands' About windows: a logo, a few texts and a Close button.

#include <QDialog>

class QLabel;
class QPushButton;

class AboutWindowBase : public QDialog {
    Q_OBJECT
public:
    QLabel *Image1;
    QPushButton *btnClose;

protected:
    AboutWindowBase(QWidget *parent, const char *objectName, int height, const QString &brandName);
    QLabel *addText(const char *objectName, const QString &text, int x, int y, int w, int h, bool bold = false,
                    bool centred = false);
    void showEvent(QShowEvent *event) override;

private:
    QString m_brandName;
};

class TAboutWin : public AboutWindowBase {
    Q_OBJECT
public:
    explicit TAboutWin(QWidget *parent = nullptr);
};

class TAboutWinHVN : public AboutWindowBase {
    Q_OBJECT
public:
    explicit TAboutWinHVN(QWidget *parent = nullptr);
};

class TAboutWinQLN : public AboutWindowBase {
    Q_OBJECT
public:
    explicit TAboutWinQLN(QWidget *parent = nullptr);
};
