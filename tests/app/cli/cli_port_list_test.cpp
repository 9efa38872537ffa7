#include "app/cli/cli_port_list.h"

#include <filesystem>
#include <string>

#include <gmock/gmock.h>

#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

// A port's line names its first by-id link (by name) and whether it can be used.
TEST(CliOptions, PortListLinesNameTheByIdLinkAndTheUse) {
    testing_support::TempFolder dir;
    testing_support::WriteFile(dir.File("ttyFAKE0"), "");
    std::filesystem::create_directory(dir.File("by-id"));
    std::filesystem::create_symlink(dir.File("ttyFAKE0"), dir.File("by-id/usb-B"));
    std::filesystem::create_symlink("../ttyFAKE0", dir.File("by-id/usb-A"));
    const std::string device = std::filesystem::canonical(dir.File("ttyFAKE0"));
    const std::list<StreamPort::CSerialPortInfo> ports = {{device, "FT232R (ttyFAKE0)", 0, ""},
                                                          {"/dev/ttyS1", "ttyS1", 1, ""},
                                                          {"/dev/ttyS2", "ttyS2", 0, "dialout"}};
    EXPECT_EQ(
        PortListText(ports, LinksByDevice(dir.File("by-id"))),
        "FT232R (ttyFAKE0)\t" + device + "\t" + dir.File("by-id/usb-A") +
            "\tfree\nttyS1\t/dev/ttyS1\t-\tin use\nttyS2\t/dev/ttyS2\t-\tneeds group dialout\n");
    EXPECT_TRUE(LinksByDevice(dir.File("none")).empty());
}

}  // namespace
}  // namespace qelvor::test
