#pragma once

#include <QDialog>

class TTCPFirmware : public QDialog {
    Q_OBJECT
public:
    explicit TTCPFirmware(QWidget *parent = nullptr);
};
