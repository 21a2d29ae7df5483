/* korvap2k: upper filter of the PS/2 mouse with a control device that hands
 * command bytes from user mode to the mouse. */
#ifndef KORVAP2K_H
#define KORVAP2K_H

#include "driver/KernelApi.h"

#define KORVAP2K_DEVICE_NAME L"\\Device\\VIVOROD2"
#define KORVAP2K_LINK_NAME L"\\DosDevices\\VIVOROD2"

/* Control device: the input bytes go to the mouse as they are. Code 256. */
#define IOCTL_MOUSE_COMMAND CTL_CODE(0, 0x40, METHOD_BUFFERED, FILE_ANY_ACCESS)

/* Tag of the command lock ("kp2k" in a memory dump). */
#define KORVAP2K_TAG 0x6B32706BUL

/* The extension of both devices of one attached mouse, zero-filled when the
 * device is created. */
typedef struct _DEVICE_EXTENSION {
    PDEVICE_OBJECT OwnDevice;
    PDEVICE_OBJECT PhysicalDevice;
    /* Top of the mouse stack when the filter attached; the control device
     * sends commands straight to it. Null in the control device once the
     * filter is gone. */
    PDEVICE_OBJECT LowerDevice;
    LONG OpenCount; /* opens minus closes; interlocked only */
    PVOID PrevHookContext;
    PI8042_MOUSE_ISR PrevIsrHook;
    PI8042_ISR_WRITE_PORT PortWrite;
    PVOID PortCallContext;
    PI8042_QUEUE_PACKET PortQueuePacket;
    CONNECT_DATA ClassConnect;
    DEVICE_POWER_STATE PowerState;
    BOOLEAN Started;
    BOOLEAN SurpriseRemoved;
    BOOLEAN Removed;
    BOOLEAN IsControlDevice;
    /* Control device only: held by every command on its way to the port
     * driver; the filter's removal waits for them and refuses later ones. */
    IO_REMOVE_LOCK CommandLock;
} DEVICE_EXTENSION, *PDEVICE_EXTENSION;

#ifdef __cplusplus
extern "C"
#endif
NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

#endif
