// Plug and play and power: start with its completion routine, surprise
// removal, removal (which takes the control device along), set-power.
#include "DriverFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

std::vector<UCHAR> Minors(const std::vector<TArrival> &arrivals)
{
    std::vector<UCHAR> minors;
    for (const auto &arrival : arrivals)
        minors.push_back(arrival.Minor);
    return minors;
}

// ---- Start -----------------------------------------------------------------------------

struct TStartCase {
    const char *Name;
    bool Pending;
    NTSTATUS Answer;
};

class TStart : public TDriverTest, public ::testing::WithParamInterface<TStartCase> {};

// A surprise removal came first: a successful start clears it, a failed one
// leaves every flag as it was.
TEST_P(TStart, WaitsForThePortAndCompletesWithItsStatus)
{
    const TStartCase &c = GetParam();
    BuildStack();
    ASSERT_EQ(kl::SendPnp(Filter(), IRP_MN_SURPRISE_REMOVAL).Status, STATUS_SUCCESS);
    Port.StartAnswer = c.Answer;
    Port.HoldStarts = c.Pending;

    kl::TResult result;
    TBackground pnp(Port, [&] { result = kl::SendPnp(Filter(), IRP_MN_START_DEVICE); });
    if (c.Pending) {
        ASSERT_TRUE(kl::AwaitBlockedWaiters(1)) << "the start did not wait for the port";
        EXPECT_EQ(Port.Held(), 1u);
        EXPECT_FALSE(pnp.Finished());
        Port.CompleteHeld();
    }
    pnp.Join();

    EXPECT_EQ(result.Returned, c.Answer);
    EXPECT_EQ(result.Status, c.Answer);
    EXPECT_EQ(result.Information, 0u);
    EXPECT_THAT(Minors(Port.Arrivals(IRP_MJ_PNP)), ElementsAre(IRP_MN_SURPRISE_REMOVAL, IRP_MN_START_DEVICE));
    EXPECT_THAT(Class.StartCompletions, ElementsAre(c.Answer)) << "the class above learns the outcome once";
    const DEVICE_EXTENSION &ext = Ext(Filter());
    bool started = NT_SUCCESS(c.Answer);
    EXPECT_EQ(ext.Started, started);
    EXPECT_EQ(ext.SurpriseRemoved, !started);
    EXPECT_FALSE(ext.Removed);
    EXPECT_EQ(kl::LiveRequests(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Answers, TStart,
                         ::testing::Values(TStartCase{"Succeeds", false, STATUS_SUCCESS},
                                           TStartCase{"Fails", false, STATUS_UNSUCCESSFUL},
                                           TStartCase{"SucceedsLater", true, STATUS_SUCCESS},
                                           TStartCase{"FailsLater", true, STATUS_INSUFFICIENT_RESOURCES}),
                         [](const auto &info) { return std::string(info.param.Name); });

// ---- Other requests ------------------------------------------------------------------

using TPnp = TDriverTest;

TEST_F(TPnp, OtherRequestsGoDownWithThePortsAnswer)
{
    BuildStack();

    for (UCHAR minor : {IRP_MN_QUERY_CAPABILITIES, IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_STOP_DEVICE, 0x18}) {
        SCOPED_TRACE(minor);
        Port.Answer = minor == IRP_MN_STOP_DEVICE ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS;
        kl::TResult result = kl::SendPnp(Filter(), minor);
        EXPECT_EQ(result.Returned, Port.Answer);
        EXPECT_EQ(result.Status, Port.Answer);
        ASSERT_FALSE(Port.Arrivals(IRP_MJ_PNP).empty());
        EXPECT_EQ(Port.Arrivals(IRP_MJ_PNP).back().Minor, minor);
        EXPECT_EQ(Port.Arrivals(IRP_MJ_PNP).back().Status, STATUS_NOT_SUPPORTED) << "status passed down as sent";
    }
    const DEVICE_EXTENSION &ext = Ext(Filter());
    EXPECT_FALSE(ext.Started);
    EXPECT_FALSE(ext.SurpriseRemoved);
    EXPECT_FALSE(ext.Removed);
}

TEST_F(TPnp, SurpriseRemovalIsNotedAndPassedDown)
{
    BuildStack(/*connected=*/true);
    Port.Answer = STATUS_UNSUCCESSFUL;

    kl::TResult result = kl::SendPnp(Filter(), IRP_MN_SURPRISE_REMOVAL);

    EXPECT_EQ(result.Status, STATUS_UNSUCCESSFUL);
    EXPECT_THAT(Minors(Port.Arrivals(IRP_MJ_PNP)), ElementsAre(IRP_MN_SURPRISE_REMOVAL));
    EXPECT_TRUE(Ext(Filter()).SurpriseRemoved);
    EXPECT_FALSE(Ext(Filter()).Removed);
    EXPECT_EQ(SendCommand({227}), STATUS_SUCCESS) << "commands still go down until the removal";
}

// ---- Removal --------------------------------------------------------------------------

using TRemoval = TDriverTest;

TEST_F(TRemoval, DetachesAndDeletesTheFilterAndTheControlDevice)
{
    BuildStack(/*connected=*/true);
    PDEVICE_OBJECT filter = Filter();
    PDEVICE_OBJECT control = Control();

    kl::TResult result = kl::SendPnp(Filter(), IRP_MN_REMOVE_DEVICE);

    EXPECT_EQ(result.Status, STATUS_SUCCESS);
    EXPECT_EQ(result.Returned, STATUS_SUCCESS);
    EXPECT_THAT(Minors(Port.Arrivals(IRP_MJ_PNP)), ElementsAre(IRP_MN_REMOVE_DEVICE));
    EXPECT_TRUE(kl::IsFreed(filter));
    EXPECT_TRUE(kl::IsFreed(control));
    EXPECT_THAT(kl::DevicesOf(Driver), IsEmpty());
    EXPECT_EQ(Control(), nullptr);
    EXPECT_EQ(kl::LinkTarget(kLinkName), std::nullopt);
    PFILE_OBJECT file = nullptr;
    EXPECT_EQ(kl::OpenFile(kUserPath, &file), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(TRemoval, CommandsOnAHandleOpenedBeforeAreRefused)
{
    BuildStack(/*connected=*/true);
    PDEVICE_OBJECT control = Control();
    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(kl::OpenFile(kUserPath, &file), STATUS_SUCCESS);

    ASSERT_EQ(kl::SendPnp(Filter(), IRP_MN_REMOVE_DEVICE).Status, STATUS_SUCCESS);
    UCHAR command = 227;
    NTSTATUS status = kl::DeviceIoControl(file, IOCTL_MOUSE_COMMAND, &command, 1, nullptr, 0);
    EXPECT_FALSE(kl::IsFreed(control)) << "the open handle keeps the object";
    EXPECT_EQ(kl::CloseFile(file), STATUS_SUCCESS);

    EXPECT_EQ(status, STATUS_NO_SUCH_DEVICE);
    EXPECT_THAT(Port.Writes(), IsEmpty());
    EXPECT_TRUE(kl::IsFreed(control));
}

TEST_F(TRemoval, WaitsForACommandInFlight)
{
    BuildStack(/*connected=*/true);
    Port.HoldWrites = true;

    NTSTATUS command = STATUS_PENDING;
    kl::TResult removal;
    TBackground caller(Port, [&] { command = SendCommand({228}); });
    ASSERT_TRUE(kl::AwaitBlockedWaiters(1));
    TBackground pnp(Port, [&] { removal = kl::SendPnp(Filter(), IRP_MN_REMOVE_DEVICE); });
    ASSERT_TRUE(kl::AwaitBlockedWaiters(2)) << "the removal did not wait for the command";
    EXPECT_THAT(Port.Arrivals(IRP_MJ_PNP), IsEmpty());

    Port.CompleteHeld();
    caller.Join();
    pnp.Join();

    EXPECT_EQ(command, STATUS_SUCCESS);
    EXPECT_EQ(removal.Status, STATUS_SUCCESS);
    EXPECT_THAT(Minors(Port.Arrivals(IRP_MJ_PNP)), ElementsAre(IRP_MN_REMOVE_DEVICE));
    EXPECT_EQ(Control(), nullptr);
}

TEST_F(TRemoval, LetsTheNextMouseTakeTheName)
{
    BuildStack(/*connected=*/true);
    ASSERT_EQ(kl::SendPnp(Filter(), IRP_MN_REMOVE_DEVICE).Status, STATUS_SUCCESS);

    TI8042Port next;
    ASSERT_EQ(AddDevice(next), STATUS_SUCCESS);
    EXPECT_EQ(SendCommand({229}), STATUS_SUCCESS);

    ASSERT_THAT(next.Writes(), SizeIs(1));
    EXPECT_THAT(next.Writes()[0].Bytes, ElementsAre(229));
    EXPECT_EQ(Ext(Control()).LowerDevice, next.Fdo);
}

// ---- Power -------------------------------------------------------------------------------

struct TPowerCase {
    const char *Name;
    UCHAR Minor;
    POWER_STATE_TYPE Type;
    int State;
    DEVICE_POWER_STATE Expected;
};

class TPower : public TDriverTest, public ::testing::WithParamInterface<TPowerCase> {};

TEST_P(TPower, OnlyASetDevicePowerChangesTheStateAndEveryRequestGoesDown)
{
    const TPowerCase &c = GetParam();
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    Port.Answer = STATUS_UNSUCCESSFUL;
    POWER_STATE state;
    if (c.Type == DevicePowerState)
        state.DeviceState = static_cast<DEVICE_POWER_STATE>(c.State);
    else
        state.SystemState = static_cast<SYSTEM_POWER_STATE>(c.State);

    kl::TResult result = kl::SendPower(Filter(), c.Minor, c.Type, state);

    EXPECT_EQ(result.Returned, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(result.Status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(Ext(Filter()).PowerState, c.Expected);
    auto arrivals = Port.Arrivals(IRP_MJ_POWER);
    ASSERT_THAT(arrivals, SizeIs(1));
    EXPECT_EQ(arrivals[0].Minor, c.Minor);
    EXPECT_EQ(arrivals[0].PowerType, c.Type);
    EXPECT_EQ(static_cast<int>(arrivals[0].PowerState.DeviceState), c.State);
    EXPECT_TRUE(arrivals[0].ViaPoCall) << "power requests go down through the power manager";
    EXPECT_EQ(arrivals[0].PoStartNext, 1u) << "the filter let the next power request start";
}

INSTANTIATE_TEST_SUITE_P(
    Requests, TPower,
    ::testing::Values(
        TPowerCase{"SetDeviceD3", IRP_MN_SET_POWER, DevicePowerState, PowerDeviceD3, PowerDeviceD3},
        TPowerCase{"SetDeviceD2", IRP_MN_SET_POWER, DevicePowerState, PowerDeviceD2, PowerDeviceD2},
        TPowerCase{"SetSystemSleep", IRP_MN_SET_POWER, SystemPowerState, PowerSystemSleeping3, PowerDeviceD0},
        TPowerCase{"QueryDeviceD3", IRP_MN_QUERY_POWER, DevicePowerState, PowerDeviceD3, PowerDeviceD0},
        TPowerCase{"WaitWake", IRP_MN_WAIT_WAKE, SystemPowerState, PowerSystemSleeping1, PowerDeviceD0}),
    [](const auto &info) { return std::string(info.param.Name); });

// ---- Control device ------------------------------------------------------------------

TEST_F(TPnp, ControlDeviceKeepsPlugAndPlayAndPowerToItself)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    POWER_STATE state;
    state.DeviceState = PowerDeviceD3;

    kl::TResult power = kl::SendPower(Control(), IRP_MN_SET_POWER, DevicePowerState, state);
    kl::TResult pnp = kl::SendPnp(Control(), IRP_MN_REMOVE_DEVICE);

    EXPECT_EQ(power.Status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(pnp.Status, STATUS_NOT_SUPPORTED);
    EXPECT_THAT(Port.Arrivals(), IsEmpty());
    ASSERT_NE(Control(), nullptr);
    EXPECT_EQ(Ext(Control()).PowerState, PowerDeviceD0);
    EXPECT_NE(Filter(), nullptr);
}

} // namespace
