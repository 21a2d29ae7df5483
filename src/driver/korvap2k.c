/* korvap2k: PS/2 mouse upper filter with a control device.
 *
 * Per attached mouse the driver creates two devices with the same extension:
 * an unnamed filter device on top of the mouse stack (between the mouse class
 * driver and the i8042 port driver), which passes all traffic through and
 * puts itself into the port driver's ISR hook chain and the class driver's
 * connection; and the named control device "\Device\VIVOROD2" with the link
 * "\DosDevices\VIVOROD2", whose IOCTL_MOUSE_COMMAND hands the caller's bytes
 * to the port driver as a mouse write.
 *
 * The control device lives as long as the filter device: removing the mouse
 * deletes both, so that no command reaches a detached stack and a later
 * mouse can take the name again.
 */
#include "driver/korvap2k.h"

/* The class driver's service routine as CONNECT_DATA carries it (PVOID). */
typedef VOID(NTAPI *MOUSE_CLASS_SERVICE)(PDEVICE_OBJECT DeviceObject, PMOUSE_INPUT_DATA InputDataStart,
                                         PMOUSE_INPUT_DATA InputDataEnd, PULONG InputDataConsumed);

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) KP2K_INIT_CODE;

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject) KP2K_PAGED_CODE;
static VOID NTAPI DriverUnload(PDRIVER_OBJECT DriverObject) KP2K_PAGED_CODE;
static NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT DeviceObject, PIRP Irp) KP2K_PAGED_CODE;
static NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) KP2K_PAGED_CODE;
static NTSTATUS NTAPI DispatchInternalDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) KP2K_PAGED_CODE;
static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) KP2K_PAGED_CODE;
static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp) KP2K_PAGED_CODE;
static VOID SendMouseCommand(PDEVICE_EXTENSION Control, PVOID Bytes, ULONG Length) KP2K_PAGED_CODE;
static VOID DeleteControlDevice(PDEVICE_OBJECT Control) KP2K_PAGED_CODE;
static PDEVICE_OBJECT FindControlDevice(PDEVICE_OBJECT Filter) KP2K_PAGED_CODE;

/* Resident: these run in completion context or at raised levels. */
static NTSTATUS NTAPI DispatchPassThrough(PDEVICE_OBJECT DeviceObject, PIRP Irp);
static NTSTATUS NTAPI StartCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
static BOOLEAN NTAPI IsrHook(PVOID IsrContext, PMOUSE_INPUT_DATA CurrentInput, POUTPUT_PACKET CurrentOutput,
                             UCHAR StatusByte, PUCHAR Byte, PBOOLEAN ContinueProcessing, PMOUSE_STATE MouseState,
                             PMOUSE_RESET_SUBSTATE ResetSubState);
static VOID NTAPI ServiceCallback(PDEVICE_OBJECT DeviceObject, PMOUSE_INPUT_DATA InputDataStart,
                                  PMOUSE_INPUT_DATA InputDataEnd, PULONG InputDataConsumed);

static NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status)
{
    Irp->IoStatus.Status = Status;
    Irp->IoStatus.Information = 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return Status;
}

/* Completes a request that the control device has no use for, leaving its
 * status as the sender set it. */
static NTSTATUS CompleteUnchanged(PIRP Irp)
{
    NTSTATUS status = Irp->IoStatus.Status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath)
{
    ULONG i;

    UNREFERENCED_PARAMETER(RegistryPath);

    for (i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; i++)
        DriverObject->MajorFunction[i] = DispatchPassThrough;
    DriverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    DriverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    DriverObject->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    DriverObject->DriverUnload = DriverUnload;
    DriverObject->DriverExtension->AddDevice = AddDevice;
    return STATUS_SUCCESS;
}

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject)
{
    UNICODE_STRING deviceName;
    UNICODE_STRING linkName;
    PDEVICE_OBJECT control = NULL;
    PDEVICE_OBJECT filter = NULL;
    PDEVICE_OBJECT lower;
    PDEVICE_EXTENSION controlExt;
    PDEVICE_EXTENSION filterExt;
    NTSTATUS status;

    RtlInitUnicodeString(&deviceName, KORVAP2K_DEVICE_NAME);
    RtlInitUnicodeString(&linkName, KORVAP2K_LINK_NAME);

    status = IoCreateDevice(DriverObject, sizeof(DEVICE_EXTENSION), &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE,
                            &control);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(control);
        return status;
    }

    controlExt = (PDEVICE_EXTENSION)control->DeviceExtension;
    RtlZeroMemory(controlExt, sizeof(DEVICE_EXTENSION));
    controlExt->OwnDevice = control;
    controlExt->PhysicalDevice = PhysicalDeviceObject;
    controlExt->PowerState = PowerDeviceD0;
    controlExt->IsControlDevice = TRUE;
    IoInitializeRemoveLock(&controlExt->CommandLock, KORVAP2K_TAG, 0, 0);
    control->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    control->Flags &= ~DO_DEVICE_INITIALIZING;

    /* From here on a failure takes the control device with it: left alone it
     * would hold the name with no stack to send commands to. */
    status = IoCreateDevice(DriverObject, sizeof(DEVICE_EXTENSION), NULL, FILE_DEVICE_MOUSE, 0, FALSE, &filter);
    if (!NT_SUCCESS(status)) {
        DeleteControlDevice(control);
        return status;
    }

    filterExt = (PDEVICE_EXTENSION)filter->DeviceExtension;
    RtlZeroMemory(filterExt, sizeof(DEVICE_EXTENSION));
    lower = IoAttachDeviceToDeviceStack(filter, PhysicalDeviceObject);
    if (lower == NULL) {
        IoDeleteDevice(filter);
        DeleteControlDevice(control);
        return STATUS_NO_SUCH_DEVICE;
    }
    filterExt->LowerDevice = lower;
    controlExt->LowerDevice = lower;

    filterExt->PowerState = PowerDeviceD0;
    filterExt->OwnDevice = filter;
    filterExt->PhysicalDevice = PhysicalDeviceObject;
    filter->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    filter->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static VOID NTAPI DriverUnload(PDRIVER_OBJECT DriverObject)
{
    UNREFERENCED_PARAMETER(DriverObject);
}

/* Waits for the commands in flight, refuses later ones and removes the
 * control device with its link. Handles that are still open keep the object
 * itself until they are closed; their commands are refused. */
static VOID DeleteControlDevice(PDEVICE_OBJECT Control)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)Control->DeviceExtension;
    UNICODE_STRING linkName;

    if (NT_SUCCESS(IoAcquireRemoveLock(&ext->CommandLock, Control)))
        IoReleaseRemoveLockAndWait(&ext->CommandLock, Control);
    ext->LowerDevice = NULL;
    ext->Removed = TRUE;
    RtlInitUnicodeString(&linkName, KORVAP2K_LINK_NAME);
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(Control);
}

/* The control device created with this filter device. */
static PDEVICE_OBJECT FindControlDevice(PDEVICE_OBJECT Filter)
{
    PDEVICE_EXTENSION filterExt = (PDEVICE_EXTENSION)Filter->DeviceExtension;
    PDEVICE_OBJECT device;

    for (device = Filter->DriverObject->DeviceObject; device != NULL; device = device->NextDevice) {
        PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)device->DeviceExtension;
        if (ext->IsControlDevice && ext->PhysicalDevice == filterExt->PhysicalDevice)
            return device;
    }
    return NULL;
}

static NTSTATUS NTAPI DispatchPassThrough(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;

    if (ext->IsControlDevice)
        return CompleteRequest(Irp, STATUS_SUCCESS);
    IoSkipCurrentIrpStackLocation(Irp);
    return IoCallDriver(ext->LowerDevice, Irp);
}

static NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;
    PIO_STACK_LOCATION stack;

    if (ext->IsControlDevice)
        return DispatchPassThrough(DeviceObject, Irp);

    stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->MajorFunction == IRP_MJ_CREATE) {
        /* Refused here, not passed down: a lower driver would overwrite the
         * status, and the close of an open it let through would then count
         * an open that was never counted. */
        if (ext->ClassConnect.ClassService == NULL)
            return CompleteRequest(Irp, STATUS_INVALID_DEVICE_STATE);
        InterlockedIncrement(&ext->OpenCount);
    } else {
        InterlockedDecrement(&ext->OpenCount);
    }
    return DispatchPassThrough(DeviceObject, Irp);
}

static NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    NTSTATUS status;

    if (!ext->IsControlDevice)
        return DispatchPassThrough(DeviceObject, Irp);

    if (stack->Parameters.DeviceIoControl.IoControlCode != IOCTL_MOUSE_COMMAND) {
        status = STATUS_INVALID_DEVICE_REQUEST;
    } else if (!NT_SUCCESS(IoAcquireRemoveLock(&ext->CommandLock, Irp))) {
        /* The mouse is gone; only a handle opened before still reaches us. */
        status = STATUS_NO_SUCH_DEVICE;
    } else {
        if (ext->LowerDevice == NULL) {
            status = STATUS_NO_SUCH_DEVICE;
        } else {
            /* Whatever the port driver makes of the bytes is not reported. */
            SendMouseCommand(ext, Irp->AssociatedIrp.SystemBuffer,
                             stack->Parameters.DeviceIoControl.InputBufferLength);
            status = STATUS_SUCCESS;
        }
        IoReleaseRemoveLock(&ext->CommandLock, Irp);
    }
    return CompleteRequest(Irp, status);
}

/* Hands the bytes to the port driver as one mouse write and waits until it
 * has finished with them (they live in the caller's request). */
static VOID SendMouseCommand(PDEVICE_EXTENSION Control, PVOID Bytes, ULONG Length)
{
    KEVENT done;
    IO_STATUS_BLOCK ioStatus;
    PIRP write;

    KeInitializeEvent(&done, NotificationEvent, FALSE);
    write = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_I8042_MOUSE_WRITE_BUFFER, Control->LowerDevice, Bytes,
                                          Length, NULL, 0, TRUE, &done, &ioStatus);
    if (write == NULL)
        return;
    if (IoCallDriver(Control->LowerDevice, write) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
}

static NTSTATUS NTAPI DispatchInternalDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    ULONG length = stack->Parameters.DeviceIoControl.InputBufferLength;

    Irp->IoStatus.Information = 0;
    /* The control device is in no stack: nothing to connect or hook. */
    if (ext->IsControlDevice)
        return CompleteRequest(Irp, STATUS_INVALID_DEVICE_REQUEST);

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_INTERNAL_MOUSE_CONNECT: {
        PCONNECT_DATA connect;

        if (ext->ClassConnect.ClassService != NULL)
            return CompleteRequest(Irp, STATUS_SHARING_VIOLATION);
        if (length < sizeof(CONNECT_DATA))
            return CompleteRequest(Irp, STATUS_INVALID_PARAMETER);
        connect = (PCONNECT_DATA)stack->Parameters.DeviceIoControl.Type3InputBuffer;
        ext->ClassConnect = *connect;
        connect->ClassDeviceObject = DeviceObject;
        connect->ClassService = (PVOID)ServiceCallback;
        break;
    }
    case IOCTL_INTERNAL_MOUSE_DISCONNECT:
        return CompleteRequest(Irp, STATUS_NOT_IMPLEMENTED);
    case IOCTL_INTERNAL_I8042_HOOK_MOUSE: {
        PINTERNAL_I8042_HOOK_MOUSE hook;

        if (length < sizeof(INTERNAL_I8042_HOOK_MOUSE))
            return CompleteRequest(Irp, STATUS_INVALID_PARAMETER);
        hook = (PINTERNAL_I8042_HOOK_MOUSE)stack->Parameters.DeviceIoControl.Type3InputBuffer;
        ext->PrevHookContext = hook->Context;
        hook->Context = DeviceObject;
        if (hook->IsrRoutine != NULL)
            ext->PrevIsrHook = hook->IsrRoutine;
        hook->IsrRoutine = IsrHook;
        ext->PortWrite = hook->IsrWritePort;
        ext->PortQueuePacket = hook->QueueMousePacket;
        ext->PortCallContext = hook->CallContext;
        break;
    }
    default:
        break;
    }
    return DispatchPassThrough(DeviceObject, Irp);
}

/* Runs inside the port driver's interrupt service routine. */
static BOOLEAN NTAPI IsrHook(PVOID IsrContext, PMOUSE_INPUT_DATA CurrentInput, POUTPUT_PACKET CurrentOutput,
                             UCHAR StatusByte, PUCHAR Byte, PBOOLEAN ContinueProcessing, PMOUSE_STATE MouseState,
                             PMOUSE_RESET_SUBSTATE ResetSubState)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)((PDEVICE_OBJECT)IsrContext)->DeviceExtension;
    BOOLEAN result = TRUE;

    if (ext->PrevIsrHook != NULL) {
        result = ext->PrevIsrHook(ext->PrevHookContext, CurrentInput, CurrentOutput, StatusByte, Byte,
                                  ContinueProcessing, MouseState, ResetSubState);
        if (!result || !*ContinueProcessing)
            return result;
    }
    *ContinueProcessing = TRUE;
    return result;
}

/* Runs in the port driver's deferred procedure call. */
static VOID NTAPI ServiceCallback(PDEVICE_OBJECT DeviceObject, PMOUSE_INPUT_DATA InputDataStart,
                                  PMOUSE_INPUT_DATA InputDataEnd, PULONG InputDataConsumed)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;

    ((MOUSE_CLASS_SERVICE)ext->ClassConnect.ClassService)(ext->ClassConnect.ClassDeviceObject, InputDataStart,
                                                         InputDataEnd, InputDataConsumed);
}

static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    NTSTATUS status;

    /* Plug and play knows only the filter device. */
    if (ext->IsControlDevice)
        return CompleteUnchanged(Irp);

    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        KEVENT started;

        KeInitializeEvent(&started, NotificationEvent, FALSE);
        IoCopyCurrentIrpStackLocationToNext(Irp);
        IoSetCompletionRoutine(Irp, StartCompletion, &started, TRUE, TRUE, TRUE);
        status = IoCallDriver(ext->LowerDevice, Irp);
        if (status == STATUS_PENDING) {
            KeWaitForSingleObject(&started, Executive, KernelMode, FALSE, NULL);
            status = Irp->IoStatus.Status;
        }
        if (NT_SUCCESS(status) && NT_SUCCESS(Irp->IoStatus.Status)) {
            ext->Started = TRUE;
            ext->Removed = FALSE;
            ext->SurpriseRemoved = FALSE;
        }
        return CompleteRequest(Irp, status);
    }
    case IRP_MN_REMOVE_DEVICE: {
        PDEVICE_OBJECT control = FindControlDevice(DeviceObject);

        ext->Removed = TRUE;
        if (control != NULL)
            DeleteControlDevice(control);
        IoSkipCurrentIrpStackLocation(Irp);
        IoCallDriver(ext->LowerDevice, Irp);
        IoDetachDevice(ext->LowerDevice);
        IoDeleteDevice(DeviceObject);
        return STATUS_SUCCESS;
    }
    case IRP_MN_SURPRISE_REMOVAL:
        ext->SurpriseRemoved = TRUE;
        IoSkipCurrentIrpStackLocation(Irp);
        return IoCallDriver(ext->LowerDevice, Irp);
    default:
        IoSkipCurrentIrpStackLocation(Irp);
        return IoCallDriver(ext->LowerDevice, Irp);
    }
}

/* The start request comes back here; DispatchPnp finishes it. */
static NTSTATUS NTAPI StartCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context)
{
    UNREFERENCED_PARAMETER(DeviceObject);
    UNREFERENCED_PARAMETER(Irp);

    KeSetEvent((PKEVENT)Context, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION ext = (PDEVICE_EXTENSION)DeviceObject->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);

    if (ext->IsControlDevice) {
        PoStartNextPowerIrp(Irp);
        return CompleteUnchanged(Irp);
    }
    if (stack->MinorFunction == IRP_MN_SET_POWER && stack->Parameters.Power.Type == DevicePowerState)
        ext->PowerState = stack->Parameters.Power.State.DeviceState;
    PoStartNextPowerIrp(Irp);
    IoSkipCurrentIrpStackLocation(Irp);
    return PoCallDriver(ext->LowerDevice, Irp);
}
