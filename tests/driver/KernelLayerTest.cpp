// The parts of the user-mode kernel layer that the driver tests lean on:
// completion walks up the stack as the kernel does, names and handles behave,
// remove locks wait, and misuse is reported rather than passed over.
#include "driver/klayer/Harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

// Two drivers in one stack: Upper on Lower. Lower completes what it gets
// with LowerAnswer (or returns without completing when Forget is set);
// Upper sets a completion routine and passes the request down.
struct TTwoDrivers {
    PDEVICE_OBJECT Upper = nullptr;
    PDEVICE_OBJECT Lower = nullptr;
    static inline NTSTATUS LowerAnswer = STATUS_SUCCESS;
    static inline bool Forget = false;
    static inline NTSTATUS RoutineAnswer = STATUS_SUCCESS;
    static inline std::vector<PDEVICE_OBJECT> RoutineDevices;

    TTwoDrivers()
    {
        kl::Reset();
        LowerAnswer = STATUS_SUCCESS;
        Forget = false;
        RoutineAnswer = STATUS_SUCCESS;
        RoutineDevices.clear();
        PDRIVER_OBJECT lower = kl::CreateDriver(L"\\Driver\\lower");
        PDRIVER_OBJECT upper = kl::CreateDriver(L"\\Driver\\upper");
        for (auto &routine : lower->MajorFunction)
            routine = DispatchLower;
        for (auto &routine : upper->MajorFunction)
            routine = DispatchUpper;
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, L"\\Device\\Lower");
        IoCreateDevice(lower, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &Lower);
        IoCreateDevice(upper, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &Upper);
        Lower->Flags &= ~DO_DEVICE_INITIALIZING;
        Upper->Flags &= ~DO_DEVICE_INITIALIZING;
        IoAttachDeviceToDeviceStack(Upper, Lower);
    }
    ~TTwoDrivers() { kl::Reset(); }

    static NTSTATUS NTAPI DispatchLower(PDEVICE_OBJECT, PIRP Irp)
    {
        if (Forget)
            return STATUS_SUCCESS;
        Irp->IoStatus.Status = LowerAnswer;
        IoCompleteRequest(Irp, IO_NO_INCREMENT);
        return LowerAnswer;
    }
    static NTSTATUS NTAPI Routine(PDEVICE_OBJECT DeviceObject, PIRP, PVOID)
    {
        RoutineDevices.push_back(DeviceObject);
        return RoutineAnswer;
    }
    static NTSTATUS NTAPI DispatchUpper(PDEVICE_OBJECT DeviceObject, PIRP Irp)
    {
        IoCopyCurrentIrpStackLocationToNext(Irp);
        IoSetCompletionRoutine(Irp, Routine, nullptr, TRUE, TRUE, TRUE);
        NTSTATUS status = IoCallDriver(DeviceObject->KlAttachedTo, Irp);
        if (RoutineAnswer == STATUS_MORE_PROCESSING_REQUIRED) {
            // Taken back: finish it here.
            Irp->IoStatus.Status = STATUS_IO_TIMEOUT;
            IoCompleteRequest(Irp, IO_NO_INCREMENT);
            return STATUS_IO_TIMEOUT;
        }
        return status;
    }
};

TEST(TKernelLayer, CompletionRoutineRunsForTheDriverThatSetIt)
{
    TTwoDrivers drivers;
    TTwoDrivers::LowerAnswer = STATUS_UNSUCCESSFUL;

    kl::TResult result = kl::Send(drivers.Upper, IRP_MJ_READ, 0);

    EXPECT_EQ(result.Status, STATUS_UNSUCCESSFUL);
    EXPECT_THAT(TTwoDrivers::RoutineDevices, ElementsAre(drivers.Upper));
    EXPECT_THAT(kl::TakeFaults(), IsEmpty());
    EXPECT_EQ(kl::LiveRequests(), 0u);
}

TEST(TKernelLayer, MoreProcessingRequiredHandsTheRequestBack)
{
    TTwoDrivers drivers;
    TTwoDrivers::RoutineAnswer = STATUS_MORE_PROCESSING_REQUIRED;

    kl::TResult result = kl::Send(drivers.Upper, IRP_MJ_READ, 0);

    EXPECT_EQ(result.Status, STATUS_IO_TIMEOUT) << "completed again by the upper driver";
    EXPECT_THAT(kl::TakeFaults(), IsEmpty());
    EXPECT_EQ(kl::LiveRequests(), 0u);
}

TEST(TKernelLayer, ReportsMisuse)
{
    TTwoDrivers drivers;
    TTwoDrivers::Forget = true;
    kl::Send(drivers.Lower, IRP_MJ_READ, 0); // sent to the top, Upper: never completed
    EXPECT_THAT(kl::TakeFaults(), ElementsAre(HasSubstr("without completing")));

    PIRP irp = IoAllocateIrp(1, FALSE);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCallDriver(drivers.Upper, irp);
    EXPECT_THAT(kl::TakeFaults(), Contains(HasSubstr("no stack location left")));
    IoFreeIrp(irp);

    IoDeleteDevice(drivers.Upper);
    EXPECT_THAT(kl::TakeFaults(), ElementsAre(HasSubstr("still attached")));
}

TEST(TKernelLayer, NamesCollideAndHandlesOutliveTheirDevice)
{
    TTwoDrivers drivers;
    UNICODE_STRING name, link;
    RtlInitUnicodeString(&name, L"\\Device\\LOWER");
    RtlInitUnicodeString(&link, L"\\DosDevices\\Lower");
    PDEVICE_OBJECT again = nullptr;
    EXPECT_EQ(IoCreateDevice(drivers.Lower->DriverObject, 0, &name, 0, 0, FALSE, &again),
              STATUS_OBJECT_NAME_COLLISION);
    ASSERT_EQ(IoCreateSymbolicLink(&link, &name), STATUS_SUCCESS);
    EXPECT_EQ(IoCreateSymbolicLink(&link, &name), STATUS_OBJECT_NAME_COLLISION);

    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(kl::OpenFile(L"\\\\.\\lower", &file), STATUS_SUCCESS);
    EXPECT_EQ(file->DeviceObject, drivers.Lower);
    IoDetachDevice(drivers.Lower);
    IoDeleteDevice(drivers.Lower);
    EXPECT_EQ(kl::FindDevice(L"\\Device\\Lower"), nullptr);
    PFILE_OBJECT second = nullptr;
    EXPECT_EQ(kl::OpenFile(L"\\\\.\\lower", &second), STATUS_OBJECT_NAME_NOT_FOUND);
    kl::Collect();
    EXPECT_FALSE(kl::IsFreed(drivers.Lower));
    EXPECT_EQ(kl::CloseFile(file), STATUS_SUCCESS);
    EXPECT_TRUE(kl::IsFreed(drivers.Lower));
    EXPECT_THAT(kl::TakeFaults(), IsEmpty());
}

TEST(TKernelLayer, RemoveLockWaitsForHoldersAndRefusesLaterOnes)
{
    kl::Reset();
    IO_REMOVE_LOCK lock;
    IoInitializeRemoveLock(&lock, 0, 0, 0);
    int holder = 0, remover = 0, late = 0;
    ASSERT_EQ(IoAcquireRemoveLock(&lock, &holder), STATUS_SUCCESS);

    std::thread removal([&] {
        IoAcquireRemoveLock(&lock, &remover);
        IoReleaseRemoveLockAndWait(&lock, &remover);
    });
    ASSERT_TRUE(kl::AwaitBlockedWaiters(1));
    EXPECT_EQ(IoAcquireRemoveLock(&lock, &late), STATUS_DELETE_PENDING);
    IoReleaseRemoveLock(&lock, &holder);
    removal.join();

    EXPECT_THAT(kl::TakeFaults(), IsEmpty());
}

} // namespace
