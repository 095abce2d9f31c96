#pragma once

#include <QDialog>

class TTessaraAdvRGB : public QDialog {
    Q_OBJECT
public:
    explicit TTessaraAdvRGB(QWidget *parent = nullptr);
};
