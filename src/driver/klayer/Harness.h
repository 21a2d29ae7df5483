// The test side of the user-mode kernel layer: what the I/O manager and the
// plug-and-play and power managers do on behalf of a caller, the object
// namespace, failure injection, and the faults the layer noticed.
//
// The layer owns every driver object, device object and request it hands
// out; Reset() frees them all. A device deleted by its driver stays readable
// until Collect() (called after every request sent from here) finds nothing
// referring to it any more: no open handle and no device attached on top.
#pragma once

#include "driver/klayer/KernelLayer.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kl {

// Frees everything, forgets names, faults and armed failures.
void Reset();

// A driver object as the system hands it to DriverEntry (no routines set).
PDRIVER_OBJECT CreateDriver(const std::wstring &name);

// ---- Faults --------------------------------------------------------------
// Misuse the real kernel would punish (a request completed twice, a request
// sent down with no stack location left, a dispatch routine that returned
// without completing or pending, a device deleted while still attached, a
// request to a deleted device, a status returned that differs from the one
// completed). Each one is kept as a line of text.
std::vector<std::string> TakeFaults();

// ---- Failure injection ---------------------------------------------------
enum class TCall { CreateDevice, CreateSymbolicLink, AttachDevice, BuildIoControl };
// The nth next call (1 = the next) fails: with status, or by returning null
// for calls that return an object.
void FailCall(TCall call, NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES, int nth = 1);

// ---- Namespace -----------------------------------------------------------
PDEVICE_OBJECT FindDevice(const std::wstring &name);  // "\Device\X"; null if none
std::optional<std::wstring> LinkTarget(const std::wstring &link); // "\DosDevices\X" or "\??\X"
std::wstring NameOf(PDEVICE_OBJECT device);           // empty for an unnamed one
bool IsDeleted(PDEVICE_OBJECT device);                 // deleted by its driver
bool IsFreed(PDEVICE_OBJECT device);                   // gone for good
void Collect();
std::vector<PDEVICE_OBJECT> DevicesOf(PDRIVER_OBJECT driver); // not yet deleted ones
size_t LiveRequests();

// ---- Waiting -------------------------------------------------------------
// Waits until at least n threads are blocked in KeWaitForSingleObject; false
// when that does not happen within the bound.
bool AwaitBlockedWaiters(int n, std::chrono::milliseconds bound = std::chrono::seconds(10));

// ---- Sending requests ----------------------------------------------------
struct TResult {
    NTSTATUS Returned = STATUS_PENDING; // what the call down returned
    NTSTATUS Status = STATUS_PENDING;   // the status it was completed with
    ULONG_PTR Information = 0;
};

// Builds a request for the stack whose top is device, lets fill set the first
// stack location (and the request), sends it, waits when it is pending.
// The request starts with initialStatus in its status block.
TResult Send(PDEVICE_OBJECT device, UCHAR major, UCHAR minor,
             const std::function<void(PIRP, PIO_STACK_LOCATION)> &fill = {},
             NTSTATUS initialStatus = STATUS_SUCCESS);

// Plug and play and power requests to the top of the stack of device.
TResult SendPnp(PDEVICE_OBJECT device, UCHAR minor);
TResult SendPower(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state);

// An internal device control request from a kernel client to device itself
// (not the top of its stack), as IoBuildDeviceIoControlRequest makes it.
TResult SendInternal(PDEVICE_OBJECT device, ULONG code, PVOID input, ULONG inputLength);

// ---- User-mode handles ---------------------------------------------------
// path as a program passes it: "\\.\X". Sends the create to the top of the
// named device's stack.
NTSTATUS OpenFile(const std::wstring &path, PFILE_OBJECT *file);
NTSTATUS DeviceIoControl(PFILE_OBJECT file, ULONG code, const void *input, ULONG inputLength, void *output,
                         ULONG outputLength, ULONG_PTR *information = nullptr);
NTSTATUS CloseFile(PFILE_OBJECT file);

} // namespace kl
