#include "Doubles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

template <class T> T *Owner(PDEVICE_OBJECT device)
{
    return *static_cast<T **>(device->DeviceExtension);
}

template <class T> PDEVICE_OBJECT NewDevice(const wchar_t *driverName, T *owner, DEVICE_TYPE type,
                                            PDRIVER_DISPATCH dispatch)
{
    PDRIVER_OBJECT driver = kl::CreateDriver(driverName);
    for (auto &routine : driver->MajorFunction)
        routine = dispatch;
    PDEVICE_OBJECT device = nullptr;
    IoCreateDevice(driver, sizeof(T *), nullptr, type, 0, FALSE, &device);
    *static_cast<T **>(device->DeviceExtension) = owner;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return device;
}

} // namespace

// ---- i8042 port -----------------------------------------------------------------

TI8042Port::TI8042Port()
{
    Pdo = NewDevice(L"\\Driver\\bus", this, FILE_DEVICE_BUS_EXTENDER, DispatchBus);
    Fdo = NewDevice(L"\\Driver\\i8042prt", this, FILE_DEVICE_MOUSE, DispatchPort);
    IoAttachDeviceToDeviceStack(Fdo, Pdo);
}

NTSTATUS TI8042Port::Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS TI8042Port::Hold(PIRP irp, NTSTATUS answer)
{
    IoMarkIrpPending(irp);
    std::lock_guard<std::mutex> guard(lock_);
    held_.emplace_back(irp, answer);
    return STATUS_PENDING;
}

void TI8042Port::CompleteHeld()
{
    std::vector<std::pair<PIRP, NTSTATUS>> held;
    {
        std::lock_guard<std::mutex> guard(lock_);
        held.swap(held_);
    }
    for (auto &[irp, answer] : held)
        Complete(irp, answer);
}

size_t TI8042Port::Held()
{
    std::lock_guard<std::mutex> guard(lock_);
    return held_.size();
}

std::vector<TArrival> TI8042Port::Arrivals()
{
    std::lock_guard<std::mutex> guard(lock_);
    return arrivals_;
}

std::vector<TArrival> TI8042Port::Arrivals(UCHAR major)
{
    std::vector<TArrival> chosen;
    for (auto &arrival : Arrivals())
        if (arrival.Major == major)
            chosen.push_back(arrival);
    return chosen;
}

std::vector<TArrival> TI8042Port::Writes()
{
    std::vector<TArrival> writes;
    for (auto &arrival : Arrivals(IRP_MJ_INTERNAL_DEVICE_CONTROL))
        if (arrival.Code == IOCTL_INTERNAL_I8042_MOUSE_WRITE_BUFFER)
            writes.push_back(arrival);
    return writes;
}

NTSTATUS NTAPI TI8042Port::DispatchPort(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    TI8042Port *self = Owner<TI8042Port>(DeviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    TArrival arrival;
    arrival.Irp = Irp;
    arrival.Major = stack->MajorFunction;
    arrival.Minor = stack->MinorFunction;
    arrival.Status = Irp->IoStatus.Status;
    arrival.Information = Irp->IoStatus.Information;
    arrival.File = stack->FileObject;
    arrival.ViaPoCall = Irp->KlViaPoCall;
    arrival.PoStartNext = Irp->KlPoStartNext;
    arrival.UserBuffer = Irp->UserBuffer;
    if (arrival.Major == IRP_MJ_READ || arrival.Major == IRP_MJ_WRITE)
        arrival.ReadLength = stack->Parameters.Read.Length;
    if (arrival.Major == IRP_MJ_POWER) {
        arrival.PowerType = stack->Parameters.Power.Type;
        arrival.PowerState = stack->Parameters.Power.State;
    }
    bool control = arrival.Major == IRP_MJ_DEVICE_CONTROL || arrival.Major == IRP_MJ_INTERNAL_DEVICE_CONTROL;
    if (control) {
        arrival.Code = stack->Parameters.DeviceIoControl.IoControlCode;
        arrival.InputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
        arrival.OutputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
        arrival.Type3Input = stack->Parameters.DeviceIoControl.Type3InputBuffer;
    }
    bool internal = arrival.Major == IRP_MJ_INTERNAL_DEVICE_CONTROL;
    if (internal && arrival.Code == IOCTL_INTERNAL_I8042_MOUSE_WRITE_BUFFER && arrival.InputLength > 0) {
        auto *bytes = static_cast<const UCHAR *>(arrival.Type3Input);
        arrival.Bytes.assign(bytes, bytes + arrival.InputLength);
    }
    if (internal && arrival.Code == IOCTL_INTERNAL_I8042_HOOK_MOUSE &&
        arrival.InputLength >= sizeof(INTERNAL_I8042_HOOK_MOUSE)) {
        std::memcpy(&arrival.HookRecord, arrival.Type3Input, sizeof arrival.HookRecord);
        arrival.HookRecordCopied = true;
    }
    if (internal && arrival.Code == IOCTL_INTERNAL_MOUSE_CONNECT && arrival.InputLength >= sizeof(CONNECT_DATA))
        std::memcpy(&self->Connection, arrival.Type3Input, sizeof self->Connection);
    {
        std::lock_guard<std::mutex> guard(self->lock_);
        self->arrivals_.push_back(arrival);
    }

    switch (arrival.Major) {
    case IRP_MJ_PNP:
        if (arrival.Minor == IRP_MN_START_DEVICE)
            return self->HoldStarts ? self->Hold(Irp, self->StartAnswer) : self->Complete(Irp, self->StartAnswer);
        if (arrival.Minor == IRP_MN_REMOVE_DEVICE) {
            self->Complete(Irp, STATUS_SUCCESS);
            IoDetachDevice(self->Pdo);
            IoDeleteDevice(self->Fdo);
            return STATUS_SUCCESS;
        }
        return self->Complete(Irp, self->Answer, self->AnswerInformation);
    case IRP_MJ_POWER:
        PoStartNextPowerIrp(Irp);
        return self->Complete(Irp, self->Answer);
    case IRP_MJ_INTERNAL_DEVICE_CONTROL:
        if (arrival.Code == IOCTL_INTERNAL_I8042_MOUSE_WRITE_BUFFER)
            return self->HoldWrites ? self->Hold(Irp, self->WriteAnswer) : self->Complete(Irp, self->WriteAnswer);
        if (arrival.Code == IOCTL_INTERNAL_I8042_HOOK_MOUSE)
            return self->Complete(Irp, STATUS_SUCCESS);
        return self->Complete(Irp, self->Answer, self->AnswerInformation);
    default:
        return self->Complete(Irp, self->Answer, self->AnswerInformation);
    }
}

NTSTATUS NTAPI TI8042Port::DispatchBus(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    (void)DeviceObject;
    NTSTATUS status = Irp->IoStatus.Status;
    if (IoGetCurrentIrpStackLocation(Irp)->MajorFunction == IRP_MJ_POWER)
        PoStartNextPowerIrp(Irp);
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}

kl::TResult TI8042Port::SendHook(PI8042_MOUSE_ISR previous, PVOID previousContext, ULONG length)
{
    INTERNAL_I8042_HOOK_MOUSE record{};
    record.Context = previousContext;
    record.IsrRoutine = previous;
    record.IsrWritePort = WritePort;
    record.QueueMousePacket = QueuePacket;
    record.CallContext = this;
    kl::TResult result = kl::SendInternal(IoGetAttachedDevice(Fdo), IOCTL_INTERNAL_I8042_HOOK_MOUSE, &record, length);
    Hook = record;
    return result;
}

VOID NTAPI TI8042Port::WritePort(PVOID, UCHAR) {}

VOID NTAPI TI8042Port::QueuePacket(PVOID) {}

void TI8042Port::Interrupt(const std::vector<UCHAR> &bytes)
{
    for (UCHAR received : bytes) {
        UCHAR byte = received;
        BOOLEAN proceed = FALSE;
        if (Hook.IsrRoutine != nullptr) {
            // Status: output buffer full, data from the auxiliary device.
            IsrResults.push_back(
                Hook.IsrRoutine(Hook.Context, &input_, &output_, 0x21, &byte, &proceed, &state_, &substate_));
            if (!proceed)
                continue;
        }
        Decode(byte);
    }
}

// Standard three-byte packets: buttons and sign bits, X, Y (up positive).
void TI8042Port::Decode(UCHAR byte)
{
    if (packetLength_ == 0 && (byte & 0x08) == 0)
        return; // out of step: a first byte always has bit 3 set
    packet_[packetLength_++] = byte;
    state_ = packetLength_ == 1 ? XMovement : packetLength_ == 2 ? YMovement : MouseIdle;
    if (packetLength_ < 3)
        return;
    packetLength_ = 0;

    static const struct {
        UCHAR Bit;
        USHORT Down, Up;
    } kButtons[] = {{0x01, MOUSE_LEFT_BUTTON_DOWN, MOUSE_LEFT_BUTTON_UP},
                    {0x02, MOUSE_RIGHT_BUTTON_DOWN, MOUSE_RIGHT_BUTTON_UP},
                    {0x04, MOUSE_MIDDLE_BUTTON_DOWN, MOUSE_MIDDLE_BUTTON_UP}};
    input_ = MOUSE_INPUT_DATA{};
    input_.Flags = MOUSE_MOVE_RELATIVE;
    UCHAR buttons = packet_[0] & 0x07;
    for (const auto &button : kButtons) {
        if ((buttons ^ buttons_) & button.Bit)
            input_.ButtonFlags |= (buttons & button.Bit) ? button.Down : button.Up;
    }
    buttons_ = buttons;
    input_.RawButtons = buttons;
    input_.LastX = packet_[1] - ((packet_[0] & 0x10) ? 256 : 0);
    input_.LastY = -(packet_[2] - ((packet_[0] & 0x20) ? 256 : 0));

    if (Connection.ClassService == nullptr)
        return;
    MOUSE_INPUT_DATA queued = input_;
    ULONG consumed = 0;
    auto service = reinterpret_cast<decltype(&TMouseClass::Service)>(Connection.ClassService);
    service(Connection.ClassDeviceObject, &queued, &queued + 1, &consumed);
    Consumed.push_back(consumed);
}

// ---- Mouse class ------------------------------------------------------------------

TMouseClass::TMouseClass()
{
    Device = NewDevice(L"\\Driver\\mouclass", this, FILE_DEVICE_MOUSE, Dispatch);
}

void TMouseClass::AttachTo(PDEVICE_OBJECT pdo)
{
    Lower = IoAttachDeviceToDeviceStack(Device, pdo);
}

kl::TResult TMouseClass::Connect(ULONG length)
{
    CONNECT_DATA record{Device, reinterpret_cast<PVOID>(&Service)};
    kl::TResult result = kl::SendInternal(Lower, IOCTL_INTERNAL_MOUSE_CONNECT, &record, length);
    Sent = record;
    return result;
}

VOID NTAPI TMouseClass::Service(PDEVICE_OBJECT DeviceObject, PMOUSE_INPUT_DATA Start, PMOUSE_INPUT_DATA End,
                                PULONG Consumed)
{
    if (DeviceObject == nullptr || DeviceObject->DriverObject->MajorFunction[IRP_MJ_CREATE] != Dispatch) {
        ADD_FAILURE() << "the class service was called with a device of another driver";
        return;
    }
    TMouseClass *self = Owner<TMouseClass>(DeviceObject);
    self->Calls.push_back({DeviceObject, Start, End});
    self->Packets.insert(self->Packets.end(), Start, End);
    *Consumed = static_cast<ULONG>(End - Start);
}

NTSTATUS NTAPI TMouseClass::Dispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    TMouseClass *self = Owner<TMouseClass>(DeviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->MajorFunction == IRP_MJ_POWER) {
        PoStartNextPowerIrp(Irp);
        IoSkipCurrentIrpStackLocation(Irp);
        return PoCallDriver(self->Lower, Irp);
    }
    bool pnp = stack->MajorFunction == IRP_MJ_PNP;
    if (pnp && stack->MinorFunction == IRP_MN_START_DEVICE) {
        IoCopyCurrentIrpStackLocationToNext(Irp);
        IoSetCompletionRoutine(Irp, StartDone, self, TRUE, TRUE, TRUE);
        return IoCallDriver(self->Lower, Irp);
    }
    bool remove = pnp && stack->MinorFunction == IRP_MN_REMOVE_DEVICE;
    IoSkipCurrentIrpStackLocation(Irp);
    NTSTATUS status = IoCallDriver(self->Lower, Irp);
    if (remove) {
        IoDetachDevice(self->Lower);
        IoDeleteDevice(self->Device);
    }
    return status;
}

NTSTATUS NTAPI TMouseClass::StartDone(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context)
{
    auto *self = static_cast<TMouseClass *>(Context);
    EXPECT_EQ(DeviceObject, self->Device) << "a completion routine runs for the device that set it";
    self->StartCompletions.push_back(Irp->IoStatus.Status);
    if (Irp->PendingReturned)
        IoMarkIrpPending(Irp);
    return STATUS_SUCCESS;
}

bool SamePackets(const std::vector<MOUSE_INPUT_DATA> &a, const std::vector<MOUSE_INPUT_DATA> &b)
{
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(MOUSE_INPUT_DATA)) == 0);
}
