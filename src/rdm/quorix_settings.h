#pragma once

#include <QDialog>

class TQuorixSettings : public QDialog {
    Q_OBJECT
public:
    explicit TQuorixSettings(QWidget *parent = nullptr);
};
