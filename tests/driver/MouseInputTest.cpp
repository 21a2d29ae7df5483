// Mouse input through the filter: its place in the port driver's ISR hook
// chain and the service callback between port and class driver.
#include "DriverFixture.h"

#include <cstring>

using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

namespace {

// A hook that a filter above ours installed before it: records its calls and
// answers as told.
struct TUpperHook {
    BOOLEAN Result = TRUE;
    enum { SetTrue, SetFalse, Leave } Continue = SetTrue;
    UCHAR SwallowByte = 0; // with a value: lets the port skip that byte
    struct TCall {
        PVOID Context;
        PMOUSE_INPUT_DATA Input;
        POUTPUT_PACKET Output;
        UCHAR Status;
        PUCHAR Byte;
        PBOOLEAN Continue;
        PMOUSE_STATE State;
        PMOUSE_RESET_SUBSTATE SubState;
    };
    std::vector<TCall> Calls;
};

TUpperHook *g_upper = nullptr;

BOOLEAN NTAPI UpperHook(PVOID Context, PMOUSE_INPUT_DATA Input, POUTPUT_PACKET Output, UCHAR Status, PUCHAR Byte,
                        PBOOLEAN Continue, PMOUSE_STATE State, PMOUSE_RESET_SUBSTATE SubState)
{
    g_upper->Calls.push_back({Context, Input, Output, Status, Byte, Continue, State, SubState});
    if (g_upper->SwallowByte != 0) {
        *Continue = *Byte != g_upper->SwallowByte;
        return TRUE;
    }
    if (g_upper->Continue != TUpperHook::Leave)
        *Continue = g_upper->Continue == TUpperHook::SetTrue;
    return g_upper->Result;
}

class TMouseInput : public TDriverTest {
protected:
    void SetUp() override
    {
        TDriverTest::SetUp();
        g_upper = &Upper;
    }
    void TearDown() override
    {
        g_upper = nullptr;
        TDriverTest::TearDown();
    }

    TUpperHook Upper;
    int upperContext_ = 0;
};

// ---- ISR hook --------------------------------------------------------------------

struct THookCase {
    const char *Name;
    bool WithUpper;
    BOOLEAN UpperResult;
    decltype(TUpperHook::Continue) UpperContinue;
    BOOLEAN ContinueBefore; // the flag as the port hands it over
    BOOLEAN Expected;
    BOOLEAN ExpectedContinue;
};

class TIsrHook : public TMouseInput, public ::testing::WithParamInterface<THookCase> {};

TEST_P(TIsrHook, ChainsThePreviousHookAndNeverChangesTheData)
{
    const THookCase &c = GetParam();
    ASSERT_EQ(AddDevice(Port), STATUS_SUCCESS);
    Upper.Result = c.UpperResult;
    Upper.Continue = c.UpperContinue;
    ASSERT_EQ(Port.SendHook(c.WithUpper ? UpperHook : nullptr, c.WithUpper ? &upperContext_ : nullptr).Status,
              STATUS_SUCCESS);

    MOUSE_INPUT_DATA input{};
    input.LastX = 12;
    input.ButtonFlags = MOUSE_LEFT_BUTTON_DOWN;
    UCHAR outputBytes[2] = {0xE8, 0x03};
    OUTPUT_PACKET output{outputBytes, 1, 2, SendingBytes};
    UCHAR byte = 0x09;
    BOOLEAN proceed = c.ContinueBefore;
    MOUSE_STATE state = XMovement;
    MOUSE_RESET_SUBSTATE substate = ExpectingResetId;
    const MOUSE_INPUT_DATA inputBefore = input;
    const OUTPUT_PACKET outputBefore = output;

    BOOLEAN result = Port.Hook.IsrRoutine(Port.Hook.Context, &input, &output, 0x21, &byte, &proceed, &state, &substate);

    EXPECT_EQ(result, c.Expected);
    EXPECT_EQ(proceed, c.ExpectedContinue);
    EXPECT_EQ(byte, 0x09);
    EXPECT_EQ(std::memcmp(&input, &inputBefore, sizeof input), 0);
    EXPECT_EQ(std::memcmp(&output, &outputBefore, sizeof output), 0);
    EXPECT_EQ(outputBytes[0], 0xE8);
    EXPECT_EQ(state, XMovement);
    EXPECT_EQ(substate, ExpectingResetId);
    if (!c.WithUpper) {
        EXPECT_THAT(Upper.Calls, IsEmpty());
        return;
    }
    ASSERT_THAT(Upper.Calls, SizeIs(1));
    const auto &call = Upper.Calls[0];
    EXPECT_EQ(call.Context, &upperContext_) << "the previous hook gets its own context";
    EXPECT_EQ(call.Input, &input);
    EXPECT_EQ(call.Output, &output);
    EXPECT_EQ(call.Status, 0x21);
    EXPECT_EQ(call.Byte, &byte);
    EXPECT_EQ(call.Continue, &proceed);
    EXPECT_EQ(call.State, &state);
    EXPECT_EQ(call.SubState, &substate);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, TIsrHook,
    ::testing::Values(
        THookCase{"NoPrevious", false, TRUE, TUpperHook::Leave, FALSE, TRUE, TRUE},
        THookCase{"PreviousGoesOn", true, TRUE, TUpperHook::SetTrue, FALSE, TRUE, TRUE},
        THookCase{"PreviousStopsThePort", true, TRUE, TUpperHook::SetFalse, TRUE, TRUE, FALSE},
        THookCase{"PreviousFailsButGoesOn", true, FALSE, TUpperHook::SetTrue, FALSE, FALSE, TRUE},
        THookCase{"PreviousFailsAndStops", true, FALSE, TUpperHook::SetFalse, TRUE, FALSE, FALSE},
        THookCase{"PreviousLeavesTheFlag", true, TRUE, TUpperHook::Leave, FALSE, TRUE, FALSE}),
    [](const auto &info) { return std::string(info.param.Name); });

// ---- Service callback ----------------------------------------------------------------

TEST_F(TMouseInput, ServiceCallbackHandsTheRecordsToTheClassUnchanged)
{
    BuildStack(/*connected=*/true);
    MOUSE_INPUT_DATA records[3]{};
    for (int i = 0; i < 3; i++) {
        records[i].LastX = i + 1;
        records[i].LastY = -(i + 1);
        records[i].ButtonFlags = static_cast<USHORT>(MOUSE_RIGHT_BUTTON_DOWN << i);
    }
    ULONG consumed = 0;

    auto service = reinterpret_cast<decltype(&TMouseClass::Service)>(Port.Connection.ClassService);
    service(Port.Connection.ClassDeviceObject, records, records + 3, &consumed);

    ASSERT_THAT(Class.Calls, SizeIs(1));
    EXPECT_EQ(Class.Calls[0].Device, Class.Device);
    EXPECT_EQ(Class.Calls[0].Start, records);
    EXPECT_EQ(Class.Calls[0].End, records + 3);
    EXPECT_EQ(consumed, 3u) << "the class's count goes back to the port";
    EXPECT_TRUE(SamePackets(Class.Packets, std::vector<MOUSE_INPUT_DATA>(records, records + 3)));
}

// ---- End to end -------------------------------------------------------------------------

// Movement both ways, every button down and up, a byte out of step, a stray
// 0xAA (what the mouse sends after a reset).
const std::vector<UCHAR> kMouseBytes = {
    0x08, 0x05, 0x03,       // right 5, up 3
    0x38, 0xF0, 0xE0,       // left 16, down 32
    0x09, 0x00, 0x00,       // left down
    0x0B, 0x00, 0x00,       // right down
    0x0C, 0x01, 0x01,       // left and right up, middle down
    0x00,                   // out of step
    0x08, 0x7F, 0x7F,       // middle up, far right and up
    0xAA, 0x00, 0x00,       // a stray reset answer, taken as a packet by the decoder
    0x18, 0x01, 0x00,       // left 255
};

enum class TUpper { None, PassesAll, SwallowsAA };

class TEndToEnd : public TMouseInput, public ::testing::WithParamInterface<TUpper> {
protected:
    // Sends the hook request with the upper hook that the case asks for.
    void Hook(TI8042Port &port)
    {
        if (GetParam() == TUpper::SwallowsAA)
            Upper.SwallowByte = 0xAA;
        bool upper = GetParam() != TUpper::None;
        ASSERT_EQ(port.SendHook(upper ? UpperHook : nullptr, upper ? &upperContext_ : nullptr).Status,
                  STATUS_SUCCESS);
    }
};

TEST_P(TEndToEnd, ClassGetsExactlyWhatItGetsWithoutTheFilter)
{
    // With the filter.
    BuildStack();
    ASSERT_EQ(Class.Connect().Status, STATUS_SUCCESS);
    Hook(Port);
    Port.Interrupt(kMouseBytes);

    // The same mouse without it.
    TI8042Port bare;
    TMouseClass bareClass;
    bareClass.AttachTo(bare.Pdo);
    ASSERT_EQ(bareClass.Connect().Status, STATUS_SUCCESS);
    Hook(bare);
    bare.Interrupt(kMouseBytes);

    ASSERT_THAT(bareClass.Packets, Not(IsEmpty()));
    EXPECT_TRUE(SamePackets(Class.Packets, bareClass.Packets));
    EXPECT_EQ(Port.Consumed, bare.Consumed);
    EXPECT_EQ(Class.Calls.size(), bareClass.Calls.size());
    for (const auto &call : Class.Calls)
        EXPECT_EQ(call.Device, Class.Device);
}

INSTANTIATE_TEST_SUITE_P(UpperHooks, TEndToEnd,
                         ::testing::Values(TUpper::None, TUpper::PassesAll, TUpper::SwallowsAA),
                         [](const auto &info) {
                             switch (info.param) {
                             case TUpper::None:
                                 return "None";
                             case TUpper::PassesAll:
                                 return "PassesAll";
                             default:
                                 return "SwallowsAA";
                             }
                         });

} // namespace
