#pragma once

#include <QDialog>

class TQuorixConfig : public QDialog {
    Q_OBJECT
public:
    explicit TQuorixConfig(QWidget *parent = nullptr);
};
