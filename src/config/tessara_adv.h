#pragma once
// "Advanced String Configuration": one row per output with where its pixel data starts, how many
// pixels it drives and its pixel options, and where its data ends. Every box is checked when it is
// left; the end columns are recomputed from the start, pixel and group columns, and with
// "Automatic Sequential Channels" each output starts right after the previous one.

#include "common/built_on_use.h"
#include "config/config_workflow_rules.h"
#include "config/field_rules.h"
#include "net/tessara_ctrl.h"

#include <QDialog>
#include <array>
#include <functional>

namespace common {
class ExitChecks;
}
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TTessaraAdv : public QDialog {
    Q_OBJECT
public:
    static constexpr int Outputs = 16;
    static constexpr int ResultOK = 1;
    static constexpr int ResultCancel = 2;
    static constexpr int SixteenRowHeight = 618;
    static constexpr int FourRowHeight = 228;

    explicit TTessaraAdv(QWidget *parent = nullptr);
    ~TTessaraAdv() override;

    // One control per output. The table's 200 controls are built the first time a column is read or
    // the dialog is filled or shown (see common/built_on_use.h).
    template <class W>
    using Column = common::forms::BuiltOnUse<W, Outputs>;

    QGroupBox *GroupBox1;
    Column<QFrame> Panel{m_rows};    // Panel1 ... Panel16
    Column<QLabel> Label{m_rows};    // "Output 1" ... "Output 16"
    Column<QLineEdit> editUniv{m_rows};
    Column<QLineEdit> editChan{m_rows};
    Column<QLineEdit> editEndUniv{m_rows};
    Column<QLineEdit> editEndChan{m_rows};
    Column<QLineEdit> editNodes{m_rows};
    Column<QLineEdit> editNull{m_rows};
    Column<QLineEdit> editZig{m_rows};
    Column<QLineEdit> editGroup{m_rows};
    Column<QLineEdit> editBright{m_rows};
    Column<QCheckBox> switchRev{m_rows};
    QCheckBox *checkAutoChan;
    QPushButton *btnCancel;
    QPushButton *btnOK;

    // The pixel limit of the controller being edited (340 or 680); the configuration dialog knows it.
    void setPixelMaximumSource(std::function<qint64()> source);
    qint64 pixelMaximum() const;

    // All 16 rows and a client height of 618 for a controller with 16 outputs; otherwise rows 5 to
    // 16 are hidden (still filled and computed) and the height is 228.
    void setSixteenOutputs(bool sixteen);

    // Fills every column from the record. Firmware without grouping gets group "1" and intensity
    // "100" in disabled boxes.
    void fillFromRecord(const TTessaraCtrl &c, bool groupingEditable, bool groupingFromRecord);
    // Cancel of the configuration dialog's "Advanced": the per-output columns from the record again,
    // group and intensity as the last fill left them.
    void reloadFromRecord(const TTessaraCtrl &c);

    // Values out: the rows as they stand.
    std::array<config::flow::OutputRow, Outputs> rows() const;
    // After OK: the checks leaving each box of the first `outputs` rows would have run (group and
    // intensity only when they can be edited).
    void runExitChecks(int outputs, bool grouping);

    // Exit handlers shared by a column's 16 boxes; each acts on the box given (nothing for another
    // kind of sender).
    void startUnivExit(QObject *sender);
    void startChanExit(QObject *sender);
    void numNodesExit(QObject *sender);
    void nullPixExit(QObject *sender);
    void zigExit(QObject *sender);
    void groupExit(QObject *sender);
    void intensityExit(QObject *sender);

    void updateEnds();
    void checkAutoChanChange();
    // Each showing: the end columns match the values the dialog opens with.
    void FormShow();

    void done(int result) override;
    void reject() override;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildRows();

    void checkBox(QObject *sender, const config::fieldrules::IntegerRule &rule, bool recompute);
    void fillMappingColumns(const TTessaraCtrl &c);
    config::fieldrules::IntegerRule nodesRule() const;

    common::ExitChecks *m_exits;
    std::function<qint64()> m_pixelMaximum;
    std::array<QString, Outputs> m_filledGroup;
    std::array<QString, Outputs> m_filledBright;
    // The columns hold it; it builds the rows when one of them is first read.
    common::forms::BuildOnce m_rows{[this] { buildRows(); }};
};
