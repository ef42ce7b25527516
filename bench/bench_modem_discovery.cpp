// How long the configuration window stays blocked while it lists the modems:
// an "Enum" tree of 20,000 keys with two modems in it, in a temporary store,
// then 32 serial devices (pseudo-terminals, 8 of them linked as ports 11 to
// 18). The tree and the devices are made first and that is not timed.
//
//   QT_QPA_PLATFORM=offscreen bench_modem_discovery

#include "BenchSupport.h"
#include "FrmConfig.h"
#include "ModemSimulator.h"
#include "SqliteRegistry.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>


using namespace registry;

namespace {

constexpr int kBuses = 20;
constexpr int kDevicesPerBus = 999; // with the buses and "Enum": 20,001 keys
constexpr int kSerialDevices = 32;
constexpr int kLinkedDevices = 8;

bool putText(RegistryApi &store, const std::string &path, const std::string &name, const std::string &text)
{
    Key key = 0;
    if (store.createKey(LocalMachine, path, AllKeyRights, &key) != Success)
        return false;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.c_str());
    const bool written = store.setValue(key, name, RegSz, bytes, std::uint32_t(text.size() + 1)) == Success;
    store.closeKey(key);
    return written;
}

bool buildTree(RegistryApi &store)
{
    const std::string modems = "System\\CurrentControlSet\\Services\\Class\\Modem\\";
    bool built = putText(store, modems + "0000", "Model", "Modem Alpha")
        && putText(store, modems + "0001", "Model", "Modem Beta");
    for (int bus = 0; bus < kBuses && built; ++bus) {
        for (int device = 0; device < kDevicesPerBus && built; ++device) {
            const std::string path = "Enum\\Bus" + std::to_string(bus) + "\\Device" + std::to_string(device);
            const bool isModem = bus == kBuses - 1 && device >= kDevicesPerBus - 2;
            const std::string driver = isModem ? "MODEM\\000" + std::to_string(device - (kDevicesPerBus - 2))
                                               : "Ports\\" + std::to_string(device);
            built = putText(store, path, "Driver", driver) && putText(store, path, "PORTNAME", "COM" + std::to_string(device % 9 + 1));
        }
    }
    return built;
}

bool openDevices(std::vector<std::unique_ptr<ModemSimulator>> &terminals, QList<SerialDevice> &devices,
                 const QString &configFolder)
{
    for (int i = 0; i < kSerialDevices; ++i) {
        auto terminal = std::make_unique<ModemSimulator>();
        if (!terminal->open() || (i < kLinkedDevices && !terminal->linkAsPort(11 + i, configFolder)))
            return false;
        const QString name = QStringLiteral("ttyACM%1").arg(i);
        devices << SerialDevice{terminal->devicePath(), name, QStringLiteral("Modem USB %1").arg(i),
                                QStringLiteral("Maker"), 0x0baf, quint16(i), name, QString()};
        terminals.push_back(std::move(terminal));
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    SqliteRegistry store(folder.filePath(QStringLiteral("registry.sqlite")).toStdString());
    if (!buildTree(store)) {
        std::fputs("bench_modem_discovery: could not build the tree\n", stderr);
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    std::vector<std::unique_ptr<ModemSimulator>> terminals;
    QList<SerialDevice> devices;
    if (!openDevices(terminals, devices, folder.filePath(QStringLiteral("renvolia")))) {
        std::fputs("bench_modem_discovery: could not open the pseudo-terminals\n", stderr);
        return 1;
    }
    const SerialDeviceList serialDevices(devices);
    FrmConfig window(systemClock(), store, HelpFiles::forThisProgram(), serialDevices);
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabConfig"));

    QElapsedTimer blocked;
    const double cpuBefore = bench::cpuSeconds();
    blocked.start();
    tabs->setCurrentIndex(1); // the walk runs inside this call
    const qint64 elapsed = blocked.elapsed();
    const double cpu = bench::cpuSeconds() - cpuBefore;

    const int listed = window.findChild<QComboBox *>(QStringLiteral("comModem"))->count();
    std::printf("enumeration keys        %d\n", kBuses * kDevicesPerBus + kBuses + 1);
    std::printf("serial devices          %d\n", kSerialDevices);
    std::printf("modems listed           %d\n", listed);
    std::printf("window blocked          %lld ms (CPU %.0f ms)\n", static_cast<long long>(elapsed), cpu * 1000);
    std::printf("peak resident memory    %.1f MiB\n", bench::peakMemoryMiB());
    return listed == 2 + kSerialDevices ? 0 : 1;
}
