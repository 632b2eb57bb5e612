#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/PlistValue.h"

namespace platform {

// The machine registry's answers about the machine itself (the IOKit registry stand-in):
// its platform UUID, its model and its primary Ethernet interfaces, read from the files where
// the system keeps them. Where the files are is injectable, so that tests work on a folder of
// their own.
class MachineIdentity {
public:
    // The registry's result codes used here (kern_return_t / IOReturn values).
    static constexpr std::int32_t kSuccess = 0;
    static constexpr std::int32_t kFailure = 5;                                       // KERN_FAILURE
    static constexpr std::int32_t kNoDevice = static_cast<std::int32_t>(0xE00002C0);  // kIOReturnNoDevice

    // Where the answers come from; the first readable file of each list wins.
    struct Locations {
        std::vector<std::string> machineIdFiles{"/etc/machine-id", "/var/lib/dbus/machine-id"};
        std::vector<std::string> modelFiles{"/sys/class/dmi/id/product_name", "/proc/device-tree/model"};
        // One folder per interface, holding "type" and "address" files.
        std::string networkInterfacesFolder{"/sys/class/net"};

        bool operator==(const Locations&) const = default;
    };

    // An Ethernet interface of the registry.
    struct EthernetInterface {
        std::string name;
        std::string folder;

        // Looks up the interface's controller (its parent in the service plane) and answers its
        // hardware address: kSuccess with the address's bytes, or kNoDevice when the interface
        // has no readable address any more.
        std::int32_t controllerMACAddress(PlistData& macAddress) const;
    };

    // Hands out the interfaces that matched, once each, in order.
    class InterfaceIterator {
    public:
        InterfaceIterator() = default;
        explicit InterfaceIterator(std::vector<EthernetInterface> interfaces) : interfaces_(std::move(interfaces)) {}
        std::optional<EthernetInterface> next();

    private:
        std::vector<EthernetInterface> interfaces_;
        std::size_t position_ = 0;
    };

    // The process's locations; the system's own until others are set. Safe from any thread.
    static Locations locations();
    // Replaces the process's locations and answers the ones replaced.
    static Locations exchangeLocations(Locations locations);

    // The machine id (32 hexadecimal digits) as an upper-case UUID,
    // "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4"; null when no file holds one.
    static std::optional<std::string> platformUUID();
    // The model name as the registry keeps it: its bytes (a trailing line end dropped) ending
    // with a zero byte; null when no file holds one.
    static std::optional<PlistData> model();
    // The primary Ethernet interface: the first by name of the interfaces of type 1 (Ethernet;
    // the loopback interface has another type). kSuccess with an iterator over it, or over
    // nothing when there is none; kFailure when the interfaces folder cannot be read.
    static std::int32_t primaryEthernetInterfaces(InterfaceIterator& iterator);
};

}  // namespace platform
