#pragma once
// "RGB Order": a colour order for each of the 16 outputs. It only collects choices; the
// configuration dialog decides what they mean.

#include <QDialog>
#include <QtGlobal>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

class TTessaraAdvRGB : public QDialog {
    Q_OBJECT
public:
    static constexpr int Outputs = 16;
    static constexpr int ResultOK = 1;
    static constexpr int ResultCancel = 2;

    explicit TTessaraAdvRGB(QWidget *parent = nullptr);

    QGroupBox *GroupBox1;
    QLabel *Label17;
    QLabel *Label18;
    std::array<QLabel *, Outputs> Label;        // "Output 1" ... "Output 16"
    std::array<QComboBox *, Outputs> ComboBox;  // ComboBox0 (output 1) ... ComboBox15 (output 16)
    QPushButton *btnCancel;
    QPushButton *btnOK;

    // Shows stored colour-order codes; a code no order has shows no selection.
    void setOrders(const std::array<quint8, Outputs> &codes);
    // The item index chosen for each output, -1 for none.
    std::array<int, Outputs> orders() const;

    void reject() override;
};
