#pragma once
// The "Network Devices" tab: Search, the adapter list and the device table. It shows what the
// network link lists and hands it the operator's requests; the main window places it and shows
// its count.

#include "common/result.h"
#include "net/net_interfaces.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QResizeEvent;
class QStatusBar;
class QTableView;
class QTimer;
class NetworkDeviceModel;
class NetworkLink;

class NetworkTab : public QWidget {
    Q_OBJECT
public:
    using InterfaceSource = std::function<bool(QList<tNetworkInterface> &)>;

    // Shows `link`, which outlives the tab; `interfaces` lists the PC's adapters (the system's by
    // default).
    explicit NetworkTab(NetworkLink &link, QWidget *parent = nullptr, InterfaceSource interfaces = {});

    NetworkLink &link() const { return m_link; }

    // Network address of each adapter list entry, entry for entry.
    QStringList netAddresses;

    QPushButton *Net_Search;
    QLabel *NetLabel;
    QComboBox *comboNetAdapter;
    QPushButton *btnRefresh;
    QPushButton *btnHelp;
    QTableView *Network_Grid;
    QStatusBar *StatusBar2;

    int rowCount() const;
    // The table's selected row (the controller's index in the link), -1 when none.
    int selectedRow() const;
    // Network address of the adapter chosen in the list, empty for none or the placeholder.
    QString selectedAdapterNetwork() const;

    // Opens a row's controller (double-click, Return or Enter); the table has the focus afterwards.
    void openController(int row);

    // How long the status line says "Searching..." after a search before it gives the count.
    void setSearchWindowMs(int ms);

    void Net_SearchClick();
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
    void rowListed();
    Result<> rebindToSelection();

    void showSearchStatus();

    NetworkLink &m_link;
    NetworkDeviceModel *m_model;
    InterfaceSource m_interfaces;
    QTimer *m_searchWindow;
};
