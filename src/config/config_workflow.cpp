#include "config/config_workflow.h"

#include "common/error_handling.h"
#include "common/log_categories.h"
#include "net/network_link.h"
#include "net/network_tab.h"
#include "net/orvantic.h"
#include "firmware/tcp_firmware.h"
#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"
#include "config/tessara_config.h"
#include "firmware/trigger_bootloader.h"

#include <QMessageBox>

using namespace config::flow;

ConfigWorkflow::ConfigWorkflow(NetworkLink &link, NetworkTab &view, TTessaraConfig &config, TTessaraAdv &adv,
                               TTessaraAdvRGB &advRgb, TTCPFirmware &upload, QObject *parent)
    : QObject(parent),
      m_link(link),
      m_view(view),
      m_config(config),
      m_adv(adv),
      m_advRgb(advRgb),
      m_upload(upload)
{
}

int ConfigWorkflow::selectedRow() const
{
    return m_view.selectedRow();
}

bool ConfigWorkflow::rowExists(int row) const
{
    return m_link.hasController(row);
}

std::optional<TTessaraCtrl> ConfigWorkflow::selectedController() const
{
    const int row = selectedRow();
    if (!rowExists(row))
        return std::nullopt;
    return m_link.controller(row);
}

QString ConfigWorkflow::adapterNetwork() const
{
    return m_view.selectedAdapterNetwork();
}

void ConfigWorkflow::NetCtrlSettings()
{
    const int row = selectedRow();
    if (!rowExists(row))
        return;
    if (!net::orvantic::isKnownModel(m_link.rowTexts(row).value(0)))
        return;
    if (net::tessara::isBootloader(m_link.controller(row))) {
        m_upload.openFor(m_link.controller(row));
        return;
    }
    if (!ipCompatibilityCheck(row))
        return;

    const int result = fillDialogs(row);
    if (result != TTessaraConfig::ResultOK && result != TTessaraConfig::ResultFirmware)
        return;
    if (!rowExists(row)) {
        tellNothingSent(QString());
        return;
    }
    if (result == TTessaraConfig::ResultOK)
        readBackAndSend(row);
    else if (const Result<> triggered = TriggerBootloader(
                 m_link.controller(row),
                 [this](const QByteArray &datagram, const QString &host) { return m_link.send(datagram, host); },
                 m_upload);
             !triggered)
        showFailure(triggered.failure());
}

bool ConfigWorkflow::ipCompatibilityCheck(int row)
{
    if (ipCompatibility(m_link.controller(row), adapterNetwork()) != IpCheck::OfferRepair)
        return true;
    qCDebug(lcConfig).noquote() << "controller at" << net::tessara::ipText(m_link.controller(row).CurrentIP)
                                << "is outside the adapter's network" << adapterNetwork() << "- repair offered";
    QWidget *window = m_view.window();
    const auto answer = QMessageBox::warning(window, window->windowTitle(), RepairQuestion,
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes && rowExists(row))
        networkOnlyWorkflow(row);
    return false;
}

void ConfigWorkflow::networkOnlyWorkflow(int row)
{
    if (m_config.showNetworkOnly(fillValues(m_link.controller(row))) != TTessaraConfig::ResultOK)
        return;
    if (!rowExists(row)) {
        tellNothingSent(QString());
        return;
    }
    m_config.checkAddressBoxes();
    QString unreadable;
    const auto updated = readBackNetwork(m_config.values(), m_link.controller(row), &unreadable);
    if (!updated) {
        tellNothingSent(unreadable);
        return;
    }
    m_link.replaceController(row, *updated);
    OrvaSendNetworkConfig(row);
}

int ConfigWorkflow::fillDialogs(int row)
{
    const TTessaraCtrl c = m_link.controller(row);
    const Features f = featuresOf(c);
    const DialogValues v = fillValues(c);
    // What the two "Advanced" buttons open, from the same record.
    m_adv.setSixteenOutputs(f.sixteenOutputs);
    m_adv.fillFromRecord(c, f.groupingEditable, f.groupingFromRecord);
    if (v.perOutputOrder)
        m_advRgb.setOrders(c.AdvRgbOrder);
    return m_config.show(v, f);
}

bool ConfigWorkflow::readBackAndSend(int row)
{
    m_config.runExitChecks(featuresOf(m_link.controller(row)));
    QString unreadable;
    const auto updated = readBack(m_config.values(), m_link.controller(row), &unreadable);
    if (!updated) {
        tellNothingSent(unreadable);
        return false;
    }
    m_link.replaceController(row, *updated);
    OrvaSendConfig(row);
    return true;
}

void ConfigWorkflow::tellNothingSent(const QString &box)
{
    QWidget *window = m_view.window();
    const QString why = box.isEmpty()
        ? tr("The device list was cleared while the settings were open.")
        : tr("The box \"%1\" does not hold a number.").arg(box);
    qCWarning(lcConfig).noquote() << "nothing sent:" << why;
    QMessageBox::warning(window, window->windowTitle(),
                         tr("Nothing was sent to the device. %1 Open the device again to change its settings.")
                             .arg(why));
}

void ConfigWorkflow::OrvaSendConfig(int controller)
{
    if (const Result<> sent = m_link.sendConfig(controller); !sent)
        showFailure(sent.failure());
}

void ConfigWorkflow::OrvaSendNetworkConfig(int controller)
{
    if (const Result<> sent = m_link.sendNetworkSettings(controller); !sent)
        showFailure(sent.failure());
}
