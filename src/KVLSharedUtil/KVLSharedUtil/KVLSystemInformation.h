#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/MachineIdentity.h"

// Questions about the machine. Every text answer is "Unknown" when the system does not
// provide the value.
class KVLSystemInformation {
public:
    // The registry's result codes these operations answer.
    static constexpr std::int32_t kKernSuccess = platform::MachineIdentity::kSuccess;
    static constexpr std::int32_t kKernFailure = platform::MachineIdentity::kFailure;

    // The machine's platform UUID.
    static std::string getUniqueDeviceId();
    // The operating system's version text.
    static std::string getSystemVersion();
    // "MAC OS" on a Mach-based system, "Non MAC OS" elsewhere.
    static std::string getOSName();
    // The machine's model name.
    static std::string getDeviceName();
    // The host's addresses without those beginning with "127", in the host's order; may be
    // empty.
    static std::vector<std::string> getIPAddress();
    // The primary Ethernet interface's address as "xx:xx:xx:xx:xx:xx" (lower-case).
    static std::string getMacAddress();

    // Fills the iterator with the primary Ethernet interfaces; the registry's result.
    static std::int32_t findEthernetInterfaces(platform::MachineIdentity::InterfaceIterator* iterator);
    // Copies the MAC address of the interfaces' controllers into the buffer, the last one's
    // staying; answers the last controller lookup's result. kKernFailure, with the buffer
    // untouched, for a size below 6; kKernFailure, with the buffer zeroed, when the iterator
    // yields nothing.
    static std::int32_t getPrimaryMACAddress(platform::MachineIdentity::InterfaceIterator& iterator,
                                             std::uint8_t* buffer, std::uint8_t bufferSize);
};
