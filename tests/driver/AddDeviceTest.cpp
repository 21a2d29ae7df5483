// DriverEntry and AddDevice: the two devices, their names, flags and
// extensions, and what a failing step leaves behind.
#include "DriverFixture.h"

using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

using TAddDevice = TDriverTest;

void ExpectDeviceFlags(PDEVICE_OBJECT device)
{
    EXPECT_TRUE(device->Flags & DO_BUFFERED_IO);
    EXPECT_TRUE(device->Flags & DO_POWER_PAGABLE);
    EXPECT_FALSE(device->Flags & DO_DEVICE_INITIALIZING);
    EXPECT_FALSE(device->Flags & DO_EXCLUSIVE);
    EXPECT_EQ(device->Characteristics, 0u);
}

TEST_F(TAddDevice, DriverEntrySetsAddDeviceAndUnload)
{
    EXPECT_NE(Driver->DriverExtension->AddDevice, nullptr);
    // Without an unload routine the system never unloads the driver.
    EXPECT_NE(Driver->DriverUnload, nullptr);
    for (auto *routine : Driver->MajorFunction)
        EXPECT_NE(routine, nullptr);
}

TEST_F(TAddDevice, CreatesNamedControlDeviceWithLink)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);

    PDEVICE_OBJECT control = Control();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->DeviceType, static_cast<DEVICE_TYPE>(FILE_DEVICE_UNKNOWN));
    ExpectDeviceFlags(control);
    EXPECT_EQ(kl::LinkTarget(kLinkName), kDeviceName);
    EXPECT_EQ(control->AttachedDevice, nullptr);
    EXPECT_EQ(control->KlAttachedTo, nullptr) << "the control device is in no stack";

    const DEVICE_EXTENSION &ext = Ext(control);
    EXPECT_EQ(ext.OwnDevice, control);
    EXPECT_EQ(ext.PhysicalDevice, Port.Pdo);
    EXPECT_EQ(ext.LowerDevice, Port.Fdo) << "commands go to the top of the stack as the filter found it";
    EXPECT_EQ(ext.PowerState, PowerDeviceD0);
    EXPECT_TRUE(ext.IsControlDevice);
    EXPECT_FALSE(ext.Started);
    EXPECT_FALSE(ext.SurpriseRemoved);
    EXPECT_FALSE(ext.Removed);
    EXPECT_EQ(ext.OpenCount, 0);
    EXPECT_EQ(ext.ClassConnect.ClassService, nullptr);
}

TEST_F(TAddDevice, AttachesUnnamedFilterOnTopOfTheStack)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);

    PDEVICE_OBJECT filter = Port.Fdo->AttachedDevice;
    ASSERT_NE(filter, nullptr);
    EXPECT_NE(filter, Control());
    EXPECT_EQ(kl::NameOf(filter), L"");
    EXPECT_EQ(filter->DeviceType, static_cast<DEVICE_TYPE>(FILE_DEVICE_MOUSE));
    ExpectDeviceFlags(filter);
    EXPECT_EQ(filter->StackSize, Port.Fdo->StackSize + 1);

    const DEVICE_EXTENSION &ext = Ext(filter);
    EXPECT_EQ(ext.OwnDevice, filter);
    EXPECT_EQ(ext.PhysicalDevice, Port.Pdo);
    EXPECT_EQ(ext.LowerDevice, Port.Fdo);
    EXPECT_EQ(ext.PowerState, PowerDeviceD0);
    EXPECT_FALSE(ext.IsControlDevice);
    EXPECT_FALSE(ext.Started);
    EXPECT_FALSE(ext.SurpriseRemoved);
    EXPECT_FALSE(ext.Removed);
    EXPECT_EQ(ext.PrevIsrHook, nullptr);
    EXPECT_EQ(ext.ClassConnect.ClassService, nullptr);

    EXPECT_THAT(kl::DevicesOf(Driver), UnorderedElementsAre(filter, Control()));
}

TEST_F(TAddDevice, SecondMouseFailsOnTakenNameAndGetsNoFilter)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    PDEVICE_OBJECT control = Control();
    PDEVICE_OBJECT filter = Filter();

    TI8042Port second;
    EXPECT_EQ(AddDevice(second), STATUS_OBJECT_NAME_COLLISION);

    EXPECT_EQ(second.Fdo->AttachedDevice, nullptr);
    EXPECT_THAT(kl::DevicesOf(Driver), UnorderedElementsAre(filter, control));
    EXPECT_EQ(Control(), control);
    EXPECT_EQ(Ext(control).PhysicalDevice, Port.Pdo);
    EXPECT_EQ(Ext(control).LowerDevice, Port.Fdo);
}

struct TFailureCase {
    const char *Name;
    kl::TCall Call;
    int Nth;
    NTSTATUS Injected;
    NTSTATUS Expected;
};

class TAddDeviceFailure : public TDriverTest, public ::testing::WithParamInterface<TFailureCase> {};

// Whatever step fails, AddDevice reports it and leaves nothing behind: no
// device, no name, no link, nothing attached; the next attempt succeeds.
TEST_P(TAddDeviceFailure, LeavesNothingBehind)
{
    const TFailureCase &c = GetParam();
    kl::FailCall(c.Call, c.Injected, c.Nth);

    EXPECT_EQ(AddDevice(Port), c.Expected);

    EXPECT_THAT(kl::DevicesOf(Driver), IsEmpty());
    EXPECT_EQ(Control(), nullptr);
    EXPECT_EQ(kl::LinkTarget(kLinkName), std::nullopt);
    EXPECT_EQ(Port.Fdo->AttachedDevice, nullptr);
    PFILE_OBJECT file = nullptr;
    EXPECT_EQ(kl::OpenFile(kUserPath, &file), STATUS_OBJECT_NAME_NOT_FOUND);

    EXPECT_EQ(AddDevice(Port), STATUS_SUCCESS);
    EXPECT_NE(Filter(), nullptr);
    EXPECT_NE(Control(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, TAddDeviceFailure,
    ::testing::Values(
        TFailureCase{"ControlDevice", kl::TCall::CreateDevice, 1, STATUS_INSUFFICIENT_RESOURCES,
                     STATUS_INSUFFICIENT_RESOURCES},
        TFailureCase{"Link", kl::TCall::CreateSymbolicLink, 1, STATUS_OBJECT_NAME_COLLISION,
                     STATUS_OBJECT_NAME_COLLISION},
        TFailureCase{"FilterDevice", kl::TCall::CreateDevice, 2, STATUS_INSUFFICIENT_RESOURCES,
                     STATUS_INSUFFICIENT_RESOURCES},
        TFailureCase{"Attach", kl::TCall::AttachDevice, 1, STATUS_SUCCESS, STATUS_NO_SUCH_DEVICE}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
