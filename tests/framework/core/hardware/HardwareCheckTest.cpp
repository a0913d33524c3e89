#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FakeDirect3D.h"
#include "framework/core/app/Application.h"
#include "framework/core/hardware/HardwareCheck.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneCommands.h"
#include "platform/win32/WinLibrary.h"

namespace hardware_check_test {

using hardwaretest::Fake;
using hardwaretest::FakeCall;
using Qmv2::BasicProperties;
using Qmv2::HardwareCheck;

namespace {

// What the display reports: its current settings, and its numbered modes by bit depth.
struct FakeDisplay {
    bool currentFails = false;
    std::string driver = "x11";
    std::vector<DWORD> modeBits = {16, 32};
    std::vector<DWORD> asked;  // numbered modes asked for, in order
};
FakeDisplay g_display;

BOOL FakeDisplaySettings(LPCSTR, DWORD number, DEVMODEA* mode)
{
    std::memset(mode, 0, sizeof *mode);
    if (number == ENUM_CURRENT_SETTINGS) {
        if (g_display.currentFails) {
            return FALSE;
        }
        std::strncpy(reinterpret_cast<char*>(mode->dmDeviceName), g_display.driver.c_str(), CCHDEVICENAME - 1);
        mode->dmBitsPerPel = 32;
        return TRUE;
    }
    g_display.asked.push_back(number);
    if (number >= g_display.modeBits.size()) {
        return FALSE;
    }
    mode->dmBitsPerPel = g_display.modeBits[number];
    return TRUE;
}

struct Outcome {
    bool passed = false;
    std::vector<std::string> boxes;  // "caption: text" of every message box shown
};

class HardwareCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_display = FakeDisplay();
        hardwaretest::InstallFakeDirect3D();
        BasicProperties::SetInstance(new BasicProperties);
        BasicProperties* strings = BasicProperties::GetInstance();
        strings->SetString("CTEXT_ERROR", "Problem");
        strings->SetString("CTEXT_ERROR_NO_DISPLAY", "No display");
        strings->SetString("CTEXT_ERROR_NO_DRIVER", "No driver");
        strings->SetString("CTEXT_ERROR_WRONG_DIRECTX", "Wrong runtime");
        strings->SetString("CTEXT_ERROR_NO_HARDWARESUPPORT", "No hardware");
    }
    void TearDown() override
    {
        BasicProperties::ReleaseInstance();
        platform::UnregisterLibrary("d3d9.dll");
    }

    // Runs a check and destroys it, collecting the message boxes from stderr.
    static Outcome Check()
    {
        Outcome outcome;
        testing::internal::CaptureStderr();
        {
            HardwareCheck check(&FakeDisplaySettings);
            outcome.passed = check.Run();
        }
        const std::string errors = testing::internal::GetCapturedStderr();
        const std::string marker = "[message box] ";
        for (std::size_t at = errors.find(marker); at != std::string::npos; at = errors.find(marker, at + 1)) {
            const std::size_t begin = at + marker.size();
            outcome.boxes.push_back(errors.substr(begin, errors.find('\n', begin) - begin));
        }
        return outcome;
    }

    static void ExpectFailure(const Outcome& outcome, const std::string& box)
    {
        EXPECT_FALSE(outcome.passed);
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0], box);
        EXPECT_EQ(Fake().liveObjects, 0) << "every Direct3D object is released";
    }

    static float FloatAt(const std::vector<BYTE>& bytes, std::size_t offset)
    {
        float value;
        std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }
    static DWORD WordAt(const std::vector<BYTE>& bytes, std::size_t offset)
    {
        DWORD value;
        std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }
};

}  // namespace

TEST_F(HardwareCheckTest, CapableMachinePassesWithoutAMessageAndReleasesEverything)
{
    Outcome outcome = Check();
    EXPECT_TRUE(outcome.passed);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(Fake().liveObjects, 0);
    ASSERT_NE(Fake().First("Direct3DCreate9"), nullptr);
    EXPECT_EQ(Fake().First("Direct3DCreate9")->args[0], 32u);
    // The steps run in their order.
    const char* order[] = {"Direct3DCreate9", "GetDeviceCaps",   "GetAdapterDisplayMode", "CreateDevice",
                           "CheckDeviceFormat", "Clear",         "SetVertexShader",       "CreateTexture",
                           "UpdateTexture",    "SetRenderTarget", "CreateVertexBuffer",   "BeginScene",
                           "DrawPrimitive",    "EndScene",        "GetRenderTargetData"};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        EXPECT_LT(Fake().IndexOf(order[i - 1]), Fake().IndexOf(order[i])) << order[i - 1] << " before " << order[i];
    }
}

TEST_F(HardwareCheckTest, TestDeviceIsWindowedOnTheDesktopInTheDisplayFormat)
{
    Fake().displayMode.Format = D3DFMT_R5G6B5;
    ASSERT_TRUE(Check().passed);
    const FakeCall* create = Fake().First("CreateDevice");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->args, (std::vector<DWORD>{0, D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING}));
    const D3DPRESENT_PARAMETERS& p = Fake().presentParameters;
    EXPECT_TRUE(p.Windowed);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(p.BackBufferCount, 1u);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_FALSE(p.EnableAutoDepthStencil);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
    EXPECT_EQ(Fake().First("GetDeviceCaps")->args, (std::vector<DWORD>{0, D3DDEVTYPE_HAL}));
    EXPECT_EQ(Fake().First("CheckDeviceFormat")->args,
              (std::vector<DWORD>{0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                  D3DFMT_A8R8G8B8}));
    float one = 1.0f;
    DWORD oneBits;
    std::memcpy(&oneBits, &one, sizeof oneBits);
    EXPECT_EQ(Fake().First("Clear")->args, (std::vector<DWORD>{0, D3DCLEAR_TARGET, 0, oneBits, 0}));
    EXPECT_EQ(Fake().First("SetVertexShader")->args, std::vector<DWORD>{0});
}

TEST_F(HardwareCheckTest, DeviceStatesAreSetBeforeTheClear)
{
    ASSERT_TRUE(Check().passed);
    std::vector<std::vector<DWORD>> render, sampler, stage;
    const long clear = Fake().IndexOf("Clear");
    for (long i = 0; i < clear; ++i) {
        const FakeCall& call = Fake().calls[static_cast<std::size_t>(i)];
        if (call.name == "SetRenderState") {
            render.push_back(call.args);
        } else if (call.name == "SetSamplerState") {
            sampler.push_back(call.args);
        } else if (call.name == "SetTextureStageState") {
            stage.push_back(call.args);
        }
    }
    EXPECT_EQ(render, (std::vector<std::vector<DWORD>>{{D3DRS_LIGHTING, FALSE},
                                                        {D3DRS_ALPHABLENDENABLE, TRUE},
                                                        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                                        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}}));
    EXPECT_EQ(sampler, (std::vector<std::vector<DWORD>>{{0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
                                                         {0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
                                                         {0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
                                                         {0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP}}));
    EXPECT_EQ(stage, (std::vector<std::vector<DWORD>>{{0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                                                       {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
                                                       {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}}));
}

TEST_F(HardwareCheckTest, RenderToTextureDrawsAQuadOverTheWholeTarget)
{
    ASSERT_TRUE(Check().passed);
    std::vector<std::vector<DWORD>> textures;
    for (const FakeCall& call : Fake().calls) {
        if (call.name == "CreateTexture") {
            textures.push_back(call.args);
        }
    }
    // width, height, levels, usage, format, pool
    EXPECT_EQ(textures,
              (std::vector<std::vector<DWORD>>{{1024, 1024, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT},
                                               {1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM},
                                               {1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}}));
    EXPECT_EQ(Fake().Count("AddDirtyRect"), 2u);
    EXPECT_EQ(Fake().First("CreateVertexBuffer")->args,
              (std::vector<DWORD>{112, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                  D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_DEFAULT}));
    EXPECT_EQ(Fake().First("SetFVF")->args, std::vector<DWORD>{D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1});
    EXPECT_EQ(Fake().First("VertexBuffer::Lock")->args, std::vector<DWORD>{D3DLOCK_DISCARD});
    EXPECT_EQ(Fake().First("SetStreamSource")->args, (std::vector<DWORD>{0, 1, 0, 28}));
    EXPECT_EQ(Fake().First("DrawPrimitive")->args, (std::vector<DWORD>{D3DPT_TRIANGLESTRIP, 0, 2}));
    EXPECT_EQ(Fake().First("GetRenderTargetData")->args, (std::vector<DWORD>{1, 1}));

    const std::vector<BYTE>& quad = Fake().quadBytes;
    ASSERT_EQ(quad.size(), 112u);
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, minU = 9, maxU = -9;
    for (std::size_t v = 0; v < 4; ++v) {
        const std::size_t at = v * 28;
        minX = std::min(minX, FloatAt(quad, at));
        maxX = std::max(maxX, FloatAt(quad, at));
        minY = std::min(minY, FloatAt(quad, at + 4));
        maxY = std::max(maxY, FloatAt(quad, at + 4));
        EXPECT_EQ(FloatAt(quad, at + 12), 1.0f) << "rhw of vertex " << v;
        EXPECT_EQ(WordAt(quad, at + 16), 0xAAFFFFFFu) << "colour of vertex " << v;
        minU = std::min(minU, FloatAt(quad, at + 20));
        maxU = std::max(maxU, FloatAt(quad, at + 20));
    }
    EXPECT_EQ(minX, -0.5f);
    EXPECT_EQ(maxX, 1023.5f);
    EXPECT_EQ(minY, -0.5f);
    EXPECT_EQ(maxY, 1023.5f);
    EXPECT_EQ(minU, 0.0f);
    EXPECT_EQ(maxU, 1.0f);
}

TEST_F(HardwareCheckTest, GenericFrameBufferDriverOrNoSettingsFailBeforeTheRuntimeLoads)
{
    g_display.driver = "framebuf";
    ExpectFailure(Check(), "Problem: No driver");
    EXPECT_EQ(Fake().Count("Direct3DCreate9"), 0u);

    // No settings at all: no display was opened, which is not a missing driver.
    g_display = FakeDisplay();
    g_display.currentFails = true;
    ExpectFailure(Check(), "Problem: No display");
    EXPECT_EQ(Fake().Count("Direct3DCreate9"), 0u);

    // Only the exact name is the generic driver.
    g_display = FakeDisplay();
    g_display.driver = "framebuffer";
    EXPECT_TRUE(Check().passed);
}

TEST_F(HardwareCheckTest, MissingRuntimeIsTheWrongRuntime)
{
    platform::UnregisterLibrary("d3d9.dll");
    ExpectFailure(Check(), "Problem: Wrong runtime");
}

TEST_F(HardwareCheckTest, RuntimeWithoutItsEntryPointOrObjectHasNoHardwareSupport)
{
    hardwaretest::InstallFakeDirect3D(false);
    ExpectFailure(Check(), "Problem: No hardware");
    EXPECT_EQ(Fake().Count("Direct3DCreate9"), 0u);

    hardwaretest::InstallFakeDirect3D().createAnswersNull = true;
    ExpectFailure(Check(), "Problem: No hardware");
    EXPECT_EQ(Fake().Count("Direct3DCreate9"), 1u);
    EXPECT_EQ(Fake().Count("GetDeviceCaps"), 0u);
}

TEST_F(HardwareCheckTest, TexturesBelow1024InEitherDirectionFailBeforeTheDeviceIsMade)
{
    Fake().caps.MaxTextureWidth = 512;
    ExpectFailure(Check(), "Problem: No hardware");
    EXPECT_EQ(Fake().Count("CreateDevice"), 0u);

    hardwaretest::InstallFakeDirect3D().caps.MaxTextureHeight = 1023;
    ExpectFailure(Check(), "Problem: No hardware");
    EXPECT_EQ(Fake().Count("CreateDevice"), 0u);
}

TEST_F(HardwareCheckTest, ATrueColorModeMustBeAmongTheFirstThousand)
{
    g_display.modeBits.assign(1200, 16);
    ExpectFailure(Check(), "Problem: No hardware");
    ASSERT_EQ(g_display.asked.size(), 1000u) << "modes 0 to 999 are tried, no more";
    EXPECT_EQ(g_display.asked.front(), 0u);
    EXPECT_EQ(g_display.asked.back(), 999u);
    EXPECT_EQ(Fake().Count("CreateDevice"), 0u);

    hardwaretest::InstallFakeDirect3D();
    g_display.asked.clear();
    g_display.modeBits[999] = 32;
    EXPECT_TRUE(Check().passed);
    EXPECT_EQ(g_display.asked.back(), 999u);

    hardwaretest::InstallFakeDirect3D();
    g_display.modeBits[999] = 16;
    g_display.modeBits[1000] = 32;
    ExpectFailure(Check(), "Problem: No hardware");

    // A short mode list ends the search at its end.
    hardwaretest::InstallFakeDirect3D();
    g_display.asked.clear();
    g_display.modeBits = {8, 16, 24};
    ExpectFailure(Check(), "Problem: No hardware");
    EXPECT_EQ(g_display.asked.size(), 4u);
}

TEST_F(HardwareCheckTest, TextKeysMissingFromTheTableFallBackToThePlatformSuffixThenTheKey)
{
    BasicProperties::SetInstance(new BasicProperties);
    BasicProperties::GetInstance()->SetString("CTEXT_ERROR_WIN", "Windows problem");
    BasicProperties::GetInstance()->SetString("CTEXT_ERROR_NO_DRIVER_WIN", "Windows driver text");
    g_display.driver = "framebuf";
    ExpectFailure(Check(), "Windows problem: Windows driver text");

    // Without any text the box still says which test failed.
    BasicProperties::ReleaseInstance();
    ExpectFailure(Check(), "CTEXT_ERROR: CTEXT_ERROR_NO_DRIVER");
    BasicProperties::SetInstance(new BasicProperties);
    ExpectFailure(Check(), "CTEXT_ERROR: CTEXT_ERROR_NO_DRIVER");
}

namespace {

struct FailingCall {
    const char* name;
    int occurrence;
    const char* neverReached;  // a later call the check must not make
};

class HardwareCheckFailingCallTest : public HardwareCheckTest,
                                     public ::testing::WithParamInterface<FailingCall> {};

}  // namespace

TEST_P(HardwareCheckFailingCallTest, FirstFailingStepShowsOneBoxAndReleasesWhatWasMade)
{
    Fake().failOn = GetParam().name;
    Fake().failOccurrence = GetParam().occurrence;
    ExpectFailure(Check(), "Problem: No hardware");
    EXPECT_EQ(Fake().Count(GetParam().neverReached), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, HardwareCheckFailingCallTest,
    ::testing::Values(FailingCall{"GetDeviceCaps", 1, "CreateDevice"},
                      FailingCall{"GetAdapterDisplayMode", 1, "CreateDevice"},
                      FailingCall{"CreateDevice", 1, "CheckDeviceFormat"},
                      FailingCall{"CheckDeviceFormat", 1, "Clear"},
                      FailingCall{"Clear", 1, "CreateTexture"},
                      FailingCall{"CreateTexture", 1, "UpdateTexture"},
                      FailingCall{"GetSurfaceLevel", 1, "UpdateTexture"},
                      FailingCall{"CreateTexture", 2, "UpdateTexture"},
                      FailingCall{"LockRect", 1, "UpdateTexture"},
                      FailingCall{"UpdateTexture", 1, "SetRenderTarget"},
                      FailingCall{"CreateTexture", 3, "SetRenderTarget"},
                      FailingCall{"LockRect", 2, "SetRenderTarget"},
                      FailingCall{"SetRenderTarget", 1, "CreateVertexBuffer"},
                      FailingCall{"CreateVertexBuffer", 1, "BeginScene"},
                      FailingCall{"VertexBuffer::Lock", 1, "BeginScene"},
                      FailingCall{"BeginScene", 1, "DrawPrimitive"},
                      FailingCall{"DrawPrimitive", 1, "GetRenderTargetData"},
                      FailingCall{"EndScene", 1, "GetRenderTargetData"},
                      FailingCall{"GetSurfaceLevel", 2, "GetRenderTargetData"},
                      FailingCall{"GetRenderTargetData", 1, "Present"}));

TEST(HardwareCheckCommandTest, FailedCheckStopsTheStartUp)
{
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / ("qmv_hwcheck_" + std::to_string(::getpid()));
    fs::create_directories(folder / "properties");
    fs::current_path(folder);
    std::ofstream(folder / "properties/application.xml")
        << R"(<Node id="application"><Vector id="commands">)"
        << R"(<Node name="hardwarecheck"/><Node name="gametree"/></Vector></Node>)";
    platform::UnregisterLibrary("d3d9.dll");  // whatever the display, the runtime is missing
    Qmv2::Application::s_Running = true;
    Qmv2::RegisterSceneTrees();
    {
        Qmv2::Application application("properties/application.xml");
        testing::internal::CaptureStderr();
        EXPECT_TRUE(application.RunCommands());
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(Qmv2::Application::s_Running);
        EXPECT_NE(errors.find("[message box] CTEXT_ERROR: CTEXT_ERROR_"), std::string::npos) << errors;
        EXPECT_EQ(Qmv2::GameTree::GetInstance(), nullptr) << "no command runs after the failed check";
    }
    Qmv2::Application::s_Running = true;
    fs::current_path(previous);
    fs::remove_all(folder);
}

}  // namespace hardware_check_test
