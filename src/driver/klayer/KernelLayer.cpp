// User-mode kernel layer: the routines of KernelLayer.h and the test side of
// Harness.h. One process-wide state, guarded by a mutex that is never held
// while driver code runs; events have a mutex and condition of their own.
#include "driver/klayer/Harness.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace {

enum : ULONG {
    KL_FREE_WHEN_DONE = 0x1,      // the I/O manager frees the request when it is completed
    KL_OWNS_SYSTEM_BUFFER = 0x2,  // buffered control request: copy out, then free the buffer
    KL_COMPLETING = 0x4,          // IoCompleteRequest is walking up the stack
};

struct TDeviceRecord {
    DEVICE_OBJECT Object{};
    void *Extension = nullptr;
    std::wstring Name; // as created; empty when unnamed
    ~TDeviceRecord() { std::free(Extension); }
};

struct TDriverRecord {
    DRIVER_OBJECT Object{};
    DRIVER_EXTENSION Extension{};
    std::wstring Name;
};

// Event and status block of a request sent from the harness. Kept on the
// heap so that a request completed late cannot write into a dead frame.
struct TSendContext {
    KEVENT Event{};
    IO_STATUS_BLOCK Iosb{};
};

std::recursive_mutex g_lock;
std::vector<std::unique_ptr<TDriverRecord>> g_drivers;
std::map<PDEVICE_OBJECT, std::unique_ptr<TDeviceRecord>> g_devices;
std::map<std::wstring, PDEVICE_OBJECT> g_names; // upper-case name -> device
std::map<std::wstring, std::wstring> g_links;   // upper-case "\??\X" -> target as given
std::set<PIRP> g_irps;
std::set<PFILE_OBJECT> g_files;
struct TArmed {
    int Remaining;
    NTSTATUS Status;
};
std::map<kl::TCall, TArmed> g_armed;
std::vector<std::unique_ptr<TSendContext>> g_abandoned;

std::mutex g_faultLock;
std::vector<std::string> g_faults;

std::mutex g_waitLock;
std::condition_variable g_waitCv;
int g_blocked = 0;

void Fault(const std::string &text)
{
    std::lock_guard<std::mutex> guard(g_faultLock);
    g_faults.push_back(text);
}

std::string Hex(ULONG value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::wstring Upper(std::wstring text)
{
    for (auto &c : text)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return text;
}

std::wstring FromUnicode(PUNICODE_STRING text)
{
    if (text == nullptr || text->Buffer == nullptr)
        return {};
    return std::wstring(text->Buffer, text->Length / sizeof(WCHAR));
}

// "\DosDevices\X" and "\\.\X" name the same thing as "\??\X".
std::wstring LinkKey(const std::wstring &name)
{
    static const std::wstring dosDevices = L"\\DOSDEVICES\\";
    static const std::wstring local = L"\\\\.\\";
    std::wstring key = Upper(name);
    if (key.compare(0, dosDevices.size(), dosDevices) == 0)
        return L"\\??\\" + key.substr(dosDevices.size());
    if (key.compare(0, local.size(), local) == 0)
        return L"\\??\\" + key.substr(local.size());
    return key;
}

bool Injected(kl::TCall call, NTSTATUS *status)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = g_armed.find(call);
    if (it == g_armed.end() || --it->second.Remaining > 0)
        return false;
    *status = it->second.Status;
    g_armed.erase(it);
    return true;
}

bool IsLive(PIRP irp)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_irps.count(irp) != 0;
}

// Waits for an event without counting as a blocked waiter (the harness's own
// waits). False when the bound passed first.
bool WaitQuietly(PKEVENT event, std::chrono::milliseconds bound)
{
    std::unique_lock<std::mutex> guard(g_waitLock);
    return g_waitCv.wait_for(guard, bound, [event] { return event->SignalState != 0; });
}

PIRP BuildControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input, ULONG inputLength, PVOID output,
                         ULONG outputLength, BOOLEAN internal, PKEVENT event, PIO_STATUS_BLOCK iosb)
{
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    next->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
    switch (code & 3) {
    case METHOD_NEITHER:
        next->Parameters.DeviceIoControl.Type3InputBuffer = input;
        irp->UserBuffer = output;
        break;
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT:
        // The input travels buffered; an output buffer would need a memory
        // descriptor, which this layer does not offer.
        if (outputLength > 0)
            Fault("control code " + Hex(code) + ": direct transfer is not offered by this layer");
        outputLength = 0;
        [[fallthrough]];
    case METHOD_BUFFERED: {
        ULONG size = std::max(inputLength, outputLength);
        if (size > 0) {
            irp->AssociatedIrp.SystemBuffer = std::calloc(1, size);
            if (inputLength > 0 && input != nullptr)
                std::memcpy(irp->AssociatedIrp.SystemBuffer, input, inputLength);
            irp->KlFlags |= KL_OWNS_SYSTEM_BUFFER;
        }
        irp->UserBuffer = output;
        irp->KlOutputLength = outputLength;
        break;
    }
    }
    irp->UserEvent = event;
    irp->UserIosb = iosb;
    irp->KlFlags |= KL_FREE_WHEN_DONE;
    return irp;
}

NTSTATUS CallDown(PDEVICE_OBJECT device, PIRP irp, bool viaPo)
{
    {
        std::lock_guard<std::recursive_mutex> guard(g_lock);
        if (g_irps.count(irp) == 0) {
            Fault("a request that is no longer live was sent down");
            return STATUS_INVALID_PARAMETER;
        }
        if (device == nullptr || g_devices.count(device) == 0) {
            Fault("a request was sent to a device that does not exist");
            return STATUS_NO_SUCH_DEVICE;
        }
        if (device->KlDeleted && device->KlOpenHandles == 0)
            Fault("a request was sent to a deleted device");
        if (irp->CurrentLocation <= 1) {
            Fault("a request was sent down with no stack location left");
            return STATUS_INVALID_PARAMETER;
        }
    }
    irp->CurrentLocation--;
    irp->Tail.Overlay.CurrentStackLocation--;
    PIO_STACK_LOCATION stack = irp->Tail.Overlay.CurrentStackLocation;
    stack->DeviceObject = device;
    irp->KlViaPoCall = viaPo;
    PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[stack->MajorFunction];
    if (dispatch == nullptr) {
        Fault("no dispatch routine for major function " + Hex(stack->MajorFunction));
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    return dispatch(device, irp);
}

void FinishRequest(PIRP irp)
{
    if (irp->KlFlags & KL_OWNS_SYSTEM_BUFFER) {
        if (irp->UserBuffer != nullptr && NT_SUCCESS(irp->IoStatus.Status)) {
            size_t size = std::min<size_t>(irp->IoStatus.Information, irp->KlOutputLength);
            std::memcpy(irp->UserBuffer, irp->AssociatedIrp.SystemBuffer, size);
        }
        std::free(irp->AssociatedIrp.SystemBuffer);
        irp->AssociatedIrp.SystemBuffer = nullptr;
        irp->KlFlags &= ~static_cast<ULONG>(KL_OWNS_SYSTEM_BUFFER);
    }
    if (irp->UserIosb != nullptr)
        *irp->UserIosb = irp->IoStatus;
    PKEVENT event = irp->UserEvent;
    if (irp->KlFlags & KL_FREE_WHEN_DONE)
        IoFreeIrp(irp);
    else
        irp->KlFlags &= ~static_cast<ULONG>(KL_COMPLETING);
    if (event != nullptr)
        KeSetEvent(event, IO_NO_INCREMENT, FALSE);
}

// Sends a request built here to device and collects its outcome.
kl::TResult Dispatch(PDEVICE_OBJECT device, PIRP irp, std::unique_ptr<TSendContext> context, bool viaPo)
{
    kl::TResult result;
    result.Returned = CallDown(device, irp, viaPo);
    bool done;
    if (result.Returned == STATUS_PENDING) {
        done = WaitQuietly(&context->Event, std::chrono::seconds(20));
        if (!done)
            Fault("a pending request was not completed");
    } else {
        done = KeReadStateEvent(&context->Event) != 0;
        if (!done)
            Fault("a dispatch routine returned " + Hex(result.Returned) + " without completing the request");
        else if (context->Iosb.Status != result.Returned)
            Fault("a dispatch routine returned " + Hex(result.Returned) + " for a request completed with " +
                  Hex(context->Iosb.Status));
    }
    if (!done) {
        std::lock_guard<std::recursive_mutex> guard(g_lock);
        result.Status = STATUS_TIMEOUT;
        g_abandoned.push_back(std::move(context));
        return result;
    }
    result.Status = context->Iosb.Status;
    result.Information = context->Iosb.Information;
    kl::Collect();
    return result;
}

std::unique_ptr<TSendContext> NewContext()
{
    auto context = std::make_unique<TSendContext>();
    KeInitializeEvent(&context->Event, NotificationEvent, FALSE);
    context->Iosb.Status = STATUS_PENDING;
    return context;
}

} // namespace

extern "C" {

// ---- Events ---------------------------------------------------------------

VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State)
{
    std::lock_guard<std::mutex> guard(g_waitLock);
    Event->Type = Type;
    Event->SignalState = State ? 1 : 0;
}

LONG KeSetEvent(PRKEVENT Event, KPRIORITY, BOOLEAN)
{
    std::lock_guard<std::mutex> guard(g_waitLock);
    LONG previous = Event->SignalState;
    Event->SignalState = 1;
    g_waitCv.notify_all();
    return previous;
}

VOID KeClearEvent(PRKEVENT Event)
{
    std::lock_guard<std::mutex> guard(g_waitLock);
    Event->SignalState = 0;
}

LONG KeReadStateEvent(PRKEVENT Event)
{
    std::lock_guard<std::mutex> guard(g_waitLock);
    return Event->SignalState;
}

NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER Timeout)
{
    auto *event = static_cast<PKEVENT>(Object);
    std::unique_lock<std::mutex> guard(g_waitLock);
    auto signalled = [event] { return event->SignalState != 0; };
    bool unlimited = Timeout == nullptr;
    // Relative timeouts are negative, in units of 100 ns.
    auto bound = unlimited ? std::chrono::milliseconds(60000)
                           : std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::microseconds(std::llabs(Timeout->QuadPart) / 10));
    g_blocked++;
    g_waitCv.notify_all();
    bool done = g_waitCv.wait_for(guard, bound, signalled);
    g_blocked--;
    g_waitCv.notify_all();
    if (!done) {
        if (unlimited) {
            std::fprintf(stderr, "kernel layer: a wait without timeout has lasted a minute; giving up\n");
            std::abort();
        }
        return STATUS_TIMEOUT;
    }
    if (event->Type == SynchronizationEvent)
        event->SignalState = 0;
    return STATUS_SUCCESS;
}

LONG InterlockedIncrement(LONG volatile *Addend)
{
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(LONG volatile *Addend)
{
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

// ---- Names and objects ----------------------------------------------------

VOID RtlInitUnicodeString(PUNICODE_STRING Destination, PCWSTR Source)
{
    size_t length = Source != nullptr ? std::wcslen(Source) * sizeof(WCHAR) : 0;
    Destination->Length = static_cast<USHORT>(length);
    Destination->MaximumLength = static_cast<USHORT>(Source != nullptr ? length + sizeof(WCHAR) : 0);
    Destination->Buffer = const_cast<PWSTR>(Source);
}

NTSTATUS IoCreateDevice(PDRIVER_OBJECT DriverObject, ULONG DeviceExtensionSize, PUNICODE_STRING DeviceName,
                        DEVICE_TYPE DeviceType, ULONG DeviceCharacteristics, BOOLEAN Exclusive,
                        PDEVICE_OBJECT *DeviceObject)
{
    NTSTATUS status;
    if (Injected(kl::TCall::CreateDevice, &status))
        return status;
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    std::wstring name = FromUnicode(DeviceName);
    std::wstring key = Upper(name);
    if (!name.empty()) {
        if (name[0] != L'\\')
            return STATUS_OBJECT_NAME_INVALID;
        if (g_names.count(key) != 0 || g_links.count(LinkKey(name)) != 0)
            return STATUS_OBJECT_NAME_COLLISION;
    }
    auto record = std::make_unique<TDeviceRecord>();
    PDEVICE_OBJECT device = &record->Object;
    if (DeviceExtensionSize > 0)
        record->Extension = std::calloc(1, DeviceExtensionSize);
    record->Name = name;
    device->DriverObject = DriverObject;
    device->NextDevice = DriverObject->DeviceObject;
    DriverObject->DeviceObject = device;
    device->Flags = DO_DEVICE_INITIALIZING | (Exclusive ? DO_EXCLUSIVE : 0);
    device->Characteristics = DeviceCharacteristics;
    device->DeviceExtension = record->Extension;
    device->DeviceType = DeviceType;
    device->StackSize = 1;
    if (!name.empty())
        g_names[key] = device;
    g_devices[device] = std::move(record);
    *DeviceObject = device;
    return STATUS_SUCCESS;
}

VOID IoDeleteDevice(PDEVICE_OBJECT DeviceObject)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = g_devices.find(DeviceObject);
    if (it == g_devices.end() || DeviceObject->KlDeleted) {
        Fault("a device was deleted that does not exist or was deleted before");
        return;
    }
    if (DeviceObject->KlAttachedTo != nullptr)
        Fault("a device was deleted while still attached to a lower device");
    DeviceObject->KlDeleted = TRUE;
    if (!it->second->Name.empty())
        g_names.erase(Upper(it->second->Name));
    for (PDEVICE_OBJECT *link = &DeviceObject->DriverObject->DeviceObject; *link != nullptr;
         link = &(*link)->NextDevice) {
        if (*link == DeviceObject) {
            *link = DeviceObject->NextDevice;
            break;
        }
    }
    DeviceObject->NextDevice = nullptr;
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName)
{
    NTSTATUS status;
    if (Injected(kl::TCall::CreateSymbolicLink, &status))
        return status;
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    std::wstring link = FromUnicode(SymbolicLinkName);
    if (link.empty() || link[0] != L'\\')
        return STATUS_OBJECT_NAME_INVALID;
    std::wstring key = LinkKey(link);
    if (g_links.count(key) != 0 || g_names.count(key) != 0)
        return STATUS_OBJECT_NAME_COLLISION;
    g_links[key] = FromUnicode(DeviceName);
    return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_links.erase(LinkKey(FromUnicode(SymbolicLinkName))) != 0 ? STATUS_SUCCESS
                                                                        : STATUS_OBJECT_NAME_NOT_FOUND;
}

PDEVICE_OBJECT IoGetAttachedDevice(PDEVICE_OBJECT DeviceObject)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    while (DeviceObject->AttachedDevice != nullptr)
        DeviceObject = DeviceObject->AttachedDevice;
    return DeviceObject;
}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT SourceDevice, PDEVICE_OBJECT TargetDevice)
{
    NTSTATUS status;
    if (Injected(kl::TCall::AttachDevice, &status))
        return nullptr;
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (SourceDevice->KlAttachedTo != nullptr) {
        Fault("a device was attached twice");
        return nullptr;
    }
    PDEVICE_OBJECT top = IoGetAttachedDevice(TargetDevice);
    if (top->KlDeleted)
        return nullptr;
    top->AttachedDevice = SourceDevice;
    SourceDevice->KlAttachedTo = top;
    SourceDevice->StackSize = static_cast<CCHAR>(top->StackSize + 1);
    return top;
}

VOID IoDetachDevice(PDEVICE_OBJECT TargetDevice)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    PDEVICE_OBJECT upper = TargetDevice->AttachedDevice;
    if (upper == nullptr) {
        Fault("a device was detached from a device that has nothing attached");
        return;
    }
    upper->KlAttachedTo = nullptr;
    TargetDevice->AttachedDevice = nullptr;
}

// ---- Requests ---------------------------------------------------------------

PIRP IoAllocateIrp(CCHAR StackSize, BOOLEAN)
{
    size_t count = StackSize > 0 ? static_cast<size_t>(StackSize) : 0;
    // One spare location below the first: a driver that writes the next
    // location of a request that has none writes there (and is reported)
    // instead of into someone else's memory.
    auto *irp = static_cast<PIRP>(std::calloc(1, sizeof(IRP) + (count + 1) * sizeof(IO_STACK_LOCATION)));
    irp->KlStack = reinterpret_cast<IO_STACK_LOCATION *>(irp + 1) + 1;
    irp->StackCount = StackSize;
    irp->CurrentLocation = static_cast<CCHAR>(StackSize + 1);
    irp->Tail.Overlay.CurrentStackLocation = irp->KlStack + count;
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    g_irps.insert(irp);
    return irp;
}

VOID IoFreeIrp(PIRP Irp)
{
    {
        std::lock_guard<std::recursive_mutex> guard(g_lock);
        if (g_irps.erase(Irp) == 0) {
            Fault("a request was freed that is not live");
            return;
        }
    }
    if (Irp->KlFlags & KL_OWNS_SYSTEM_BUFFER)
        std::free(Irp->AssociatedIrp.SystemBuffer);
    std::free(Irp);
}

PIRP IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject, PVOID InputBuffer,
                                   ULONG InputBufferLength, PVOID OutputBuffer, ULONG OutputBufferLength,
                                   BOOLEAN InternalDeviceIoControl, PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock)
{
    NTSTATUS status;
    if (Injected(kl::TCall::BuildIoControl, &status))
        return nullptr;
    PIRP irp = BuildControlRequest(IoControlCode, DeviceObject, InputBuffer, InputBufferLength, OutputBuffer,
                                   OutputBufferLength, InternalDeviceIoControl, Event, IoStatusBlock);
    irp->RequestorMode = KernelMode;
    return irp;
}

NTSTATUS IoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    return CallDown(DeviceObject, Irp, false);
}

NTSTATUS PoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    return CallDown(DeviceObject, Irp, true);
}

VOID PoStartNextPowerIrp(PIRP Irp)
{
    Irp->KlPoStartNext++;
}

VOID IoCompleteRequest(PIRP Irp, CCHAR)
{
    if (!IsLive(Irp)) {
        Fault("a request was completed that is no longer live");
        return;
    }
    if (Irp->KlFlags & KL_COMPLETING) {
        Fault("a request was completed twice");
        return;
    }
    if (Irp->IoStatus.Status == STATUS_PENDING)
        Fault("a request was completed with STATUS_PENDING");
    Irp->KlFlags |= KL_COMPLETING;
    while (Irp->CurrentLocation <= Irp->StackCount) {
        PIO_STACK_LOCATION stack = Irp->Tail.Overlay.CurrentStackLocation;
        Irp->PendingReturned = (stack->Control & SL_PENDING_RETURNED) != 0;
        PIO_COMPLETION_ROUTINE routine = stack->CompletionRoutine;
        PVOID context = stack->Context;
        UCHAR control = stack->Control;
        stack->CompletionRoutine = nullptr;
        stack->Context = nullptr;
        stack->Control = 0;
        Irp->CurrentLocation++;
        Irp->Tail.Overlay.CurrentStackLocation++;
        // A completion routine runs for the driver that set it: the one
        // whose location is now current.
        PDEVICE_OBJECT owner = Irp->CurrentLocation <= Irp->StackCount
                                   ? Irp->Tail.Overlay.CurrentStackLocation->DeviceObject
                                   : nullptr;
        NTSTATUS status = Irp->IoStatus.Status;
        bool invoke = routine != nullptr &&
                      ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
                       (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
                       (Irp->Cancel && (control & SL_INVOKE_ON_CANCEL)));
        if (invoke) {
            if (routine(owner, Irp, context) == STATUS_MORE_PROCESSING_REQUIRED) {
                Irp->KlFlags &= ~static_cast<ULONG>(KL_COMPLETING);
                return;
            }
        } else if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount) {
            IoMarkIrpPending(Irp);
        }
    }
    FinishRequest(Irp);
}

PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP Irp)
{
    if (Irp->CurrentLocation > Irp->StackCount)
        Fault("the current stack location of a request that has none was asked for");
    return Irp->Tail.Overlay.CurrentStackLocation;
}

PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP Irp)
{
    if (Irp->CurrentLocation <= 1)
        Fault("the next stack location of a request that has none was asked for");
    return Irp->Tail.Overlay.CurrentStackLocation - 1;
}

VOID IoSkipCurrentIrpStackLocation(PIRP Irp)
{
    if (Irp->CurrentLocation > Irp->StackCount)
        Fault("a stack location was skipped that the request does not have");
    Irp->CurrentLocation++;
    Irp->Tail.Overlay.CurrentStackLocation++;
}

VOID IoCopyCurrentIrpStackLocationToNext(PIRP Irp)
{
    PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(Irp);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(Irp);
    next->MajorFunction = current->MajorFunction;
    next->MinorFunction = current->MinorFunction;
    next->Flags = current->Flags;
    next->Parameters = current->Parameters;
    next->FileObject = current->FileObject;
    next->DeviceObject = nullptr;
    next->Control = 0;
    next->CompletionRoutine = nullptr;
    next->Context = nullptr;
}

VOID IoSetCompletionRoutine(PIRP Irp, PIO_COMPLETION_ROUTINE CompletionRoutine, PVOID Context,
                            BOOLEAN InvokeOnSuccess, BOOLEAN InvokeOnError, BOOLEAN InvokeOnCancel)
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(Irp);
    next->CompletionRoutine = CompletionRoutine;
    next->Context = Context;
    next->Control = static_cast<UCHAR>((InvokeOnSuccess ? SL_INVOKE_ON_SUCCESS : 0) |
                                       (InvokeOnError ? SL_INVOKE_ON_ERROR : 0) |
                                       (InvokeOnCancel ? SL_INVOKE_ON_CANCEL : 0));
}

VOID IoMarkIrpPending(PIRP Irp)
{
    IoGetCurrentIrpStackLocation(Irp)->Control |= SL_PENDING_RETURNED;
}

// ---- Remove locks -----------------------------------------------------------

VOID IoInitializeRemoveLockEx(PIO_REMOVE_LOCK Lock, ULONG, ULONG, ULONG, ULONG RemlockSize)
{
    if (RemlockSize != sizeof(IO_REMOVE_LOCK))
        Fault("a remove lock was initialized with the wrong size");
    __atomic_store_n(&Lock->Removed, FALSE, __ATOMIC_SEQ_CST);
    __atomic_store_n(&Lock->IoCount, 1, __ATOMIC_SEQ_CST);
    KeInitializeEvent(&Lock->RemoveEvent, NotificationEvent, FALSE);
}

NTSTATUS IoAcquireRemoveLockEx(PIO_REMOVE_LOCK RemoveLock, PVOID, PCSTR, ULONG, ULONG)
{
    InterlockedIncrement(&RemoveLock->IoCount);
    if (__atomic_load_n(&RemoveLock->Removed, __ATOMIC_SEQ_CST)) {
        if (InterlockedDecrement(&RemoveLock->IoCount) == 0)
            KeSetEvent(&RemoveLock->RemoveEvent, IO_NO_INCREMENT, FALSE);
        return STATUS_DELETE_PENDING;
    }
    return STATUS_SUCCESS;
}

VOID IoReleaseRemoveLockEx(PIO_REMOVE_LOCK RemoveLock, PVOID, ULONG)
{
    LONG count = InterlockedDecrement(&RemoveLock->IoCount);
    if (count < 0)
        Fault("a remove lock was released more often than acquired");
    if (count == 0)
        KeSetEvent(&RemoveLock->RemoveEvent, IO_NO_INCREMENT, FALSE);
}

VOID IoReleaseRemoveLockAndWaitEx(PIO_REMOVE_LOCK RemoveLock, PVOID Tag, ULONG RemlockSize)
{
    __atomic_store_n(&RemoveLock->Removed, TRUE, __ATOMIC_SEQ_CST);
    InterlockedDecrement(&RemoveLock->IoCount); // the count the lock started with
    IoReleaseRemoveLockEx(RemoveLock, Tag, RemlockSize);
    KeWaitForSingleObject(&RemoveLock->RemoveEvent, Executive, KernelMode, FALSE, nullptr);
}

} // extern "C"

// ---- Harness ------------------------------------------------------------------

namespace kl {

void Reset()
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    for (PIRP irp : g_irps) {
        if (irp->KlFlags & KL_OWNS_SYSTEM_BUFFER)
            std::free(irp->AssociatedIrp.SystemBuffer);
        std::free(irp);
    }
    g_irps.clear();
    for (PFILE_OBJECT file : g_files)
        delete file;
    g_files.clear();
    g_devices.clear();
    g_drivers.clear();
    g_names.clear();
    g_links.clear();
    g_armed.clear();
    std::lock_guard<std::mutex> faults(g_faultLock);
    g_faults.clear();
}

PDRIVER_OBJECT CreateDriver(const std::wstring &name)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto record = std::make_unique<TDriverRecord>();
    record->Name = name;
    record->Extension.DriverObject = &record->Object;
    record->Object.DriverExtension = &record->Extension;
    RtlInitUnicodeString(&record->Object.DriverName, record->Name.c_str());
    g_drivers.push_back(std::move(record));
    return &g_drivers.back()->Object;
}

std::vector<std::string> TakeFaults()
{
    std::lock_guard<std::mutex> guard(g_faultLock);
    std::vector<std::string> faults;
    faults.swap(g_faults);
    return faults;
}

void FailCall(TCall call, NTSTATUS status, int nth)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    g_armed[call] = TArmed{nth, status};
}

PDEVICE_OBJECT FindDevice(const std::wstring &name)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = g_names.find(Upper(name));
    return it != g_names.end() ? it->second : nullptr;
}

std::optional<std::wstring> LinkTarget(const std::wstring &link)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = g_links.find(LinkKey(link));
    if (it == g_links.end())
        return std::nullopt;
    return it->second;
}

std::wstring NameOf(PDEVICE_OBJECT device)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = g_devices.find(device);
    return it != g_devices.end() ? it->second->Name : std::wstring();
}

bool IsDeleted(PDEVICE_OBJECT device)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = g_devices.find(device);
    return it == g_devices.end() || device->KlDeleted;
}

bool IsFreed(PDEVICE_OBJECT device)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_devices.count(device) == 0;
}

void Collect()
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    for (auto it = g_devices.begin(); it != g_devices.end();) {
        PDEVICE_OBJECT device = it->first;
        if (device->KlDeleted && device->KlOpenHandles == 0 && device->AttachedDevice == nullptr) {
            if (device->KlAttachedTo != nullptr)
                device->KlAttachedTo->AttachedDevice = nullptr;
            it = g_devices.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<PDEVICE_OBJECT> DevicesOf(PDRIVER_OBJECT driver)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    std::vector<PDEVICE_OBJECT> devices;
    for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr; device = device->NextDevice)
        devices.push_back(device);
    return devices;
}

size_t LiveRequests()
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_irps.size();
}

bool AwaitBlockedWaiters(int n, std::chrono::milliseconds bound)
{
    std::unique_lock<std::mutex> guard(g_waitLock);
    return g_waitCv.wait_for(guard, bound, [n] { return g_blocked >= n; });
}

TResult Send(PDEVICE_OBJECT device, UCHAR major, UCHAR minor,
             const std::function<void(PIRP, PIO_STACK_LOCATION)> &fill, NTSTATUS initialStatus)
{
    PDEVICE_OBJECT top = IoGetAttachedDevice(device);
    auto context = NewContext();
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    irp->IoStatus.Status = initialStatus;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->MinorFunction = minor;
    if (fill)
        fill(irp, next);
    irp->UserEvent = &context->Event;
    irp->UserIosb = &context->Iosb;
    irp->KlFlags |= KL_FREE_WHEN_DONE;
    return Dispatch(top, irp, std::move(context), major == IRP_MJ_POWER);
}

TResult SendPnp(PDEVICE_OBJECT device, UCHAR minor)
{
    return Send(device, IRP_MJ_PNP, minor, {}, STATUS_NOT_SUPPORTED);
}

TResult SendPower(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state)
{
    return Send(
        device, IRP_MJ_POWER, minor,
        [&](PIRP, PIO_STACK_LOCATION stack) {
            stack->Parameters.Power.Type = type;
            stack->Parameters.Power.State = state;
        },
        STATUS_NOT_SUPPORTED);
}

TResult SendInternal(PDEVICE_OBJECT device, ULONG code, PVOID input, ULONG inputLength)
{
    auto context = NewContext();
    PIRP irp = BuildControlRequest(code, device, input, inputLength, nullptr, 0, TRUE, &context->Event,
                                   &context->Iosb);
    return Dispatch(device, irp, std::move(context), false);
}

NTSTATUS OpenFile(const std::wstring &path, PFILE_OBJECT *file)
{
    PDEVICE_OBJECT device = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(g_lock);
        std::wstring key = LinkKey(path);
        auto link = g_links.find(key);
        auto named = g_names.find(link != g_links.end() ? Upper(link->second) : key);
        if (named == g_names.end())
            return STATUS_OBJECT_NAME_NOT_FOUND;
        device = named->second;
        if (device->Flags & DO_DEVICE_INITIALIZING)
            return STATUS_NO_SUCH_DEVICE;
    }
    auto *opened = new FILE_OBJECT{device};
    TResult result = Send(device, IRP_MJ_CREATE, 0, [opened](PIRP irp, PIO_STACK_LOCATION stack) {
        irp->RequestorMode = UserMode;
        stack->FileObject = opened;
    });
    if (!NT_SUCCESS(result.Status)) {
        delete opened;
        return result.Status;
    }
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    device->KlOpenHandles++;
    g_files.insert(opened);
    *file = opened;
    return result.Status;
}

NTSTATUS DeviceIoControl(PFILE_OBJECT file, ULONG code, const void *input, ULONG inputLength, void *output,
                         ULONG outputLength, ULONG_PTR *information)
{
    PDEVICE_OBJECT top = IoGetAttachedDevice(file->DeviceObject);
    auto context = NewContext();
    PIRP irp = BuildControlRequest(code, top, const_cast<void *>(input), inputLength, output, outputLength, FALSE,
                                   &context->Event, &context->Iosb);
    irp->RequestorMode = UserMode;
    IoGetNextIrpStackLocation(irp)->FileObject = file;
    TResult result = Dispatch(top, irp, std::move(context), false);
    if (information != nullptr)
        *information = result.Information;
    return result.Status;
}

NTSTATUS CloseFile(PFILE_OBJECT file)
{
    auto fill = [file](PIRP irp, PIO_STACK_LOCATION stack) {
        irp->RequestorMode = UserMode;
        stack->FileObject = file;
    };
    Send(file->DeviceObject, IRP_MJ_CLEANUP, 0, fill);
    TResult result = Send(file->DeviceObject, IRP_MJ_CLOSE, 0, fill);
    {
        std::lock_guard<std::recursive_mutex> guard(g_lock);
        file->DeviceObject->KlOpenHandles--;
        g_files.erase(file);
        delete file;
    }
    Collect();
    return result.Status;
}

} // namespace kl
