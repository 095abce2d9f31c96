#pragma once
// The "Network Devices" tab: Search, the adapter list, the device table and the records behind it.
// It owns the UDP port and PControllers; the main window places it and shows its count.

#include "common/result.h"
#include "net/net_interfaces.h"
#include "net/orvantic.h"
#include "net/tessara_ctrl.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QResizeEvent;
class QStatusBar;
class QTableWidget;
class QTimer;
class UdpPort;

class NetworkTab : public QWidget {
    Q_OBJECT
public:
    using InterfaceSource = std::function<bool(QList<tNetworkInterface> &)>;

    // `port` is orvantic::Port in the program; `interfaces` lists the PC's adapters (the system's by
    // default).
    explicit NetworkTab(QWidget *parent = nullptr, quint16 port = orvantic::Port, InterfaceSource interfaces = {});

    // Records, one per table row, in the order their replies were accepted.
    QList<TTessaraCtrl> PControllers;
    // Network address of each adapter list entry, entry for entry.
    QStringList netAddresses;

    QPushButton *Net_Search;
    QLabel *NetLabel;
    QComboBox *comboNetAdapter;
    QPushButton *btnRefresh;
    QPushButton *btnHelp;
    QTableWidget *Network_Grid;
    QStatusBar *StatusBar2;
    UdpPort *IdUDPServer1;

    int rowCount() const;
    // Whether `row` has both a record and a table row (late replies and a new search move both).
    bool hasController(int row) const;
    // The record of a row that exists, after the configuration workflow changed it.
    void replaceController(int row, const TTessaraCtrl &record);
    // One datagram to `host` (dotted text) on the tab's port. Fails when the port is not bound or
    // the send fails.
    Result<> send(const QByteArray &datagram, const QString &host);
    // The table's selected row (the controller's index into PControllers), -1 when none.
    int selectedRow() const;
    // The Model cell of a row, empty for a row that does not exist.
    QString modelShown(int row) const;
    // Network address of the adapter chosen in the list, empty for none or the placeholder.
    QString selectedAdapterNetwork() const;
    // The error of the bind at start (all addresses, port 49150), empty when it succeeded.
    QString startupBindError() const { return m_startupBindError; }

    // Opens a row's controller (double-click, Return or Enter); the table has the focus afterwards.
    void openController(int row);

    // How long the status line says "Searching..." after a search before it gives the count.
    void setSearchWindowMs(int ms);

    void Net_SearchClick();
    void IdUDPServer1UDPRead(const QByteArray &data);
    void OrvaReadPollReply(const QByteArray &data);
    void UpdateNetInterfaces();
    void btnRefreshClick() { UpdateNetInterfaces(); }
    // Rebinds to the selected adapter. A failed bind goes to the general error handling (the socket
    // then stays inactive).
    void comboNetAdapterChange();
    // Selects the first adapter, rebinding to it; the bind's failure goes back to the caller.
    Result<> selectFirstAdapter();

signals:
    void countChanged(int rows);   // the table was emptied or grew
    void controllerOpened(int row); // double-click on a row
    void helpClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void clearTable();
    void addRow(const TTessaraCtrl &c, const QString &model);
    Result<> rebindToSelection();

    void showSearchStatus();

    InterfaceSource m_interfaces;
    QString m_startupBindError;
    QTimer *m_searchWindow;
};
