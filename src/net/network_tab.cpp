#include "net/network_tab.h"

#include "common/device_table.h"
#include "common/error_handling.h"
#include "common/form_builders.h"
#include "common/log_categories.h"
#include "net/orvantic.h"
#include "net/udp_port.h"

#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

namespace {

constexpr auto NoneFound = "None Found";
} // namespace

NetworkTab::NetworkTab(QWidget *parent, quint16 port, InterfaceSource interfaces)
    : QWidget(parent),
      PControllers(),
      Net_Search(forms::button(this, "Net_Search", tr("Search"), {8, 16, 97}, tr("Search for network devices"))),
      NetLabel(forms::label(this, "NetLabel", tr("Network Adapter:"), {168, 10})),
      comboNetAdapter(named(new QComboBox(this), "comboNetAdapter", tr("Network Adapter"))),
      btnRefresh(forms::button(this, "btnRefresh", tr("Refresh Adapters"), {416, 16, 97})),
      btnHelp(forms::button(this, "btnHelp", tr("Help"), {560, 16, 81})),
      Network_Grid(named(new QTableWidget(0, 5, this), "Network_Grid", tr("Network devices"))),
      StatusBar2(statusLine(new QStatusBar(this), "StatusBar2", tr("Network status"))),
      // Only poll replies reach the window: everything else is dropped on the receive thread.
      IdUDPServer1(new UdpPort(port, this,
                               orvantic::isPollReply)),
      m_interfaces(interfaces ? std::move(interfaces) : InterfaceSource(GetNetworkInterfaces)),
      m_searchWindow(new QTimer(this))
{
    setObjectName(QStringLiteral("NetworkDevices"));
    IdUDPServer1->setObjectName(QStringLiteral("IdUDPServer1"));

    QFont labelFont = NetLabel->font();
    labelFont.setPointSize(14);
    NetLabel->setFont(labelFont);
    fitFont(NetLabel, NetLabel->text(), 288 - 168 - 4);
    NetLabel->adjustSize();
    NetLabel->setBuddy(comboNetAdapter);
    comboNetAdapter->setGeometry(288, 16, 121, 25);
    fitFont(btnRefresh, btnRefresh->text(), 97 - 10);

    setupDeviceGrid(Network_Grid, {tr("Model"), tr("Nickname"), tr("IP"), tr("Firmware"), tr("Temp")});
    StatusBar2->setSizeGripEnabled(false); // placed with the page's size (resizeEvent)

    connect(Net_Search, &QPushButton::clicked, this, &NetworkTab::Net_SearchClick);
    connect(btnRefresh, &QPushButton::clicked, this, &NetworkTab::btnRefreshClick);
    connect(btnHelp, &QPushButton::clicked, this, &NetworkTab::helpClicked);
    // A pick by the operator, even of the entry already shown, rebinds.
    connect(comboNetAdapter, &QComboBox::activated, this, &NetworkTab::comboNetAdapterChange);
    connect(Network_Grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openController(row); });
    openRowsByKeyboard(Network_Grid, [this](int row) { openController(row); });
    // A search has no end of its own (later replies are listed too); most controllers answer
    // within a second, so after this window the status line says how many did.
    m_searchWindow->setObjectName(QStringLiteral("searchWindow"));
    m_searchWindow->setSingleShot(true);
    m_searchWindow->setInterval(2000);
    connect(m_searchWindow, &QTimer::timeout, this, &NetworkTab::showSearchStatus);
    connect(IdUDPServer1, &UdpPort::datagramReceived, this, &NetworkTab::IdUDPServer1UDPRead);

    if (!IdUDPServer1->bindTo(QHostAddress::AnyIPv4))
        m_startupBindError = IdUDPServer1->lastError();
}

int NetworkTab::rowCount() const
{
    return Network_Grid->rowCount();
}

void NetworkTab::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStatusLine(Network_Grid, StatusBar2);
}

bool NetworkTab::hasController(int row) const
{
    return row >= 0 && row < PControllers.size() && row < rowCount();
}

void NetworkTab::replaceController(int row, const TTessaraCtrl &record)
{
    if (hasController(row))
        PControllers[row] = record;
}

Result<> NetworkTab::send(const QByteArray &datagram, const QString &host)
{
    return IdUDPServer1->send(datagram, host);
}

int NetworkTab::selectedRow() const
{
    const QModelIndexList rows = Network_Grid->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString NetworkTab::modelShown(int row) const
{
    const QTableWidgetItem *cell = Network_Grid->item(row, 0);
    return cell ? cell->text() : QString();
}

QString NetworkTab::selectedAdapterNetwork() const
{
    const int index = comboNetAdapter->currentIndex();
    return index >= 0 && index < netAddresses.size() ? netAddresses[index] : QString();
}

void NetworkTab::clearTable()
{
    PControllers.clear();
    Network_Grid->setRowCount(0);
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
    StatusBar2->showMessage(tessara::searchStatusText(m_searchWindow->isActive(), rowCount()));
}

void NetworkTab::Net_SearchClick()
{
    clearTable();
    m_searchWindow->start();
    showSearchStatus();
    qCDebug(lcNet).noquote() << "search: discovery request to" << orvantic::BroadcastAddress << "from"
                             << IdUDPServer1->localAddress().toString();
    if (const Result<> sent = IdUDPServer1->send(orvantic::discoveryRequest(), QLatin1String(orvantic::BroadcastAddress));
        !sent)
        showFailure(sent.failure());
}

void NetworkTab::IdUDPServer1UDPRead(const QByteArray &data)
{
    const auto opcode = orvantic::opcodeOf(data);
    if (opcode == orvantic::OpPollReply)
        OrvaReadPollReply(data);
    else
        qCDebug(lcNet).noquote() << "datagram of" << data.size() << "bytes dropped:"
                                 << (opcode ? QStringLiteral("opcode %1").arg(*opcode)
                                            : QStringLiteral("not of the family"));
}

void NetworkTab::OrvaReadPollReply(const QByteArray &data)
{
    auto reply = orvantic::parsePollReply(data);
    if (!reply) {
        qCDebug(lcNet).noquote() << "poll reply of" << data.size() << "bytes dropped: too short or no known model";
        return;
    }
    for (const TTessaraCtrl &known : PControllers)
        if (known.CurrentIP == reply->ctrl.CurrentIP) {
            // The first reply from an address wins.
            qCDebug(lcNet).noquote() << "poll reply dropped: address" << tessara::ipText(known.CurrentIP)
                                     << "already listed";
            return;
        }
    qCDebug(lcNet).noquote() << "poll reply listed:" << reply->model << tessara::ipText(reply->ctrl.CurrentIP);
    PControllers.append(reply->ctrl);
    addRow(reply->ctrl, reply->model);
}

void NetworkTab::addRow(const TTessaraCtrl &c, const QString &model)
{
    QString shownModel = QLatin1String(orvantic::ModelTessara16);
    if (c.NumStrings == 4)
        shownModel = QLatin1String(orvantic::ModelTessara4);
    else if (model == QLatin1String(orvantic::ModelCorvel16))
        shownModel = model;
    appendDeviceRow(Network_Grid, {shownModel, tessara::fixedText(c.Nickname), tessara::ipText(c.CurrentIP),
                                   tessara::fixedText(c.Firmware), tessara::temperatureText(c)});
    if (!StatusBar2->currentMessage().isEmpty())
        showSearchStatus();
    emit countChanged(Network_Grid->rowCount());
}

void NetworkTab::UpdateNetInterfaces()
{
    clearTable();
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
    const int bound = IdUDPServer1->isBound()
        ? netAddresses.isEmpty() ? -1 : comboNetAdapter->findText(IdUDPServer1->localAddress().toString())
        : -1;
    comboNetAdapter->setCurrentIndex(bound);
    comboNetAdapter->setUpdatesEnabled(true);
    comboNetAdapter->update();
}

Result<> NetworkTab::rebindToSelection()
{
    clearTable();
    const int index = comboNetAdapter->currentIndex();
    if (index < 0 || netAddresses.isEmpty())
        return {}; // nothing chosen, or the "None Found" placeholder
    const QHostAddress address(comboNetAdapter->itemText(index));
    if (IdUDPServer1->bindTo(address))
        return {};
    qCWarning(lcNet).noquote() << "cannot bind to" << address.toString() << "port" << IdUDPServer1->port() << ":"
                               << IdUDPServer1->lastError();
    return Failure{tr("Cannot listen on %1 port %2: %3")
                       .arg(address.toString())
                       .arg(IdUDPServer1->port())
                       .arg(IdUDPServer1->lastError()),
                   IdUDPServer1->lastError()};
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
