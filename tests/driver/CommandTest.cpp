// IOCTL_MOUSE_COMMAND on the control device: the caller's bytes become one
// mouse write to the port driver, whose outcome is not reported.
#include "DriverFixture.h"

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

using TCommand = TDriverTest;

class TCommandBytes : public TDriverTest, public ::testing::WithParamInterface<std::vector<UCHAR>> {};

// The stack is neither started nor connected: a command goes down all the same.
TEST_P(TCommandBytes, BecomeOneMouseWriteWithTheSameBytesAndLength)
{
    const std::vector<UCHAR> &bytes = GetParam();
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(kl::OpenFile(kUserPath, &file), STATUS_SUCCESS);

    ULONG_PTR information = 77;
    NTSTATUS status = kl::DeviceIoControl(file, IOCTL_MOUSE_COMMAND, bytes.data(), static_cast<ULONG>(bytes.size()),
                                          nullptr, 0, &information);
    EXPECT_EQ(kl::CloseFile(file), STATUS_SUCCESS);

    EXPECT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(information, 0u);
    auto writes = Port.Writes();
    ASSERT_THAT(writes, SizeIs(1));
    EXPECT_EQ(writes[0].InputLength, bytes.size());
    EXPECT_THAT(writes[0].Bytes, ElementsAreArray(bytes));
    EXPECT_EQ(writes[0].OutputLength, 0u);
    EXPECT_EQ(writes[0].UserBuffer, nullptr);
    EXPECT_THAT(Port.Arrivals(), SizeIs(1)) << "nothing else reaches the port";
}

INSTANTIATE_TEST_SUITE_P(Inputs, TCommandBytes,
                         ::testing::Values(std::vector<UCHAR>{227}, std::vector<UCHAR>{228},
                                           std::vector<UCHAR>{229}, std::vector<UCHAR>{},
                                           std::vector<UCHAR>{0xF3, 0x0A, 0xF3, 0x14, 0xE8, 0x03, 0xFF, 0x00}));

TEST_F(TCommand, FailedWriteIsNotReported)
{
    BuildStack(/*connected=*/true);
    Port.WriteAnswer = STATUS_IO_TIMEOUT;

    EXPECT_EQ(SendCommand({227}), STATUS_SUCCESS);
    EXPECT_THAT(Port.Writes(), SizeIs(1));
}

TEST_F(TCommand, UnbuildableWriteIsNotReported)
{
    BuildStack(/*connected=*/true);
    kl::FailCall(kl::TCall::BuildIoControl);

    EXPECT_EQ(SendCommand({228}), STATUS_SUCCESS);
    EXPECT_THAT(Port.Writes(), IsEmpty());
}

TEST_F(TCommand, UnknownCodesAreRefused)
{
    BuildStack(/*connected=*/true);
    size_t before = Port.Arrivals().size();

    for (ULONG code : {ULONG{257}, ULONG{0x104}, ULONG{0}, CTL_CODE(FILE_DEVICE_UNKNOWN, 0x40, METHOD_BUFFERED, 0),
                       ULONG{IOCTL_INTERNAL_I8042_MOUSE_WRITE_BUFFER}}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(SendCommand({227}, code), STATUS_INVALID_DEVICE_REQUEST);
    }
    EXPECT_THAT(Port.Arrivals(), SizeIs(before));
}

// The bytes live in the caller's request: the command must not come back
// before the port driver is done with them, whatever it answers.
class TPendingWrite : public TDriverTest, public ::testing::WithParamInterface<NTSTATUS> {};

TEST_P(TPendingWrite, IsWaitedForAndNotReported)
{
    BuildStack(/*connected=*/true);
    Port.HoldWrites = true;
    Port.WriteAnswer = GetParam();

    NTSTATUS status = STATUS_PENDING;
    TBackground caller(Port, [&] { status = SendCommand({229}); });
    ASSERT_TRUE(kl::AwaitBlockedWaiters(1)) << "the command did not wait for the port";
    EXPECT_EQ(Port.Held(), 1u);
    EXPECT_FALSE(caller.Finished());

    Port.CompleteHeld();
    caller.Join();

    EXPECT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(kl::LiveRequests(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Answers, TPendingWrite, ::testing::Values(STATUS_SUCCESS, STATUS_IO_TIMEOUT));

TEST_F(TCommand, CommandsFromSeveralThreadsReachThePortTogether)
{
    BuildStack(/*connected=*/true);
    Port.HoldWrites = true;

    NTSTATUS first = STATUS_PENDING;
    NTSTATUS second = STATUS_PENDING;
    TBackground a(Port, [&] { first = SendCommand({227}); });
    TBackground b(Port, [&] { second = SendCommand({228}); });
    ASSERT_TRUE(kl::AwaitBlockedWaiters(2)) << "one command waited for the other";
    EXPECT_EQ(Port.Held(), 2u);

    Port.CompleteHeld();
    a.Join();
    b.Join();
    EXPECT_EQ(first, STATUS_SUCCESS);
    EXPECT_EQ(second, STATUS_SUCCESS);
}

} // namespace
