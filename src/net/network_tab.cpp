#include "net/network_tab.h"

#include "common/device_table.h"
#include "common/error_handling.h"
#include "common/form_builders.h"
#include "net/network_device_model.h"
#include "net/network_link.h"
#include "net/tessara_ctrl.h"

#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

namespace {

constexpr auto NoneFound = "None Found";
} // namespace

NetworkTab::NetworkTab(NetworkLink &link, QWidget *parent, InterfaceSource interfaces)
    : QWidget(parent),
      Net_Search(common::forms::button(this, "Net_Search", tr("Search"), {8, 16, 97}, tr("Search for network devices"))),
      NetLabel(common::forms::label(this, "NetLabel", tr("Network Adapter:"), {168, 10})),
      comboNetAdapter(named(new QComboBox(this), "comboNetAdapter", tr("Network Adapter"))),
      btnRefresh(common::forms::button(this, "btnRefresh", tr("Refresh Adapters"), {416, 16, 97})),
      btnHelp(common::forms::button(this, "btnHelp", tr("Help"), {560, 16, 81})),
      Network_Grid(named(new QTableView(this), "Network_Grid", tr("Network devices"))),
      StatusBar2(statusLine(new QStatusBar(this), "StatusBar2", tr("Network status"))),
      m_link(link),
      m_model(new NetworkDeviceModel(link, this)),
      m_interfaces(interfaces ? std::move(interfaces) : InterfaceSource(GetNetworkInterfaces)),
      m_searchWindow(new QTimer(this))
{
    setObjectName(QStringLiteral("NetworkDevices"));

    QFont labelFont = NetLabel->font();
    labelFont.setPointSize(14);
    NetLabel->setFont(labelFont);
    fitFont(NetLabel, NetLabel->text(), 288 - 168 - 4);
    NetLabel->adjustSize();
    NetLabel->setBuddy(comboNetAdapter);
    comboNetAdapter->setGeometry(288, 16, 121, 25);
    fitFont(btnRefresh, btnRefresh->text(), 97 - 10);

    Network_Grid->setModel(m_model);
    setupDeviceView(Network_Grid);
    StatusBar2->setSizeGripEnabled(false); // placed with the page's size (resizeEvent)

    connect(Net_Search, &QPushButton::clicked, this, &NetworkTab::Net_SearchClick);
    connect(btnRefresh, &QPushButton::clicked, this, &NetworkTab::btnRefreshClick);
    connect(btnHelp, &QPushButton::clicked, this, &NetworkTab::helpClicked);
    // A pick by the operator, even of the entry already shown, rebinds.
    connect(comboNetAdapter, &QComboBox::activated, this, &NetworkTab::comboNetAdapterChange);
    connect(Network_Grid, &QTableView::doubleClicked, this, [this](const QModelIndex &cell) { openController(cell.row()); });
    openRowsByKeyboard(Network_Grid, [this](int row) { openController(row); });
    // A search has no end of its own (later replies are listed too); most controllers answer
    // within a second, so after this window the status line says how many did.
    m_searchWindow->setObjectName(QStringLiteral("searchWindow"));
    m_searchWindow->setSingleShot(true);
    m_searchWindow->setInterval(2000);
    connect(m_searchWindow, &QTimer::timeout, this, &NetworkTab::showSearchStatus);
    connect(&m_link, &NetworkLink::cleared, this, &NetworkTab::clearTable);
    connect(&m_link, &NetworkLink::controllerListed, this, &NetworkTab::rowListed);
}

int NetworkTab::rowCount() const
{
    return m_model->rowCount();
}

void NetworkTab::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStatusLine(Network_Grid, StatusBar2);
}

int NetworkTab::selectedRow() const
{
    const QModelIndexList rows = Network_Grid->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString NetworkTab::selectedAdapterNetwork() const
{
    const int index = comboNetAdapter->currentIndex();
    return index >= 0 && index < netAddresses.size() ? netAddresses[index] : QString();
}

void NetworkTab::clearTable()
{
    // An adapter change empties the table too: what a search said no longer holds.
    m_searchWindow->stop();
    StatusBar2->clearMessage();
    emit countChanged(0);
}

void NetworkTab::openController(int row)
{
    emit controllerOpened(row);
    returnFocusTo(Network_Grid);
}

void NetworkTab::setSearchWindowMs(int ms)
{
    m_searchWindow->setInterval(ms);
}

void NetworkTab::showSearchStatus()
{
    StatusBar2->showMessage(net::tessara::searchStatusText(m_searchWindow->isActive(), rowCount()));
}

void NetworkTab::Net_SearchClick()
{
    const Result<> sent = m_link.search(); // empties the table first
    m_searchWindow->start();
    showSearchStatus();
    if (!sent)
        showFailure(sent.failure());
}

void NetworkTab::rowListed()
{
    if (!StatusBar2->currentMessage().isEmpty())
        showSearchStatus();
    emit countChanged(rowCount());
}

void NetworkTab::UpdateNetInterfaces()
{
    m_link.clear();
    comboNetAdapter->setUpdatesEnabled(false);
    comboNetAdapter->clear();
    netAddresses.clear();

    QList<tNetworkInterface> interfaces;
    if (m_interfaces(interfaces)) {
        const AdapterList list = adapterListFrom(interfaces);
        comboNetAdapter->addItems(list.addresses);
        netAddresses = list.netAddresses;
    }
    if (comboNetAdapter->count() == 0) {
        comboNetAdapter->addItem(QLatin1String(NoneFound));
        Net_Search->setEnabled(false);
    } else {
        Net_Search->setEnabled(true);
    }
    // The rebuild keeps the binding; show the adapter still in use, if it is listed, else none.
    const int bound = m_link.isBound()
        ? netAddresses.isEmpty() ? -1 : comboNetAdapter->findText(m_link.localAddress().toString())
        : -1;
    comboNetAdapter->setCurrentIndex(bound);
    comboNetAdapter->setUpdatesEnabled(true);
    comboNetAdapter->update();
}

Result<> NetworkTab::rebindToSelection()
{
    const int index = comboNetAdapter->currentIndex();
    if (index < 0 || netAddresses.isEmpty()) {
        m_link.clear(); // nothing chosen, or the "None Found" placeholder
        return {};
    }
    return m_link.bindTo(QHostAddress(comboNetAdapter->itemText(index)));
}

void NetworkTab::comboNetAdapterChange()
{
    if (const Result<> bound = rebindToSelection(); !bound)
        showFailure(bound.failure());
}

Result<> NetworkTab::selectFirstAdapter()
{
    comboNetAdapter->setCurrentIndex(0);
    return rebindToSelection();
}
