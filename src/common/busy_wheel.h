#pragma once
// An activity indicator that reads as one: a ring of dots with a bright one going round while it
// is shown. A small busy progress bar drew a plain blue square, which said nothing. Underneath it
// stays a busy progress bar (range 0 to 0), so screen readers and automation tools meet the usual
// kind of control.

#include <QBasicTimer>
#include <QProgressBar>

class BusyWheel : public QProgressBar {
public:
    explicit BusyWheel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QBasicTimer m_turn;
    int m_lead = 0; // the brightest dot
};
