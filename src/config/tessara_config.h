#pragma once

#include <QDialog>

class TTessaraConfig : public QDialog {
    Q_OBJECT
public:
    explicit TTessaraConfig(QWidget *parent = nullptr);
};
