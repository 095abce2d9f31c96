#include "config/tessara_adv_rgb.h"

#include "config/colour_order.h"
#include "common/form_builders.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {
// Outputs 1 to 8 on the left, 9 to 16 on the right.
constexpr int ColumnX[] = {10, 196};
constexpr int ComboX = 76; // from its column
} // namespace

TTessaraAdvRGB::TTessaraAdvRGB(QWidget *parent)
    : QDialog(parent),
      GroupBox1(named(new QGroupBox(tr("Advanced RGB Order"), this), "GroupBox1", tr("Advanced RGB Order"))),
      Label17(common::forms::label(GroupBox1, "Label17", tr("RGB Order"), {ColumnX[0] + ComboX, 22, 90, 20})),
      Label18(common::forms::label(GroupBox1, "Label18", tr("RGB Order"), {ColumnX[1] + ComboX, 22, 90, 20})),
      btnCancel(common::forms::button(this, "btnCancel", tr("Cancel"), {302, 312, 80, 26})),
      btnOK(common::forms::button(this, "btnOK", tr("OK"), {212, 312, 80, 26}))
{
    setObjectName(QStringLiteral("TessaraAdvRGB"));
    setWindowTitle(tr("RGB Order"));
    setFixedSize(393, 346);

    GroupBox1->setGeometry(8, 4, 377, 298);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(ResultOK); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(ResultCancel); });
}

void TTessaraAdvRGB::buildRows()
{
    constexpr int FirstRowY = 46;
    constexpr int RowPitch = 31;
    for (int i = 0; i < Outputs; ++i) {
        const int x = ColumnX[i / 8];
        const int y = FirstRowY + (i % 8) * RowPitch;
        const QString output = tr("Output %1").arg(i + 1);
        const QByteArray labelName = "Label" + QByteArray::number(i + 1);
        const QByteArray comboName = "ComboBox" + QByteArray::number(i);
        QLabel *label = Label.slot(i) = common::forms::label(GroupBox1, labelName.constData(), output, {x, y, 72, 24});
        QComboBox *combo = ComboBox.slot(i) =
            named(new QComboBox(GroupBox1), comboName.constData(), output + tr(" RGB Order"));
        combo->addItems(config::colourorder::itemTexts());
        combo->setCurrentIndex(-1);
        combo->setGeometry(x + ComboX, y, 90, 24);
        label->setBuddy(combo);
    }
}

void TTessaraAdvRGB::setVisible(bool visible)
{
    if (visible)
        m_rows.ensure();
    QDialog::setVisible(visible);
}

void TTessaraAdvRGB::setOrders(const std::array<quint8, Outputs> &codes)
{
    for (int i = 0; i < Outputs; ++i)
        ComboBox[i]->setCurrentIndex(config::colourorder::comboIndex(codes[i]));
}

std::array<int, TTessaraAdvRGB::Outputs> TTessaraAdvRGB::orders() const
{
    std::array<int, Outputs> chosen{};
    for (int i = 0; i < Outputs; ++i)
        chosen[i] = ComboBox[i]->currentIndex();
    return chosen;
}

void TTessaraAdvRGB::reject()
{
    done(ResultCancel); // Escape and closing the window count as Cancel
}
