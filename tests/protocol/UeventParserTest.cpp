#include "protocol/UeventParser.h"

#include <gtest/gtest.h>

#include <string>

using kel::protocol::UeventParser;
using kel::protocol::UsbEvent;

namespace {
std::string uevent(const std::string& action, const std::string& devpath, const std::string& subsystem,
                    const std::string& devtype)
{
    std::string m = action + "@" + devpath;
    m.push_back('\0');
    for (const std::string& kv : {"ACTION=" + action, "DEVPATH=" + devpath, "SUBSYSTEM=" + subsystem,
                                  "DEVTYPE=" + devtype, std::string("SEQNUM=1234")}) {
        m += kv;
        m.push_back('\0');
    }
    return m;
}

const std::string kUsbDisk = "/devices/platform/soc/1f2c0000.usb/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda";

const char kUdevMessage[] = "libudev\0\0\0\0ACTION=add\0SUBSYSTEM=block\0DEVTYPE=disk\0";

struct Case {
    const char* what;
    std::string message;
    bool kept;
    UsbEvent::Action action;
    bool partition;
};
} // namespace

TEST(UeventParser, KeepsOnlyAddAndRemoveOfUsbDisksAndPartitions)
{
    const Case cases[] = {
        {"usb disk add", uevent("add", kUsbDisk, "block", "disk"), true, UsbEvent::Action::Add, false},
        {"usb partition add", uevent("add", kUsbDisk + "/sda1", "block", "partition"), true, UsbEvent::Action::Add, true},
        {"usb partition remove", uevent("remove", kUsbDisk + "/sda1", "block", "partition"), true,
         UsbEvent::Action::Remove, true},
        {"usb disk remove", uevent("remove", kUsbDisk, "block", "disk"), true, UsbEvent::Action::Remove, false},
        {"usb disk change", uevent("change", kUsbDisk, "block", "disk"), false, UsbEvent::Action::Add, false},
        {"sd card", uevent("add", "/devices/platform/soc/mmc0/mmc0:0001/block/mmcblk0", "block", "disk"), false,
         UsbEvent::Action::Add, false},
        {"usb interface", uevent("add", "/devices/platform/soc/usb1/1-1/1-1:1.0", "usb", "usb_interface"), false,
         UsbEvent::Action::Add, false},
        {"scsi host of the stick", uevent("add", kUsbDisk.substr(0, kUsbDisk.find("/target")), "scsi", "scsi_host"),
         false, UsbEvent::Action::Add, false},
        {"udev's own message", std::string(kUdevMessage, sizeof(kUdevMessage) - 1), false,
         UsbEvent::Action::Add, false},
        {"empty", std::string(), false, UsbEvent::Action::Add, false},
    };
    for (const Case& c : cases) {
        UsbEvent e;
        const bool kept = UeventParser::parse(c.message.data(), c.message.size(), e);
        EXPECT_EQ(kept, c.kept) << c.what;
        if (kept && c.kept) {
            EXPECT_EQ(e.action, c.action) << c.what;
            EXPECT_EQ(e.partition, c.partition) << c.what;
        }
    }
}
