#pragma once

#include <QDialog>

class TTessaraAdv : public QDialog {
    Q_OBJECT
public:
    explicit TTessaraAdv(QWidget *parent = nullptr);
};
