#include "Platform/MachineIdentity.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "Platform/FileManager.h"
#include "Platform/PathUtilities.h"
#include "Platform/Scanner.h"

namespace platform {

namespace {

std::mutex& locationsMutex() {
    static std::mutex mutex;
    return mutex;
}

MachineIdentity::Locations& storedLocations() {
    static MachineIdentity::Locations locations;
    return locations;
}

std::string withoutTrailingLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::optional<std::string> fileText(const std::string& path) {
    if (auto contents = FileManager::contentsAtPath(path)) {
        return withoutTrailingLineEnds(std::move(*contents));
    }
    return std::nullopt;
}

// "02:fc:00:00:00:01" -> its bytes; null for anything else.
std::optional<PlistData> parsedHardwareAddress(const std::string& text) {
    PlistData bytes;
    std::size_t index = 0;
    while (index + 2 <= text.size()) {
        const int high = Scanner::hexDigitValue(text[index]);
        const int low = Scanner::hexDigitValue(text[index + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        index += 2;
        if (index == text.size()) {
            return bytes;
        }
        if (text[index] != ':') {
            return std::nullopt;
        }
        ++index;
    }
    return std::nullopt;
}

}  // namespace

std::int32_t MachineIdentity::EthernetInterface::controllerMACAddress(PlistData& macAddress) const {
    const auto text = fileText(PathUtilities::stringByAppendingPathComponent(folder, "address"));
    const auto bytes = text ? parsedHardwareAddress(*text) : std::nullopt;
    if (!bytes) {
        return kNoDevice;
    }
    macAddress = *bytes;
    return kSuccess;
}

std::optional<MachineIdentity::EthernetInterface> MachineIdentity::InterfaceIterator::next() {
    if (position_ >= interfaces_.size()) {
        return std::nullopt;
    }
    return interfaces_[position_++];
}

MachineIdentity::Locations MachineIdentity::locations() {
    std::lock_guard lock(locationsMutex());
    return storedLocations();
}

MachineIdentity::Locations MachineIdentity::exchangeLocations(Locations locations) {
    std::lock_guard lock(locationsMutex());
    std::swap(storedLocations(), locations);
    return locations;
}

std::optional<std::string> MachineIdentity::platformUUID() {
    for (const std::string& path : locations().machineIdFiles) {
        const auto text = fileText(path);
        if (!text || text->size() != 32 ||
            !std::all_of(text->begin(), text->end(), [](char c) { return Scanner::hexDigitValue(c) >= 0; })) {
            continue;
        }
        std::string uuid;
        for (std::size_t index = 0; index < text->size(); ++index) {
            if (index == 8 || index == 12 || index == 16 || index == 20) {
                uuid += '-';
            }
            uuid += static_cast<char>(std::toupper(static_cast<unsigned char>((*text)[index])));
        }
        return uuid;
    }
    return std::nullopt;
}

std::optional<PlistData> MachineIdentity::model() {
    for (const std::string& path : locations().modelFiles) {
        const auto text = fileText(path);
        if (!text || text->empty()) {
            continue;
        }
        PlistData bytes(text->begin(), text->end());
        if (bytes.back() != 0) {
            bytes.push_back(0);
        }
        return bytes;
    }
    return std::nullopt;
}

std::int32_t MachineIdentity::primaryEthernetInterfaces(InterfaceIterator& iterator) {
    const std::string folder = locations().networkInterfacesFolder;
    const auto names = FileManager::contentsOfDirectoryAtPath(folder);  // sorted
    if (!names) {
        return kFailure;
    }
    for (const std::string& name : *names) {
        const std::string interfaceFolder = PathUtilities::stringByAppendingPathComponent(folder, name);
        if (fileText(PathUtilities::stringByAppendingPathComponent(interfaceFolder, "type")) == "1") {
            iterator = InterfaceIterator({EthernetInterface{name, interfaceFolder}});
            return kSuccess;
        }
    }
    iterator = InterfaceIterator();
    return kSuccess;
}

}  // namespace platform
