#include "KVLSharedUtil/KVLSystemInformation.h"

#include <algorithm>
#include <cstring>

#include "Platform/Format.h"
#include "Platform/Host.h"
#include "Platform/ProcessInfo.h"
#include "Platform/UTF8.h"

namespace {

constexpr char kUnknown[] = "Unknown";
constexpr std::uint8_t kMACAddressLength = 6;

}  // namespace

std::string KVLSystemInformation::getUniqueDeviceId() {
    // The registry's UUID is always a 36-character ASCII text, so the platform's conversion
    // to ASCII cannot fail here.
    return platform::MachineIdentity::platformUUID().value_or(kUnknown);
}

std::string KVLSystemInformation::getSystemVersion() {
    const std::string version = platform::ProcessInfo::operatingSystemVersionString();
    return version.empty() ? kUnknown : version;
}

std::string KVLSystemInformation::getOSName() {
    return platform::ProcessInfo::operatingSystemName() == "NSMACHOperatingSystem" ? "MAC OS" : "Non MAC OS";
}

std::string KVLSystemInformation::getDeviceName() {
    const std::optional<platform::PlistData> model = platform::MachineIdentity::model();
    if (!model) {
        return kUnknown;
    }
    // Up to the first zero byte (the value normally ends with one) or the end of the data.
    const auto end = std::find(model->begin(), model->end(), 0);
    const std::string text(model->begin(), end);
    return platform::isValidUTF8(text) ? text : kUnknown;
}

std::vector<std::string> KVLSystemInformation::getIPAddress() {
    std::vector<std::string> addresses = platform::Host::currentHostAddresses();
    std::erase_if(addresses, [](const std::string& address) { return address.starts_with("127"); });
    return addresses;
}

std::string KVLSystemInformation::getMacAddress() {
    platform::MachineIdentity::InterfaceIterator iterator;
    if (findEthernetInterfaces(&iterator) != kKernSuccess) {
        return kUnknown;
    }
    std::uint8_t address[kMACAddressLength];
    if (getPrimaryMACAddress(iterator, address, sizeof address) != kKernSuccess) {
        return kUnknown;
    }
    return platform::formatString("%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1], address[2], address[3],
                                  address[4], address[5]);
}

std::int32_t KVLSystemInformation::findEthernetInterfaces(platform::MachineIdentity::InterfaceIterator* iterator) {
    return platform::MachineIdentity::primaryEthernetInterfaces(*iterator);
}

std::int32_t KVLSystemInformation::getPrimaryMACAddress(platform::MachineIdentity::InterfaceIterator& iterator,
                                                        std::uint8_t* buffer, std::uint8_t bufferSize) {
    if (bufferSize < kMACAddressLength) {
        return kKernFailure;
    }
    std::memset(buffer, 0, bufferSize);
    std::int32_t result = kKernFailure;
    while (const auto interface = iterator.next()) {
        platform::PlistData address;
        result = interface->controllerMACAddress(address);
        if (result == kKernSuccess) {
            std::copy_n(address.begin(), std::min<std::size_t>(address.size(), kMACAddressLength), buffer);
        }
    }
    return result;
}
