// The recording decorator and the device registry.
#include "device/RecordingDevice.h"
#include "MockZelkDevice.h"
#include "core/DeviceRegistry.h"

#include <array>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::_;
using ::testing::DoAll;
using ::testing::Return;
using ::testing::SetArgReferee;

// Catches calls logged out of order, with in-values instead of answers, or
// with the unit's kind (text or number) lost.
TEST(RecordingDeviceTest, LogsCallsInOrderWithAnswersAndUnitKind)
{
    MockZelkDevice inner;
    EXPECT_CALL(inner, OpenPort(QString("COM1"))).WillOnce(Return("CMD_OK"));
    EXPECT_CALL(inner, GetGroupID(_, qint16(2), _))
        .WillOnce(DoAll(SetArgReferee<2>(qint16(7)), Return("CMD_OK")));
    EXPECT_CALL(inner, SetGlobalOutputState(_, qint16(0))).WillOnce(Return("ERR"));
    EXPECT_CALL(inner, GetPresentModules(_, _)).WillOnce([](const UnitArg &, StatusArray &a) {
        a.set(1, 1);
        a.set(3, 1);
        return QString("CMD_OK");
    });

    RecordingDevice device(inner);
    EXPECT_EQ(device.OpenPort("COM1"), "CMD_OK");
    qint16 group = 0;
    EXPECT_EQ(device.GetGroupID(QString("3"), 2, group), "CMD_OK");
    EXPECT_EQ(group, 7);
    EXPECT_EQ(device.SetGlobalOutputState(qint16(3), 0), "ERR");
    StatusArray modules;
    EXPECT_EQ(device.GetPresentModules(QString("3"), modules), "CMD_OK");

    EXPECT_EQ(device.callTexts(),
              (QStringList{"OpenPort(\"COM1\") -> CMD_OK", "GetGroupID(\"3\", 2, 7) -> CMD_OK",
                           "SetGlobalOutputState(3, 0) -> ERR",
                           "GetPresentModules(\"3\", 10100000) -> CMD_OK"}));
    EXPECT_EQ(device.methodNames(),
              (QStringList{"OpenPort", "GetGroupID", "SetGlobalOutputState", "GetPresentModules"}));
}

// Catches an unregistered identifier creating something, or a registered one failing.
TEST(DeviceRegistryTest, OnlyRegisteredIdentifiersCreateObjects)
{
    QString error;
    EXPECT_FALSE(CreateDeviceObject("ZelkX.Nothing.1", &error));
    EXPECT_TRUE(error.contains("ZelkX.Nothing.1"));

    registerDeviceObject("Test.Device.1",
                         [] { return std::make_unique<::testing::NiceMock<MockZelkDevice>>(); });
    EXPECT_TRUE(CreateDeviceObject("test.device.1")); // identifiers ignore case
    unregisterDeviceObject("Test.Device.1");
    EXPECT_FALSE(CreateDeviceObject("Test.Device.1"));
}

// Catches status arrays read or written outside 1..8.
TEST(StatusArrayTest, IndexedOneToEightAndTextInOrder)
{
    StatusArray a;
    a.set(2, 1);
    a.set(3, 1);
    a.set(0, 1);
    a.set(9, 1);
    EXPECT_EQ(a.toStatusText(), "01100000");
    EXPECT_EQ((std::array{a(0), a(9), a(2)}), (std::array<qint16, 3>{0, 0, 1}));
    // Odd values from a device keep every position in place.
    a.set(1, 2);
    a.set(4, -1);
    a.set(8, 10);
    EXPECT_EQ(a.toStatusText(), "01100000");
}
