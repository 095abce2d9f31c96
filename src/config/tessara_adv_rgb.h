#pragma once
// "RGB Order": a colour order for each of the 16 outputs. It only collects choices; the
// configuration dialog decides what they mean.

#include "common/built_on_use.h"

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
    // Built the first time one is read or the dialog is filled or shown (see common/built_on_use.h).
    common::forms::BuiltOnUse<QLabel, Outputs> Label{m_rows};       // "Output 1" ... "Output 16"
    common::forms::BuiltOnUse<QComboBox, Outputs> ComboBox{m_rows};  // ComboBox0 (output 1) ... ComboBox15
    QPushButton *btnCancel;
    QPushButton *btnOK;

    // Shows stored colour-order codes; a code no order has shows no selection.
    void setOrders(const std::array<quint8, Outputs> &codes);
    // The item index chosen for each output, -1 for none.
    std::array<int, Outputs> orders() const;

    void reject() override;
    void setVisible(bool visible) override;

private:
    void buildRows();
    // The columns hold it; it builds the rows when one of them is first read.
    common::forms::BuildOnce m_rows{[this] { buildRows(); }};
};
