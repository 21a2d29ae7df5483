// The filter driver loaded into the user-mode kernel layer, with a PS/2
// mouse stack of doubles: bus device, i8042 port, (filter), mouse class.
#pragma once

#include "Doubles.h"
#include "driver/korvap2k.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

inline const std::wstring kDeviceName = L"\\Device\\VIVOROD2";
inline const std::wstring kLinkName = L"\\DosDevices\\VIVOROD2";
inline const std::wstring kUserPath = L"\\\\.\\VIVOROD2";

// Starts every test from an empty layer; constructed before the doubles.
struct TFreshLayer {
    TFreshLayer() { kl::Reset(); }
};

// Runs work on a thread of its own. Join() (and the destructor, should an
// assertion end the test early) completes whatever the port still holds
// until the work has finished.
class TBackground {
public:
    TBackground(TI8042Port &port, std::function<void()> work)
        : port_(port), thread_([this, work = std::move(work)] {
              work();
              finished_ = true;
          })
    {
    }
    ~TBackground() { Join(); }
    bool Finished() const { return finished_; }
    void Join()
    {
        if (!thread_.joinable())
            return;
        while (!finished_) {
            port_.CompleteHeld();
            std::this_thread::yield();
        }
        thread_.join();
    }

private:
    TI8042Port &port_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

class TDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Driver = kl::CreateDriver(L"\\Driver\\korvap2k");
        UNICODE_STRING registryPath;
        RtlInitUnicodeString(&registryPath, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\korvap2k");
        ASSERT_EQ(DriverEntry(Driver, &registryPath), STATUS_SUCCESS);
    }

    void TearDown() override
    {
        EXPECT_THAT(kl::TakeFaults(), ::testing::IsEmpty()) << "misuse of the kernel interface";
        kl::Reset();
    }

    NTSTATUS AddDevice(TI8042Port &port) { return Driver->DriverExtension->AddDevice(Driver, port.Pdo); }

    // Port, filter and class, as the system stacks them. Connected: the class
    // has connected and the port has hooked, both through the filter.
    void BuildStack(bool connected = false)
    {
        ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
        Class.AttachTo(Port.Pdo);
        if (connected) {
            ASSERT_EQ(Class.Connect().Status, STATUS_SUCCESS);
            ASSERT_EQ(Port.SendHook().Status, STATUS_SUCCESS);
        }
    }

    PDEVICE_OBJECT Filter() { return Port.Fdo->AttachedDevice; }
    static PDEVICE_OBJECT Control() { return kl::FindDevice(kDeviceName); }
    static DEVICE_EXTENSION &Ext(PDEVICE_OBJECT device) { return *static_cast<PDEVICE_EXTENSION>(device->DeviceExtension); }

    // One open-command-close round, as the main program sends a command.
    NTSTATUS SendCommand(const std::vector<UCHAR> &bytes, ULONG code = IOCTL_MOUSE_COMMAND)
    {
        PFILE_OBJECT file = nullptr;
        NTSTATUS status = kl::OpenFile(kUserPath, &file);
        if (!NT_SUCCESS(status))
            return status;
        status = kl::DeviceIoControl(file, code, bytes.data(), static_cast<ULONG>(bytes.size()), nullptr, 0);
        EXPECT_EQ(kl::CloseFile(file), STATUS_SUCCESS);
        return status;
    }

    TFreshLayer Fresh;
    PDRIVER_OBJECT Driver = nullptr;
    TI8042Port Port;
    TMouseClass Class;
};
