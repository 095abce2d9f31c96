#include "config/tessara_adv.h"

#include "common/exit_checks.h"
#include "common/form_builders.h"
#include "config/output_mapping.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>

using namespace config::fieldrules;
using namespace common::forms;

namespace {

// Geometry of the table: a label column, then ten columns of equal pitch inside each row's panel.
constexpr int LabelX = 10;
constexpr int PanelX = 78;
constexpr int ColumnPitch = 62;
constexpr int BoxWidth = 54;
constexpr int HeaderY = 20;
constexpr int HeaderHeight = 34;
constexpr int FirstRowY = 56;
constexpr int RowPitch = 30;
constexpr int PanelHeight = 28;
constexpr int BoxHeight = 24;

} // namespace

TTessaraAdv::TTessaraAdv(QWidget *parent)
    : QDialog(parent),
      GroupBox1(named(new QGroupBox(tr("Advanced String Configuration"), this), "GroupBox1",
                      tr("Advanced String Configuration"))),
      // Placed as the window's height is set (resizeEvent).
      checkAutoChan(button<QCheckBox>(this, "checkAutoChan", tr("Automatic Sequential Channels"), {})),
      btnCancel(button(this, "btnCancel", tr("Cancel"), {})),
      btnOK(button(this, "btnOK", tr("OK"), {})),
      m_exits(new common::ExitChecks(this)),
      m_pixelMaximum([] { return PixelMaxSixteenOutputs; })
{
    setObjectName(QStringLiteral("TessaraAdv"));
    setWindowTitle(tr("Advanced String Configuration"));

    connect(checkAutoChan, &QCheckBox::toggled, this, &TTessaraAdv::checkAutoChanChange);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(ResultOK); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(ResultCancel); });

    setFixedSize(726, 635);
}

void TTessaraAdv::buildRows()
{
    const QString headers[] = {tr("Start Universe"), tr("Start Channel"), tr("End Universe"),
                               tr("End Channel"),    tr("Num Pixels"),    tr("Null Pixels"),
                               tr("Zig Zag"),        tr("Group"),         tr("Intensity Limit (%)"),
                               tr("Reversed")};
    for (int col = 0; col < 10; ++col) {
        auto *header = label(GroupBox1, ("header" + QByteArray::number(col + 1)).constData(), headers[col],
                             {PanelX + col * ColumnPitch, HeaderY, ColumnPitch, HeaderHeight});
        header->setAlignment(Qt::AlignCenter);
        header->setWordWrap(true);
    }

    for (int i = 0; i < Outputs; ++i) {
        const int n = i + 1;
        const QString output = tr("Output %1").arg(n);
        const int y = FirstRowY + i * RowPitch;
        Label.slot(i) = label(GroupBox1, ("Label" + QByteArray::number(n)).constData(), output,
                         {LabelX, y, PanelX - LabelX - 4, PanelHeight});
        auto *panel = Panel.slot(i) = new QFrame(GroupBox1);
        panel->setObjectName(QStringLiteral("Panel%1").arg(n));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setGeometry(PanelX, y, 10 * ColumnPitch, PanelHeight);

        auto box = [&](Column<QLineEdit> &column, const char *prefix, int col, const QString &what) {
            const QByteArray name = prefix + QByteArray::number(n);
            auto *e = edit(panel, name.constData(), output + QLatin1Char(' ') + what,
                           {col * ColumnPitch + (ColumnPitch - BoxWidth) / 2, (PanelHeight - BoxHeight) / 2, BoxWidth,
                            BoxHeight});
            column.slot(i) = e;
            return e;
        };
        box(editUniv, "editUniv", 0, headers[0]);
        box(editChan, "editChan", 1, headers[1]);
        box(editEndUniv, "editEndUniv", 2, headers[2])->setEnabled(false);
        box(editEndChan, "editEndChan", 3, headers[3])->setEnabled(false);
        box(editNodes, "editNodes", 4, headers[4]);
        box(editNull, "editNull", 5, headers[5]);
        box(editZig, "editZig", 6, headers[6]);
        box(editGroup, "editGroup", 7, headers[7]);
        box(editBright, "editBright", 8, tr("Intensity Limit"));
        const QByteArray revName = "switchRev" + QByteArray::number(n);
        switchRev.slot(i) = button<QCheckBox>(panel, revName.constData(), QString(),
                                         {9 * ColumnPitch + ColumnPitch / 2 - 9, (PanelHeight - 20) / 2, 20, 20},
                                         output + QLatin1Char(' ') + headers[9]);

        QLineEdit *u = editUniv[i], *c = editChan[i], *p = editNodes[i], *nl = editNull[i], *z = editZig[i],
                  *g = editGroup[i], *b = editBright[i];
        m_exits->add(u, [this, u] { startUnivExit(u); });
        m_exits->add(c, [this, c] { startChanExit(c); });
        m_exits->add(p, [this, p] { numNodesExit(p); });
        m_exits->add(nl, [this, nl] { nullPixExit(nl); });
        m_exits->add(z, [this, z] { zigExit(z); });
        m_exits->add(g, [this, g] { groupExit(g); });
        m_exits->add(b, [this, b] { intensityExit(b); });
    }

    // Anything that sets the rows (four or sixteen, chained or not) reads a column first, so they
    // are built before it and need no catching up here.
}

TTessaraAdv::~TTessaraAdv()
{
    m_exits->stop();
}

void TTessaraAdv::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The rows hang from the top, the check box and the buttons from the bottom, so a shorter
    // window for four outputs keeps them in view.
    const int h = event->size().height();
    GroupBox1->setGeometry(4, 4, width() - 8, h - 44);
    checkAutoChan->setGeometry(12, h - 34, 300, 25);
    btnOK->setGeometry(width() - 176, h - 34, 80, 26);
    btnCancel->setGeometry(width() - 88, h - 34, 80, 26);
}

void TTessaraAdv::setPixelMaximumSource(std::function<qint64()> source)
{
    m_pixelMaximum = std::move(source);
}

qint64 TTessaraAdv::pixelMaximum() const
{
    return m_pixelMaximum();
}

void TTessaraAdv::setSixteenOutputs(bool sixteen)
{
    for (int i = 4; i < Outputs; ++i) {
        Panel[i]->setVisible(sixteen);
        Label[i]->setVisible(sixteen);
    }
    setFixedSize(width(), sixteen ? SixteenRowHeight : FourRowHeight);
}

void TTessaraAdv::fillMappingColumns(const TTessaraCtrl &c)
{
    for (int i = 0; i < Outputs; ++i) {
        editUniv[i]->setText(QString::number(c.AdvUniv[i]));
        editChan[i]->setText(QString::number(c.AdvChan[i]));
        editNodes[i]->setText(QString::number(c.NumNodes[i]));
        editNull[i]->setText(QString::number(c.AdvNull[i]));
        editZig[i]->setText(QString::number(c.AdvZig[i]));
        switchRev[i]->setChecked(c.AdvReverse[i] != 0);
        editGroup[i]->setText(m_filledGroup[i]);
        editBright[i]->setText(m_filledBright[i]);
    }
}

void TTessaraAdv::fillFromRecord(const TTessaraCtrl &c, bool groupingEditable, bool groupingFromRecord)
{
    for (int i = 0; i < Outputs; ++i) {
        m_filledGroup[i] = groupingFromRecord ? QString::number(c.Grouping[i]) : QStringLiteral("1");
        m_filledBright[i] = groupingFromRecord ? QString::number(c.Brightness[i]) : QStringLiteral("100");
        editGroup[i]->setEnabled(groupingEditable);
        editBright[i]->setEnabled(groupingEditable);
    }
    fillMappingColumns(c);
}

void TTessaraAdv::reloadFromRecord(const TTessaraCtrl &c)
{
    fillMappingColumns(c);
}

std::array<config::flow::OutputRow, TTessaraAdv::Outputs> TTessaraAdv::rows() const
{
    std::array<config::flow::OutputRow, Outputs> rows;
    for (int i = 0; i < Outputs; ++i)
        rows[i] = {editUniv[i]->text(),  editChan[i]->text(),  editNodes[i]->text(), editNull[i]->text(),
                   editZig[i]->text(),   editGroup[i]->text(), editBright[i]->text(), switchRev[i]->isChecked()};
    return rows;
}

void TTessaraAdv::runExitChecks(int outputs, bool grouping)
{
    for (int i = 0; i < qMin(outputs, int(Outputs)); ++i) {
        startUnivExit(editUniv[i]);
        startChanExit(editChan[i]);
        numNodesExit(editNodes[i]);
        nullPixExit(editNull[i]);
        zigExit(editZig[i]);
        if (grouping) {
            groupExit(editGroup[i]);
            intensityExit(editBright[i]);
        }
    }
}

IntegerRule TTessaraAdv::nodesRule() const
{
    return {QStringLiteral("1"), 1, pixelMaximum()};
}

void TTessaraAdv::checkBox(QObject *sender, const IntegerRule &rule, bool recompute)
{
    auto *box = qobject_cast<QLineEdit *>(sender);
    if (!box)
        return;
    const QString checked = checkInteger(box->text(), rule);
    if (checked != box->text())
        box->setText(checked);
    if (recompute)
        updateEnds();
}

void TTessaraAdv::startUnivExit(QObject *sender)
{
    checkBox(sender, UniverseRule, true);
}

void TTessaraAdv::startChanExit(QObject *sender)
{
    auto *box = qobject_cast<QLineEdit *>(sender);
    if (!box)
        return;
    const QString checked = checkStartChannel(box->text());
    if (checked != box->text())
        box->setText(checked);
    updateEnds();
}

void TTessaraAdv::numNodesExit(QObject *sender)
{
    checkBox(sender, nodesRule(), true);
}

void TTessaraAdv::nullPixExit(QObject *sender)
{
    checkBox(sender, NullRule, false);
}

void TTessaraAdv::zigExit(QObject *sender)
{
    checkBox(sender, {QStringLiteral("0"), 0, pixelMaximum() - 1}, false);
}

void TTessaraAdv::groupExit(QObject *sender)
{
    checkBox(sender, nodesRule(), true);
}

void TTessaraAdv::intensityExit(QObject *sender)
{
    checkBox(sender, IntensityRule, false);
}

void TTessaraAdv::updateEnds()
{
    // A box not yet checked counts as its column's fallback, so the ends never rest on stray text.
    const IntegerRule one{QStringLiteral("1"), 1, 1};
    QList<config::outputmapping::Output> outputs;
    for (int i = 0; i < Outputs; ++i)
        outputs.append({{valueOf(editUniv[i]->text(), one), valueOf(editChan[i]->text(), one)},
                        valueOf(editNodes[i]->text(), one),
                        valueOf(editGroup[i]->text(), one)});
    const bool chain = checkAutoChan->isChecked();
    const QList<config::outputmapping::End> ends = config::outputmapping::updateEnds(outputs, chain);
    for (int i = 0; i < Outputs; ++i) {
        editEndUniv[i]->setText(QString::number(ends[i].universe));
        editEndChan[i]->setText(QString::number(ends[i].channel));
        if (chain && i > 0) {
            editUniv[i]->setText(QString::number(outputs[i].start.universe));
            editChan[i]->setText(QString::number(outputs[i].start.channel));
        }
    }
}

void TTessaraAdv::checkAutoChanChange()
{
    m_exits->runFocused(); // a start box left by a key press rather than a click
    const bool chain = checkAutoChan->isChecked();
    for (int i = 1; i < Outputs; ++i) {
        editUniv[i]->setEnabled(!chain);
        editChan[i]->setEnabled(!chain);
    }
    if (chain)
        updateEnds();
}

void TTessaraAdv::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TTessaraAdv::FormShow()
{
    updateEnds();
}

void TTessaraAdv::done(int result)
{
    m_exits->runFocused();
    QDialog::done(result);
}

void TTessaraAdv::reject()
{
    done(ResultCancel);
}

void TTessaraAdv::setVisible(bool visible)
{
    if (visible)
        m_rows.ensure();
    QDialog::setVisible(visible);
}
