#include "Platform/MachineIdentity.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport/FakeMachine.h"

namespace {

using platform::MachineIdentity;
using platform::PlistData;

class MachineIdentityTest : public kvltest::FakeMachineTest {
protected:
    // The addresses of the interfaces the iterator hands out, with each lookup's result.
    static std::vector<std::pair<std::string, std::int32_t>> drain(MachineIdentity::InterfaceIterator& iterator) {
        std::vector<std::pair<std::string, std::int32_t>> seen;
        while (const auto interface = iterator.next()) {
            PlistData address;
            seen.emplace_back(interface->name, interface->controllerMACAddress(address));
        }
        return seen;
    }
};

TEST_F(MachineIdentityTest, PlatformUUIDIsTheMachineIdAsAnUpperCaseUUID) {
    EXPECT_EQ(MachineIdentity::platformUUID(), std::nullopt);
    // A malformed first file gives way to the second.
    writeMachineFile("etc/machine-id", "3d1219c7c4c5404aaa1f6d2a48adfd\n");
    writeMachineFile("var/lib/dbus/machine-id", "3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    EXPECT_EQ(MachineIdentity::platformUUID(), "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4");
    writeMachineFile("etc/machine-id", "0123456789abcdefABCDEF012345678g");
    writeMachineFile("var/lib/dbus/machine-id", "");
    EXPECT_EQ(MachineIdentity::platformUUID(), std::nullopt);
}

TEST_F(MachineIdentityTest, ModelEndsWithAZeroByte) {
    EXPECT_EQ(MachineIdentity::model(), std::nullopt);
    writeMachineFile("proc/device-tree/model", std::string("Board X\0", 8));
    writeMachineFile("sys/class/dmi/id/product_name", "\n");  // empty: gives way to the device tree
    EXPECT_EQ(MachineIdentity::model(), (PlistData{'B', 'o', 'a', 'r', 'd', ' ', 'X', 0}));
    writeMachineFile("sys/class/dmi/id/product_name", "PC-1\n");
    EXPECT_EQ(MachineIdentity::model(), (PlistData{'P', 'C', '-', '1', 0}));
}

TEST_F(MachineIdentityTest, PrimaryInterfaceIsTheFirstEthernetInterfaceByName) {
    MachineIdentity::InterfaceIterator iterator;
    EXPECT_EQ(MachineIdentity::primaryEthernetInterfaces(iterator), MachineIdentity::kFailure);

    addInterface("lo", 772, "00:00:00:00:00:00");
    addInterface("wlan0", 801, "aa:aa:aa:aa:aa:aa");
    EXPECT_EQ(MachineIdentity::primaryEthernetInterfaces(iterator), MachineIdentity::kSuccess);
    EXPECT_TRUE(drain(iterator).empty());

    addInterface("eth1", 1, "00:1B:63:84:45:E6");
    addInterface("eth0", 1, "02:fc:00:00:00:01");
    ASSERT_EQ(MachineIdentity::primaryEthernetInterfaces(iterator), MachineIdentity::kSuccess);
    const auto interface = iterator.next();
    ASSERT_TRUE(interface.has_value());
    PlistData address;
    EXPECT_EQ(interface->controllerMACAddress(address), MachineIdentity::kSuccess);
    EXPECT_EQ(std::tuple(interface->name, address, iterator.next()),
              std::tuple("eth0", PlistData{0x02, 0xfc, 0x00, 0x00, 0x00, 0x01}, std::nullopt));
}

TEST_F(MachineIdentityTest, UnreadableOrMalformedAddressFailsTheControllerLookup) {
    MachineIdentity::InterfaceIterator iterator;
    for (const char* text : {"02:fc:00:00:00", "02:fc:00:00:00:0", "02-fc-00-00-00-01", "zz:fc:00:00:00:01", ""}) {
        addInterface("eth0", 1, text);
        ASSERT_EQ(MachineIdentity::primaryEthernetInterfaces(iterator), MachineIdentity::kSuccess);
        const auto seen = drain(iterator);
        ASSERT_EQ(seen.size(), 1u);
        // Five whole pairs are a (short) address; the registry's caller checks the length.
        EXPECT_EQ(seen[0].second,
                  std::string_view(text) == "02:fc:00:00:00" ? MachineIdentity::kSuccess : MachineIdentity::kNoDevice)
            << text;
    }
    std::filesystem::remove(path("machine/sys/class/net/eth0/address"));
    ASSERT_EQ(MachineIdentity::primaryEthernetInterfaces(iterator), MachineIdentity::kSuccess);
    EXPECT_EQ(drain(iterator),
              (std::vector<std::pair<std::string, std::int32_t>>{{"eth0", MachineIdentity::kNoDevice}}));
}

}  // namespace
