// Doubles of the drivers around the filter in the PS/2 mouse stack, written
// against the user-mode kernel layer:
//   TMouseClass   mouse class driver, on top
//   (korvap2k)    the filter under test
//   TI8042Port    i8042 port driver (function device) on a bus device (PDO)
#pragma once

#include "driver/klayer/Harness.h"

#include <mutex>
#include <vector>

// One request as it arrived at the port driver.
struct TArrival {
    PIRP Irp = nullptr;
    UCHAR Major = 0;
    UCHAR Minor = 0;
    ULONG Code = 0;
    ULONG InputLength = 0;
    ULONG OutputLength = 0;
    PVOID Type3Input = nullptr;
    PVOID UserBuffer = nullptr;
    std::vector<UCHAR> Bytes; // the bytes of a mouse write
    NTSTATUS Status = 0;      // the status block as it arrived
    ULONG_PTR Information = 0;
    PFILE_OBJECT File = nullptr;
    ULONG ReadLength = 0; // read or write
    bool ViaPoCall = false;
    ULONG PoStartNext = 0;
    POWER_STATE_TYPE PowerType = SystemPowerState;
    POWER_STATE PowerState{};
    bool HookRecordCopied = false;
    INTERNAL_I8042_HOOK_MOUSE HookRecord{}; // a hook request's record as it arrived
};

class TI8042Port {
public:
    TI8042Port(); // the bus device and the port's function device on it
    TI8042Port(const TI8042Port &) = delete;
    TI8042Port &operator=(const TI8042Port &) = delete;

    PDEVICE_OBJECT Pdo = nullptr;
    PDEVICE_OBJECT Fdo = nullptr;

    // How requests are answered. A held request stays pending until
    // CompleteHeld().
    NTSTATUS Answer = STATUS_SUCCESS; // everything without an answer of its own
    ULONG_PTR AnswerInformation = 0;
    NTSTATUS WriteAnswer = STATUS_SUCCESS;
    NTSTATUS StartAnswer = STATUS_SUCCESS;
    bool HoldWrites = false;
    bool HoldStarts = false;
    void CompleteHeld();
    size_t Held();

    std::vector<TArrival> Arrivals();
    std::vector<TArrival> Arrivals(UCHAR major);
    std::vector<TArrival> Writes();

    // The class connection as it arrived here, through whatever is above.
    CONNECT_DATA Connection{};

    // Sends the hook request up to the top of the stack, as the port driver
    // does once the class has connected; upper filters fill the record on its
    // way down. previous/previousContext stand for a hook that a filter above
    // the one under test put into the record first. Hook keeps the record as
    // it came back.
    kl::TResult SendHook(PI8042_MOUSE_ISR previous = nullptr, PVOID previousContext = nullptr,
                         ULONG length = sizeof(INTERNAL_I8042_HOOK_MOUSE));
    INTERNAL_I8042_HOOK_MOUSE Hook{};
    static VOID NTAPI WritePort(PVOID Context, UCHAR Value);
    static VOID NTAPI QueuePacket(PVOID Context);

    // One interrupt per byte: the hook chain first, then, when it lets the
    // port go on, the port's own three-byte packet decoding; each full packet
    // goes to the connected service routine as the deferred call would.
    void Interrupt(const std::vector<UCHAR> &bytes);
    std::vector<BOOLEAN> IsrResults;
    std::vector<ULONG> Consumed; // what each service call reported

private:
    static NTSTATUS NTAPI DispatchPort(PDEVICE_OBJECT DeviceObject, PIRP Irp);
    static NTSTATUS NTAPI DispatchBus(PDEVICE_OBJECT DeviceObject, PIRP Irp);
    NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information = 0);
    NTSTATUS Hold(PIRP irp, NTSTATUS answer);
    void Decode(UCHAR byte);

    std::mutex lock_;
    std::vector<TArrival> arrivals_;
    std::vector<std::pair<PIRP, NTSTATUS>> held_;
    MOUSE_INPUT_DATA input_{};
    OUTPUT_PACKET output_{};
    MOUSE_STATE state_ = MouseIdle;
    MOUSE_RESET_SUBSTATE substate_ = ExpectingReset;
    UCHAR packet_[3] = {};
    int packetLength_ = 0;
    UCHAR buttons_ = 0;
};

class TMouseClass {
public:
    TMouseClass();
    TMouseClass(const TMouseClass &) = delete;
    TMouseClass &operator=(const TMouseClass &) = delete;

    PDEVICE_OBJECT Device = nullptr;
    PDEVICE_OBJECT Lower = nullptr;
    void AttachTo(PDEVICE_OBJECT pdo);

    // The connect request to the device below, with a record of length bytes
    // naming this device and Service. Sent keeps the record as it came back.
    kl::TResult Connect(ULONG length = sizeof(CONNECT_DATA));
    CONNECT_DATA Sent{};

    struct TCall {
        PDEVICE_OBJECT Device;
        PMOUSE_INPUT_DATA Start;
        PMOUSE_INPUT_DATA End;
    };
    std::vector<TCall> Calls;
    std::vector<MOUSE_INPUT_DATA> Packets;
    // Statuses the start request came back up with (the class driver sets a
    // completion routine on it, as it must to learn the outcome).
    std::vector<NTSTATUS> StartCompletions;
    static VOID NTAPI Service(PDEVICE_OBJECT DeviceObject, PMOUSE_INPUT_DATA Start, PMOUSE_INPUT_DATA End,
                              PULONG Consumed);

private:
    static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp);
    static NTSTATUS NTAPI StartDone(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
};

bool SamePackets(const std::vector<MOUSE_INPUT_DATA> &a, const std::vector<MOUSE_INPUT_DATA> &b);
