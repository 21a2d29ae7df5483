// Requests on the two devices: pass-through, create and close, and the
// internal requests of the class connection and the port's hook handshake.
#include "DriverFixture.h"

#include <cstring>

using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

// ---- Pass-through ---------------------------------------------------------------

struct TPassCase {
    const char *Name;
    UCHAR Major;
    UCHAR Minor;
    ULONG Code; // for the two device control majors
};

class TPassThrough : public TDriverTest, public ::testing::WithParamInterface<TPassCase> {
protected:
    kl::TResult SendTo(PDEVICE_OBJECT device)
    {
        const TPassCase &c = GetParam();
        return kl::Send(device, c.Major, c.Minor, [&](PIRP irp, PIO_STACK_LOCATION stack) {
            irp->IoStatus.Information = 99;
            if (c.Major == IRP_MJ_READ || c.Major == IRP_MJ_WRITE)
                stack->Parameters.Read.Length = 77;
            if (c.Major == IRP_MJ_DEVICE_CONTROL || c.Major == IRP_MJ_INTERNAL_DEVICE_CONTROL) {
                stack->Parameters.DeviceIoControl.IoControlCode = c.Code;
                stack->Parameters.DeviceIoControl.InputBufferLength = 3;
                stack->Parameters.DeviceIoControl.OutputBufferLength = 5;
            }
        });
    }
};

TEST_P(TPassThrough, FilterHandsRequestToTheDeviceBelowUnchanged)
{
    const TPassCase &c = GetParam();
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    Port.Answer = STATUS_IO_TIMEOUT;
    Port.AnswerInformation = 42;

    kl::TResult result = SendTo(Filter());

    EXPECT_EQ(result.Returned, STATUS_IO_TIMEOUT);
    EXPECT_EQ(result.Status, STATUS_IO_TIMEOUT);
    EXPECT_EQ(result.Information, 42u);
    auto arrivals = Port.Arrivals();
    ASSERT_THAT(arrivals, SizeIs(1));
    EXPECT_EQ(arrivals[0].Major, c.Major);
    EXPECT_EQ(arrivals[0].Minor, c.Minor);
    // Internal requests set out with no information, whatever was there.
    EXPECT_EQ(arrivals[0].Information, c.Major == IRP_MJ_INTERNAL_DEVICE_CONTROL ? 0u : 99u);
    if (c.Major == IRP_MJ_READ || c.Major == IRP_MJ_WRITE) {
        EXPECT_EQ(arrivals[0].ReadLength, 77u);
    }
    if (c.Code != 0) {
        EXPECT_EQ(arrivals[0].Code, c.Code);
        EXPECT_EQ(arrivals[0].InputLength, 3u);
        EXPECT_EQ(arrivals[0].OutputLength, 5u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Majors, TPassThrough,
    ::testing::Values(TPassCase{"Read", IRP_MJ_READ, 0, 0}, TPassCase{"Write", IRP_MJ_WRITE, 0, 0},
                      TPassCase{"QueryInformation", IRP_MJ_QUERY_INFORMATION, 0, 0},
                      TPassCase{"Flush", IRP_MJ_FLUSH_BUFFERS, 0, 0}, TPassCase{"Shutdown", IRP_MJ_SHUTDOWN, 0, 0},
                      TPassCase{"Cleanup", IRP_MJ_CLEANUP, 0, 0},
                      TPassCase{"SystemControl", IRP_MJ_SYSTEM_CONTROL, 0x05, 0},
                      TPassCase{"MouseCommandCodeOnFilter", IRP_MJ_DEVICE_CONTROL, 0, IOCTL_MOUSE_COMMAND},
                      TPassCase{"DeviceControl", IRP_MJ_DEVICE_CONTROL, 0, CTL_CODE(FILE_DEVICE_MOUSE, 0, 0, 0)},
                      TPassCase{"InternalEnable", IRP_MJ_INTERNAL_DEVICE_CONTROL, 0,
                                IOCTL_INTERNAL_MOUSE_ENABLE}),
    [](const auto &info) { return std::string(info.param.Name); });

using TControlDevice = TDriverTest;

TEST_F(TControlDevice, CompletesOtherRequestsWithSuccess)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    Port.Answer = STATUS_IO_TIMEOUT;

    for (UCHAR major : {IRP_MJ_READ, IRP_MJ_WRITE, IRP_MJ_QUERY_INFORMATION, IRP_MJ_FLUSH_BUFFERS, IRP_MJ_SHUTDOWN,
                        IRP_MJ_CLEANUP, IRP_MJ_SYSTEM_CONTROL}) {
        SCOPED_TRACE(major);
        kl::TResult result = kl::Send(Control(), major, 0, [](PIRP irp, PIO_STACK_LOCATION) {
            irp->IoStatus.Information = 99;
        });
        EXPECT_EQ(result.Returned, STATUS_SUCCESS);
        EXPECT_EQ(result.Status, STATUS_SUCCESS);
        EXPECT_EQ(result.Information, 0u);
    }
    EXPECT_THAT(Port.Arrivals(), IsEmpty());
}

// ---- Create and close -------------------------------------------------------------

using TCreateClose = TDriverTest;

kl::TResult SendCreateClose(PDEVICE_OBJECT device, UCHAR major)
{
    return kl::Send(device, major, 0);
}

TEST_F(TCreateClose, FilterRefusesOpensUntilTheClassHasConnected)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);

    kl::TResult result = SendCreateClose(Filter(), IRP_MJ_CREATE);

    EXPECT_EQ(result.Status, STATUS_INVALID_DEVICE_STATE);
    EXPECT_EQ(result.Returned, STATUS_INVALID_DEVICE_STATE);
    EXPECT_EQ(Ext(Filter()).OpenCount, 0);
    // Refused here: a lower driver could not turn it into a success whose
    // close would then count an open that was never counted.
    EXPECT_THAT(Port.Arrivals(IRP_MJ_CREATE), IsEmpty());
}

TEST_F(TCreateClose, FilterCountsOpensAndClosesAndPassesThemDown)
{
    BuildStack(/*connected=*/true);

    EXPECT_EQ(SendCreateClose(Filter(), IRP_MJ_CREATE).Status, STATUS_SUCCESS);
    EXPECT_EQ(SendCreateClose(Filter(), IRP_MJ_CREATE).Status, STATUS_SUCCESS);
    EXPECT_EQ(Ext(Filter()).OpenCount, 2);
    EXPECT_EQ(SendCreateClose(Filter(), IRP_MJ_CLOSE).Status, STATUS_SUCCESS);
    EXPECT_EQ(Ext(Filter()).OpenCount, 1);
    EXPECT_EQ(SendCreateClose(Filter(), IRP_MJ_CLOSE).Status, STATUS_SUCCESS);
    EXPECT_EQ(Ext(Filter()).OpenCount, 0);

    EXPECT_THAT(Port.Arrivals(IRP_MJ_CREATE), SizeIs(2));
    EXPECT_THAT(Port.Arrivals(IRP_MJ_CLOSE), SizeIs(2));
}

TEST_F(TCreateClose, FilterKeepsTheStatusTheRequestCameWith)
{
    BuildStack(/*connected=*/true);

    kl::Send(Filter(), IRP_MJ_CREATE, 0, {}, STATUS_NOT_SUPPORTED);

    auto creates = Port.Arrivals(IRP_MJ_CREATE);
    ASSERT_THAT(creates, SizeIs(1));
    EXPECT_EQ(creates[0].Status, STATUS_NOT_SUPPORTED);
}

TEST_F(TControlDevice, AnyProgramOpensAndClosesIt)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS); // the class has not connected

    PFILE_OBJECT first = nullptr;
    PFILE_OBJECT second = nullptr;
    ASSERT_EQ(kl::OpenFile(kUserPath, &first), STATUS_SUCCESS);
    ASSERT_EQ(kl::OpenFile(kUserPath, &second), STATUS_SUCCESS);
    EXPECT_EQ(kl::CloseFile(first), STATUS_SUCCESS);
    EXPECT_EQ(kl::CloseFile(second), STATUS_SUCCESS);

    EXPECT_EQ(Ext(Control()).OpenCount, 0);
    EXPECT_THAT(Port.Arrivals(), IsEmpty());
}

// ---- Class connection ---------------------------------------------------------------

using TInternal = TDriverTest;

TEST_F(TInternal, ConnectPutsTheFilterBetweenClassAndPort)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    Class.AttachTo(Port.Pdo);

    kl::TResult result = Class.Connect();

    EXPECT_EQ(result.Status, STATUS_SUCCESS);
    const DEVICE_EXTENSION &ext = Ext(Filter());
    EXPECT_EQ(ext.ClassConnect.ClassDeviceObject, Class.Device);
    EXPECT_EQ(ext.ClassConnect.ClassService, reinterpret_cast<PVOID>(&TMouseClass::Service));
    // The port is given the filter's device and service routine instead.
    EXPECT_EQ(Port.Connection.ClassDeviceObject, Filter());
    EXPECT_NE(Port.Connection.ClassService, nullptr);
    EXPECT_NE(Port.Connection.ClassService, reinterpret_cast<PVOID>(&TMouseClass::Service));
    EXPECT_EQ(std::memcmp(&Class.Sent, &Port.Connection, sizeof(CONNECT_DATA)), 0);
}

TEST_F(TInternal, SecondConnectIsRefusedAndChangesNothing)
{
    BuildStack(/*connected=*/true);
    CONNECT_DATA before = Ext(Filter()).ClassConnect;

    TMouseClass other;
    CONNECT_DATA record{other.Device, reinterpret_cast<PVOID>(&TMouseClass::Service)};
    kl::TResult result = kl::SendInternal(Filter(), IOCTL_INTERNAL_MOUSE_CONNECT, &record, sizeof record);

    EXPECT_EQ(result.Status, STATUS_SHARING_VIOLATION);
    EXPECT_EQ(record.ClassDeviceObject, other.Device);
    EXPECT_EQ(std::memcmp(&Ext(Filter()).ClassConnect, &before, sizeof before), 0);
    EXPECT_THAT(Port.Arrivals(IRP_MJ_INTERNAL_DEVICE_CONTROL), SizeIs(2)) << "the first connect and the hook";
}

struct TShortCase {
    const char *Name;
    ULONG Code;
    ULONG Length;
};

class TShortInput : public TDriverTest, public ::testing::WithParamInterface<TShortCase> {};

TEST_P(TShortInput, IsRefusedAsInvalidParameterAndNotPassedDown)
{
    const TShortCase &c = GetParam();
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    // Room for either record, filled with what a caller might leave there.
    union {
        CONNECT_DATA Connect;
        INTERNAL_I8042_HOOK_MOUSE Hook;
    } record;
    std::memset(&record, 0x5A, sizeof record);
    auto untouched = record;

    kl::TResult result = kl::Send(Filter(), IRP_MJ_INTERNAL_DEVICE_CONTROL, 0, [&](PIRP irp, PIO_STACK_LOCATION stack) {
        irp->IoStatus.Information = 99;
        stack->Parameters.DeviceIoControl.IoControlCode = c.Code;
        stack->Parameters.DeviceIoControl.InputBufferLength = c.Length;
        stack->Parameters.DeviceIoControl.Type3InputBuffer = &record;
    });

    EXPECT_EQ(result.Status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(result.Information, 0u);
    EXPECT_THAT(Port.Arrivals(), IsEmpty());
    EXPECT_EQ(std::memcmp(&record, &untouched, sizeof record), 0);
    const DEVICE_EXTENSION &ext = Ext(Filter());
    EXPECT_EQ(ext.ClassConnect.ClassService, nullptr);
    EXPECT_EQ(ext.PrevHookContext, nullptr);
    EXPECT_EQ(ext.PortWrite, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, TShortInput,
    ::testing::Values(TShortCase{"ConnectEmpty", IOCTL_INTERNAL_MOUSE_CONNECT, 0},
                      TShortCase{"ConnectOneShort", IOCTL_INTERNAL_MOUSE_CONNECT, sizeof(CONNECT_DATA) - 1},
                      TShortCase{"HookEmpty", IOCTL_INTERNAL_I8042_HOOK_MOUSE, 0},
                      TShortCase{"HookOneShort", IOCTL_INTERNAL_I8042_HOOK_MOUSE,
                                 sizeof(INTERNAL_I8042_HOOK_MOUSE) - 1}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(TInternal, DisconnectIsNotImplementedAndNotPassedDown)
{
    BuildStack(/*connected=*/true);
    size_t before = Port.Arrivals().size();

    kl::TResult result = kl::SendInternal(Filter(), IOCTL_INTERNAL_MOUSE_DISCONNECT, nullptr, 0);

    EXPECT_EQ(result.Status, STATUS_NOT_IMPLEMENTED);
    EXPECT_THAT(Port.Arrivals(), SizeIs(before));
    EXPECT_EQ(Ext(Filter()).ClassConnect.ClassDeviceObject, Class.Device) << "still connected";
}

// ---- Hook handshake -----------------------------------------------------------------

BOOLEAN NTAPI UpperHook(PVOID, PMOUSE_INPUT_DATA, POUTPUT_PACKET, UCHAR, PUCHAR, PBOOLEAN Continue, PMOUSE_STATE,
                        PMOUSE_RESET_SUBSTATE)
{
    *Continue = TRUE;
    return TRUE;
}

TEST_F(TInternal, HookWithoutPreviousHookInstallsTheFilterAndKeepsThePortRoutines)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);

    kl::TResult result = Port.SendHook();

    EXPECT_EQ(result.Status, STATUS_SUCCESS);
    EXPECT_EQ(Port.Hook.Context, Filter());
    EXPECT_NE(Port.Hook.IsrRoutine, nullptr);
    EXPECT_EQ(Port.Hook.IsrWritePort, &TI8042Port::WritePort);
    EXPECT_EQ(Port.Hook.QueueMousePacket, &TI8042Port::QueuePacket);
    EXPECT_EQ(Port.Hook.CallContext, &Port);

    const DEVICE_EXTENSION &ext = Ext(Filter());
    EXPECT_EQ(ext.PrevHookContext, nullptr);
    EXPECT_EQ(ext.PrevIsrHook, nullptr);
    EXPECT_EQ(ext.PortWrite, &TI8042Port::WritePort);
    EXPECT_EQ(ext.PortQueuePacket, &TI8042Port::QueuePacket);
    EXPECT_EQ(ext.PortCallContext, &Port);

    auto arrivals = Port.Arrivals(IRP_MJ_INTERNAL_DEVICE_CONTROL);
    ASSERT_THAT(arrivals, SizeIs(1));
    EXPECT_EQ(arrivals[0].Code, IOCTL_INTERNAL_I8042_HOOK_MOUSE);
    ASSERT_TRUE(arrivals[0].HookRecordCopied);
    EXPECT_EQ(arrivals[0].HookRecord.Context, Filter()) << "filled in before it was passed down";
}

TEST_F(TInternal, HookAfterAnUpperHookChainsIt)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    int upperContext = 0;

    ASSERT_EQ(Port.SendHook(UpperHook, &upperContext).Status, STATUS_SUCCESS);

    const DEVICE_EXTENSION &ext = Ext(Filter());
    EXPECT_EQ(ext.PrevHookContext, &upperContext);
    EXPECT_EQ(ext.PrevIsrHook, &UpperHook);
    EXPECT_EQ(Port.Hook.Context, Filter());
    EXPECT_NE(Port.Hook.IsrRoutine, &UpperHook);
    EXPECT_NE(Port.Hook.IsrRoutine, nullptr);
}

TEST_F(TControlDevice, TakesNoInternalRequests)
{
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    CONNECT_DATA record{Class.Device, reinterpret_cast<PVOID>(&TMouseClass::Service)};

    kl::TResult result = kl::SendInternal(Control(), IOCTL_INTERNAL_MOUSE_CONNECT, &record, sizeof record);

    EXPECT_EQ(result.Status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(Ext(Control()).ClassConnect.ClassService, nullptr);
    EXPECT_THAT(Port.Arrivals(), IsEmpty());
}

} // namespace
