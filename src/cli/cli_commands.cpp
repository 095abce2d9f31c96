#include "cli/cli_commands.h"

#include "cli/cli_fields.h"
#include "cli/cli_json.h"
#include "cli/network_commands.h"
#include "cli/usb_commands.h"
#include "firmware/firmware_upload.h"
#include "rdm/firmware_hex.h"
#include "net/net_interfaces.h"
#include "settings/settings_file.h"

#include <QJsonDocument>

#include <QCommandLineParser>
#include <functional>
#include <optional>
#include <type_traits>

namespace cli {

namespace {

const QString Program = QStringLiteral("glintwork-cli");

struct Command {
    QString name;
    QString synopsis;    // after the program's and the command's names
    QString description;
    QList<QCommandLineOption> options;
    std::function<int(const QCommandLineParser &, Output &)> run;
};

const QCommandLineOption PortOption(QStringLiteral("port"),
                                    QStringLiteral("The USB interface's serial port (a name such as ttyUSB0, or a "
                                                   "path): work on the USB controllers behind it."),
                                    QStringLiteral("NAME"));
const QCommandLineOption FastOption(QStringLiteral("fast"),
                                    QStringLiteral("Fast search on the USB line (as the USB tab's Fast search)."));
const QCommandLineOption AdapterOption(QStringLiteral("adapter"),
                                       QStringLiteral("The network adapter's IPv4 address the search is sent from."),
                                       QStringLiteral("ADDR"));
const QCommandLineOption JsonOption(QStringLiteral("json"), QStringLiteral("Write the result as JSON."));
const QCommandLineOption NoVerifyOption(QStringLiteral("no-verify"),
                                        QStringLiteral("Do not read the controllers back after sending."));
const QCommandLineOption AllOption(QStringLiteral("all"), QStringLiteral("Every controller the search finds."));
const QCommandLineOption OutputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                      QStringLiteral("The settings file to write."), QStringLiteral("FILE"));
const QCommandLineOption OnlyOption(QStringLiteral("only"),
                                    QStringLiteral("Restore only this controller of the file (repeatable)."),
                                    QStringLiteral("TARGET"));
const QCommandLineOption DryRunOption(QStringLiteral("dry-run"),
                                      QStringLiteral("Print what would change and send nothing."));
const QCommandLineOption WaitOption(QStringLiteral("wait"),
                                    QStringLiteral("How long to offer a USB controller's bootloader the connect key "
                                                   "(default 30)."),
                                    QStringLiteral("SECONDS"), QStringLiteral("30"));

// A usage error: said with a pointer to the command's help, and exit status 2.
int usage(Output &out, const QString &command, const QString &text)
{
    out.message(QStringLiteral("%1 %2: %3").arg(Program, command, text));
    out.message(QStringLiteral("Try '%1 %2 --help'.").arg(Program, command));
    return Usage;
}

// Where the command works: on the USB line of --port, or on the network.
struct Where {
    bool usb = false;
    QString port;
    bool fast = false;
    QString adapter;
};

// The family follows --port, and a TARGET must be of that family.
std::optional<Where> whereOf(const QCommandLineParser &p, const QList<Target> &targets, Output &out,
                             const QString &command, int *status)
{
    Where w;
    w.usb = p.isSet(PortOption);
    w.port = p.value(PortOption);
    w.fast = p.isSet(FastOption);
    w.adapter = p.value(AdapterOption);
    QString problem;
    if (w.usb && w.port.isEmpty())
        problem = QStringLiteral("--port needs a port name");
    else if (w.usb && p.isSet(AdapterOption))
        problem = QStringLiteral("--adapter is for the network, --port for the USB line: give one of them");
    else if (!w.usb && w.fast)
        problem = QStringLiteral("--fast is for a USB search: give --port as well");
    for (const Target &t : targets) {
        if (!problem.isEmpty())
            break;
        if (t.usb() && !w.usb)
            problem = QStringLiteral("%1 is a USB controller's device ID: give --port").arg(t.text);
        else if (!t.usb() && w.usb)
            problem = QStringLiteral("%1 is a network controller's address; --port is for USB controllers").arg(t.text);
    }
    if (!problem.isEmpty()) {
        *status = usage(out, command, problem);
        return std::nullopt;
    }
    return w;
}

std::optional<QList<Target>> targetsOf(const QStringList &texts, Output &out, const QString &command, int *status)
{
    QList<Target> targets;
    for (const QString &text : texts) {
        QString error;
        const std::optional<Target> t = parseTarget(text, &error);
        if (!t) {
            *status = usage(out, command, error);
            return std::nullopt;
        }
        targets << *t;
    }
    return targets;
}

// The TARGETs a command names and where they are; nothing, with `*status` set, when the command
// line is wrong.
struct Plan {
    QList<Target> targets;
    Where where;
};
std::optional<Plan> planOf(const QCommandLineParser &p, const QStringList &targetTexts, Output &out,
                           const QString &command, int *status)
{
    std::optional<QList<Target>> targets = targetsOf(targetTexts, out, command, status);
    if (!targets)
        return std::nullopt;
    std::optional<Where> w = whereOf(p, *targets, out, command, status);
    if (!w)
        return std::nullopt;
    return Plan{std::move(*targets), std::move(*w)};
}

int adaptersCommand(const QCommandLineParser &p, Output &out)
{
    if (!p.positionalArguments().isEmpty())
        return usage(out, QStringLiteral("adapters"), QStringLiteral("takes no arguments"));
    QList<tNetworkInterface> interfaces;
    if (!GetNetworkInterfaces(interfaces)) {
        out.message(QStringLiteral("The system did not list its network interfaces"));
        return Failure;
    }
    QJsonArray listed;
    QStringList lines;
    for (const tNetworkInterface &n : std::as_const(interfaces)) {
        if (n.IsLoopback) // as the adapter list leaves them out
            continue;
        listed.append(QJsonObject{{QStringLiteral("address"), n.AddrIP},
                                  {QStringLiteral("subnetMask"), n.SubnetMask},
                                  {QStringLiteral("network"), n.AddrNet},
                                  {QStringLiteral("up"), n.IsInterfaceUp}});
        lines << QStringLiteral("%1  %2  %3").arg(n.AddrIP, n.SubnetMask, n.AddrNet);
    }
    if (p.isSet(JsonOption)) {
        out.resultBytes(QJsonDocument(QJsonObject{{QStringLiteral("format"), QStringLiteral("glintwork-cli")},
                                                  {QStringLiteral("version"), JsonVersion},
                                                  {QStringLiteral("command"), QStringLiteral("adapters")},
                                                  {QStringLiteral("adapters"), listed}})
                            .toJson(QJsonDocument::Indented));
        return Success;
    }
    if (lines.isEmpty())
        out.message(QStringLiteral("None Found"));
    for (const QString &line : std::as_const(lines))
        out.result(line);
    return Success;
}

// Works on the family the command line names, with the TARGETs of `targetTexts`: `work` gets the
// family's commands (NetworkCommands or UsbCommands) and the plan. Nothing touches a controller
// before `work` does; a wrong command line ends with its usage status.
template <typename Work>
int onFamily(const QCommandLineParser &p, const QStringList &targetTexts, Output &out, const QString &command,
             Work work)
{
    int status = Failure;
    const std::optional<Plan> plan = planOf(p, targetTexts, out, command, &status);
    if (!plan)
        return status;
    const Where &w = plan->where;
    if (!w.usb) {
        NetworkCommands network(out, w.adapter);
        return work(network, *plan);
    }
    UsbCommands usb(out, w.port, w.fast);
    return work(usb, *plan);
}

template <typename Family>
constexpr bool IsUsb = std::is_same_v<std::remove_cvref_t<Family>, UsbCommands>;

int searchCommand(const QCommandLineParser &p, Output &out)
{
    if (!p.positionalArguments().isEmpty())
        return usage(out, QStringLiteral("search"), QStringLiteral("takes no TARGET"));
    return onFamily(p, {}, out, QStringLiteral("search"),
                    [&](auto &family, const Plan &) { return family.search(p.isSet(JsonOption)); });
}

int showCommand(const QCommandLineParser &p, Output &out)
{
    const QString name = QStringLiteral("show");
    if (p.positionalArguments().size() != 1)
        return usage(out, name, QStringLiteral("one TARGET expected"));
    return onFamily(p, p.positionalArguments(), out, name, [&](auto &family, const Plan &plan) {
        return family.show(plan.targets.first(), p.isSet(JsonOption));
    });
}

int setCommand(const QCommandLineParser &p, Output &out)
{
    const QString name = QStringLiteral("set");
    const QStringList args = p.positionalArguments();
    if (args.size() < 2)
        return usage(out, name, QStringLiteral("a TARGET and at least one FIELD=VALUE expected"));
    return onFamily(p, {args.first()}, out, name, [&](auto &family, const Plan &plan) {
        // Every field is checked before the line is touched.
        if constexpr (IsUsb<decltype(family)>) {
            QString error;
            const std::optional<UsbFieldValues> values = parseUsbFields(args.mid(1), &error);
            if (!values)
                return usage(out, name, error);
            return family.set(plan.targets.first(), *values, !p.isSet(NoVerifyOption));
        } else {
            for (const QString &a : args.mid(1))
                if (!a.contains(QLatin1Char('=')))
                    return usage(out, name, QStringLiteral("%1: FIELD=VALUE expected").arg(a));
            return family.set(plan.targets.first(), args.mid(1), !p.isSet(NoVerifyOption));
        }
    });
}

int backupCommand(const QCommandLineParser &p, Output &out)
{
    const QString name = QStringLiteral("backup");
    if (!p.isSet(OutputOption) || p.value(OutputOption).isEmpty())
        return usage(out, name, QStringLiteral("-o FILE expected"));
    if (p.isSet(AllOption) == !p.positionalArguments().isEmpty())
        return usage(out, name, QStringLiteral("give either TARGETs or --all"));
    return onFamily(p, p.positionalArguments(), out, name, [&](auto &family, const Plan &plan) {
        return family.backup(plan.targets, p.value(OutputOption));
    });
}

int restoreCommand(const QCommandLineParser &p, Output &out)
{
    const QString name = QStringLiteral("restore");
    if (p.positionalArguments().size() != 1)
        return usage(out, name, QStringLiteral("one FILE expected"));
    return onFamily(p, p.values(OnlyOption), out, name, [&](auto &family, const Plan &plan) {
        const QList<Target> &only = plan.targets;
        const bool usb = plan.where.usb;
        // The whole file is read, and refused as a whole, before the line is touched.
        const QString file = p.positionalArguments().first();
        const Result<QList<settings::Entry>> entries = settings::readFile(file);
        if (!entries) {
            out.message(entries.failure().text);
            return int(Failure);
        }
        const settings::Family wanted = usb ? settings::Family::Usb : settings::Family::Network;
        // An IP address names the entry written from that address; a MAC or device ID, its controller.
        const auto names = [](const Target &t, const settings::Entry &e) {
            return t.kind == Target::Ip ? e.address == t.text : e.id == t.text;
        };
        QList<settings::Entry> chosen;
        for (const settings::Entry &e : *entries) {
            if (e.family != wanted)
                continue;
            if (only.isEmpty() || std::any_of(only.begin(), only.end(), [&](const Target &t) { return names(t, e); }))
                chosen << e;
        }
        for (const Target &t : only)
            if (std::none_of(chosen.begin(), chosen.end(), [&](const settings::Entry &e) { return names(t, e); })) {
                out.message(QStringLiteral("%1: not in %2").arg(t.text, file));
                return int(Failure);
            }
        if (chosen.isEmpty()) {
            out.message(QStringLiteral("%1 holds no %2 controller").arg(file, usb ? QStringLiteral("USB")
                                                                                 : QStringLiteral("network")));
            return int(Failure);
        }
        return family.restore(chosen, p.isSet(DryRunOption), !p.isSet(NoVerifyOption));
    });
}

int firmwareCommand(const QCommandLineParser &p, Output &out)
{
    const QString name = QStringLiteral("firmware");
    const QStringList args = p.positionalArguments();
    if (args.size() != 2)
        return usage(out, name, QStringLiteral("a TARGET and a FILE expected"));
    bool waitOk = false;
    const int wait = p.value(WaitOption).toInt(&waitOk);
    if (!waitOk || wait < 1 || wait > 3600)
        return usage(out, name, QStringLiteral("--wait: \"%1\" is not a number of seconds from 1 to 3600")
                                    .arg(p.value(WaitOption)));
    return onFamily(p, {args.first()}, out, name, [&](auto &family, const Plan &plan) {
        if constexpr (IsUsb<decltype(family)>) {
            // The whole file is checked first: a broken file must never leave the controller in its
            // bootloader with half an image.
            const rdm::hex::HexImage image = rdm::hex::readFirmwareHex(args[1]);
            if (!image.ok()) {
                out.message(image.error);
                return int(Failure);
            }
            return family.firmware(plan.targets.first(), image.data, wait);
        } else {
            if (const QString problem = firmware::fileProblem(args[1]); !problem.isEmpty()) {
                out.message(problem);
                return int(Failure);
            }
            return family.firmware(plan.targets.first(), args[1]);
        }
    });
}

const QList<Command> &commands()
{
    static const QList<Command> all{
        {QStringLiteral("adapters"), QStringLiteral("[--json]"),
         QStringLiteral("List the network adapters a search can be sent from, as the adapter list shows them: "
                        "address, subnet mask, network."),
         {JsonOption}, adaptersCommand},
        {QStringLiteral("search"), QStringLiteral("[--port NAME [--fast] | --adapter ADDR] [--json]"),
         QStringLiteral("Search for controllers and list them as the device table does."),
         {PortOption, FastOption, AdapterOption, JsonOption}, searchCommand},
        {QStringLiteral("show"), QStringLiteral("TARGET [--port NAME [--fast] | --adapter ADDR] [--json]"),
         QStringLiteral("Search, then show one controller's identity and settings. The settings are written as "
                        "FIELD=VALUE, as set takes them."),
         {PortOption, FastOption, AdapterOption, JsonOption}, showCommand},
        {QStringLiteral("set"),
         QStringLiteral("TARGET FIELD=VALUE... [--port NAME [--fast] | --adapter ADDR] [--no-verify]"),
         QStringLiteral("Search, then change settings of one controller as its dialog's OK does, and read it back. "
                        "A value outside its field's limits is refused and nothing is sent.\n"
                        "Network fields: nickname and the settings show lists, written as in a settings file "
                        "(pixelsPerString=200, dhcp=false, gamma=[2.2,2.2,2.2]).\n"
                        "USB fields: nickname (up to 32 characters), mode (1 to 3), startAddress (1 to the mode's "
                        "limit: 494, 490 or 512), gamma (1.0 to 3.0)."),
         {PortOption, FastOption, AdapterOption, NoVerifyOption}, setCommand},
        {QStringLiteral("backup"), QStringLiteral("(TARGET...|--all) -o FILE [--port NAME [--fast] | --adapter ADDR]"),
         QStringLiteral("Search, then write the controllers' settings to a settings file."),
         {PortOption, FastOption, AdapterOption, AllOption, OutputOption}, backupCommand},
        {QStringLiteral("restore"),
         QStringLiteral("FILE [--only TARGET]... [--dry-run] [--no-verify] [--port NAME [--fast] | --adapter ADDR]"),
         QStringLiteral("Search, then put the settings of a settings file back on the controllers they came from "
                        "(matched by MAC address or device ID), and read them back."),
         {PortOption, FastOption, AdapterOption, OnlyOption, DryRunOption, NoVerifyOption}, restoreCommand},
        {QStringLiteral("firmware"), QStringLiteral("TARGET FILE [--port NAME [--fast] [--wait SECONDS] | --adapter ADDR]"),
         QStringLiteral("Search, then update one controller's firmware from FILE. The file is checked before the "
                        "controller is touched. A network controller is told to start its bootloader (unless it runs "
                        "it already) and takes the file over TCP; a USB controller's bootloader is offered the "
                        "connect key for --wait seconds."),
         {PortOption, FastOption, AdapterOption, WaitOption}, firmwareCommand},
    };
    return all;
}

QString overview()
{
    QString text = QStringLiteral("Usage: %1 COMMAND [OPTIONS]\n\n"
                                  "Finds, shows, changes, backs up, restores and updates LED pixel controllers "
                                  "without a window.\n"
                                  "TARGET: a USB controller's device ID (eight hex digits, as the Serial column shows "
                                  "it; needs --port), or a network controller's MAC or IP address.\n\n"
                                  "Commands:\n")
                       .arg(Program);
    for (const Command &c : commands())
        text += QStringLiteral("  %1 %2\n").arg(c.name, c.synopsis);
    text += QStringLiteral("\n'%1 COMMAND --help' describes a command. Exit status: 0 done, 1 failed, 2 usage error.\n")
                .arg(Program);
    return text;
}

} // namespace

int run(const QStringList &arguments, Output &out)
{
    if (arguments.isEmpty()) {
        out.message(overview().trimmed());
        return Usage;
    }
    const QString name = arguments.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        out.resultBytes(overview().toUtf8());
        return Success;
    }
    if (name == QLatin1String("--version")) {
        out.result(QStringLiteral("%1 %2").arg(Program, QStringLiteral(GLINTWORK_VERSION)));
        return Success;
    }
    const auto it = std::find_if(commands().begin(), commands().end(), [&](const Command &c) { return c.name == name; });
    if (it == commands().end()) {
        out.message(QStringLiteral("%1: \"%2\" is not a command").arg(Program, name));
        out.message(QStringLiteral("Try '%1 --help'.").arg(Program));
        return Usage;
    }
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    p.addOption(help);
    p.addOptions(it->options);
    // The parser takes the first argument as the program's name.
    if (!p.parse(QStringList{Program} + arguments.mid(1)))
        return usage(out, name, p.errorText());
    if (p.isSet(help)) {
        const QString generated = p.helpText();
        const qsizetype options = generated.indexOf(QStringLiteral("Options:"));
        out.resultBytes(QStringLiteral("Usage: %1 %2 %3\n\n%4\n\n%5")
                            .arg(Program, name, it->synopsis, it->description,
                                 options < 0 ? QString() : generated.mid(options))
                            .toUtf8());
        return Success;
    }
    return it->run(p, out);
}

} // namespace cli
