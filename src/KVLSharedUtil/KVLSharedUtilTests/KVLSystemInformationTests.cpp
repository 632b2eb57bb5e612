#include "KVLSharedUtil/KVLSystemInformation.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "Platform/Host.h"
#include "Platform/ProcessInfo.h"
#include "TestSupport/FakeMachine.h"

namespace {

class KVLSystemInformationTest : public kvltest::FakeMachineTest {};

TEST_F(KVLSystemInformationTest, AMachineWithoutRecordsAnswersUnknown) {
    EXPECT_EQ(KVLSystemInformation::getUniqueDeviceId(), "Unknown");
    EXPECT_EQ(KVLSystemInformation::getDeviceName(), "Unknown");
    EXPECT_EQ(KVLSystemInformation::getMacAddress(), "Unknown");
    writeMachineFile("sys/class/dmi/id/product_name", "Model \xff\xfe\n");  // not UTF-8
    EXPECT_EQ(KVLSystemInformation::getDeviceName(), "Unknown");
}

TEST_F(KVLSystemInformationTest, MachineRecordsAreReadAndFormatted) {
    writeMachineFile("etc/machine-id", "3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    writeMachineFile("sys/class/dmi/id/product_name", "Precision 5570\n");
    addInterface("eth0", 1, "00:1B:63:84:45:E6");
    EXPECT_EQ(KVLSystemInformation::getUniqueDeviceId(), "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4");
    EXPECT_EQ(KVLSystemInformation::getDeviceName(), "Precision 5570");
    EXPECT_EQ(KVLSystemInformation::getMacAddress(), "00:1b:63:84:45:e6");
}

TEST_F(KVLSystemInformationTest, PrimaryAddressRefusesAShortBufferAndFailsWithoutInterfaces) {
    addInterface("eth0", 1, "00:1b:63:84:45:e6");
    platform::MachineIdentity::InterfaceIterator interfaces;
    ASSERT_EQ(KVLSystemInformation::findEthernetInterfaces(&interfaces), KVLSystemInformation::kKernSuccess);

    std::array<std::uint8_t, 6> buffer{9, 9, 9, 9, 9, 9};
    EXPECT_EQ(KVLSystemInformation::getPrimaryMACAddress(interfaces, buffer.data(), 5),
              KVLSystemInformation::kKernFailure);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{9, 9, 9, 9, 9, 9}));

    EXPECT_EQ(KVLSystemInformation::getPrimaryMACAddress(interfaces, buffer.data(), 6),
              KVLSystemInformation::kKernSuccess);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0x00, 0x1b, 0x63, 0x84, 0x45, 0xe6}));

    // The iterator is spent: nothing more to read, the buffer is zeroed.
    EXPECT_EQ(KVLSystemInformation::getPrimaryMACAddress(interfaces, buffer.data(), 6),
              KVLSystemInformation::kKernFailure);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{}));
}

TEST_F(KVLSystemInformationTest, AddressesBeginningWith127AreDropped) {
    const auto previous = platform::Host::exchangeAddressSource([] {
        return std::vector<std::string>{"127.0.0.1", "::1", "10.1.2.3", "127.0.1.1", "fe80::1%eth0"};
    });
    const auto addresses = KVLSystemInformation::getIPAddress();
    platform::Host::exchangeAddressSource(previous);
    EXPECT_EQ(addresses, (std::vector<std::string>{"::1", "10.1.2.3", "fe80::1%eth0"}));
}

TEST(KVLSystemInformation, TheOSNameIsMacOSOnlyOnTheMachBasedSystem) {
    const std::pair<const char*, const char*> cases[] = {
        {"Darwin", "MAC OS"}, {"Linux", "Non MAC OS"}, {"", "Non MAC OS"}};
    for (const auto& [kernel, name] : cases) {
        platform::ProcessInfo::setKernelNameForTesting(kernel);
        EXPECT_EQ(KVLSystemInformation::getOSName(), name) << kernel;
    }
    platform::ProcessInfo::setKernelNameForTesting(std::nullopt);
}

}  // namespace
