#pragma once

#include <string>
#include <string_view>

#include "Platform/MachineIdentity.h"
#include "TestSupport/TemporaryRoot.h"

namespace kvltest {

// A temporary root whose "machine" folder stands in for the files the machine registry reads
// (machine id, model, network interfaces); the process's registry locations point at it for
// the test and come back afterwards. Nothing exists until a test writes it.
class FakeMachineTest : public TemporaryRootTest {
protected:
    FakeMachineTest() {
        platform::MachineIdentity::Locations fake;
        fake.machineIdFiles = {path("machine/etc/machine-id"), path("machine/var/lib/dbus/machine-id")};
        fake.modelFiles = {path("machine/sys/class/dmi/id/product_name"), path("machine/proc/device-tree/model")};
        fake.networkInterfacesFolder = path("machine/sys/class/net");
        previous_ = platform::MachineIdentity::exchangeLocations(std::move(fake));
    }
    ~FakeMachineTest() override { platform::MachineIdentity::exchangeLocations(std::move(previous_)); }

    void writeMachineFile(std::string_view relative, std::string_view text) const {
        writeFile("machine/" + std::string(relative), text);
    }
    // An interface folder with its "type" and "address" files, as the system writes them.
    void addInterface(std::string_view name, int type, std::string_view address) const {
        const std::string folder = "sys/class/net/" + std::string(name);
        writeMachineFile(folder + "/type", std::to_string(type) + "\n");
        writeMachineFile(folder + "/address", std::string(address) + "\n");
    }

private:
    platform::MachineIdentity::Locations previous_;
};

}  // namespace kvltest
