#include "platform/asio/JackAsioDriver.h"

#include "platform/dsound/ComObject.h"
#include "platform/win32/WinCom.h"
#include "platform/win32/WinRegistry.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <vector>

namespace platform::asio {

const GUID CLSID_JackAsioDriver = {0x6a4b0a11, 0x3c2e, 0x4f65, {0x9b, 0x1d, 0x4a, 0x41, 0x43, 0x4b, 0x41, 0x53}};

namespace {

constexpr const char* kClsidText = "{6A4B0A11-3C2E-4F65-9B1D-4A41434B4153}";
constexpr int kOutputs = 2;

std::atomic<ASIOSampleType> gType{ASIOSTFloat32LSB};
std::string gClientName = "Quorvel";

std::uint32_t Big32(const unsigned char* b) { return std::uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]; }
std::uint32_t Little32(const unsigned char* b) { return std::uint32_t(b[3]) << 24 | b[2] << 16 | b[1] << 8 | b[0]; }

double Float64(const unsigned char* b, bool big)
{
    unsigned char ordered[8];
    for (int i = 0; i < 8; ++i) {
        ordered[i] = big ? b[7 - i] : b[i];
    }
    double value;
    std::memcpy(&value, ordered, 8);
    return value;
}

float Float32(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

class JackAsioDriver final : public platform::dsound::ComObject<IASIO> {
public:
    void* Find(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == CLSID_JackAsioDriver ? static_cast<IASIO*>(this) : nullptr;
    }

    ASIOBool init(void*) override
    {
        if (m_Client) {
            return ASIOTrue;
        }
        // A server still tidying up after the last client may refuse the first try.
        for (int attempt = 0; attempt < 5 && !m_Client; ++attempt) {
            if (attempt > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            jack_status_t status{};
            m_Client = jack_client_open(gClientName.c_str(), JackNoStartServer, &status);
            if (!m_Client && !(status & JackServerError)) {
                break;  // no server at all: nothing to wait for
            }
        }
        if (!m_Client) {
            m_Error = "No JACK server is running";
            return ASIOFalse;
        }
        jack_set_process_callback(m_Client, &JackAsioDriver::Process, this);
        for (int i = 0; i < kOutputs; ++i) {
            const std::string name = "out_" + std::to_string(i + 1);
            m_Ports[i] = jack_port_register(m_Client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            if (!m_Ports[i]) {
                m_Error = "JACK refused an output port";
                jack_client_close(m_Client);
                m_Client = nullptr;
                return ASIOFalse;
            }
        }
        return ASIOTrue;
    }
    void getDriverName(char* name) override { std::snprintf(name, 32, "JACK"); }
    LONG getDriverVersion() override { return 1; }
    void getErrorMessage(char* text) override { std::snprintf(text, 124, "%s", m_Error.c_str()); }

    ASIOError start() override
    {
        if (!m_Client || !m_Callbacks) {
            return ASE_NotPresent;
        }
        m_Position = 0;
        m_Running = true;
        if (jack_activate(m_Client) != 0) {
            m_Running = false;
            return ASE_HWMalfunction;
        }
        // Heard at once: the outputs go to the first physical playback ports.
        if (const char** playback = jack_get_ports(m_Client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                                   JackPortIsPhysical | JackPortIsInput)) {
            for (int i = 0; i < kOutputs && playback[i]; ++i) {
                jack_connect(m_Client, jack_port_name(m_Ports[i]), playback[i]);
            }
            jack_free(playback);
        }
        return ASE_OK;
    }
    ASIOError stop() override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        m_Running = false;
        // As a driver's stop on the original platform, this returns only once
        // the buffer switch in progress has ended: the server ends the thread
        // of the process callback at deactivation wherever it stands, which
        // inside the host's code ends the program.
        {
            std::lock_guard<std::mutex> wait(m_Lock);
        }
        jack_deactivate(m_Client);
        return ASE_OK;
    }
    ASIOError getChannels(LONG* inputs, LONG* outputs) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        *inputs = 0;
        *outputs = kOutputs;
        return ASE_OK;
    }
    ASIOError getLatencies(LONG* input, LONG* output) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        *input = 0;
        *output = LONG(jack_get_buffer_size(m_Client));
        return ASE_OK;
    }
    ASIOError getBufferSize(LONG* minimum, LONG* maximum, LONG* preferred, LONG* granularity) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        *minimum = *maximum = *preferred = LONG(jack_get_buffer_size(m_Client));
        *granularity = 0;
        return ASE_OK;
    }
    ASIOError canSampleRate(ASIOSampleRate rate) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        return rate == double(jack_get_sample_rate(m_Client)) ? ASE_OK : ASE_NoClock;
    }
    ASIOError getSampleRate(ASIOSampleRate* rate) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        *rate = double(jack_get_sample_rate(m_Client));
        return ASE_OK;
    }
    ASIOError setSampleRate(ASIOSampleRate rate) override { return canSampleRate(rate); }
    ASIOError getClockSources(void*, LONG* count) override
    {
        if (count) {
            *count = 0;
        }
        return ASE_OK;
    }
    ASIOError setClockSource(LONG) override { return ASE_OK; }
    ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* time) override
    {
        if (!m_Client || !position || !time) {
            return ASE_NotPresent;
        }
        const std::uint64_t samples = m_Position;
        const std::uint64_t nanoseconds = jack_get_time() * 1000u;
        *position = ASIOSamples{ULONG(samples >> 32), ULONG(samples)};
        *time = ASIOTimeStamp{ULONG(nanoseconds >> 32), ULONG(nanoseconds)};
        return ASE_OK;
    }
    ASIOError getChannelInfo(ASIOChannelInfo* info) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        if (!info || info->isInput || info->channel < 0 || info->channel >= kOutputs) {
            return ASE_InvalidParameter;
        }
        info->isActive = m_Halves[info->channel][0].empty() ? ASIOFalse : ASIOTrue;
        info->channelGroup = 0;
        info->type = gType;
        std::snprintf(info->name, sizeof info->name, "JACK out %d", int(info->channel) + 1);
        return ASE_OK;
    }
    ASIOError createBuffers(ASIOBufferInfo* infos, LONG count, LONG size, ASIOCallbacks* callbacks) override
    {
        if (!m_Client) {
            return ASE_NotPresent;
        }
        if (!infos || !callbacks || count < 1 || size != LONG(jack_get_buffer_size(m_Client))) {
            return ASE_InvalidMode;
        }
        const int bytes = SampleBytes(gType);
        if (bytes == 0) {
            return ASE_InvalidMode;
        }
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Type = gType;
        m_Size = size;
        for (auto& channel : m_Halves) {
            channel[0].clear();
            channel[1].clear();
        }
        for (LONG i = 0; i < count; ++i) {
            ASIOBufferInfo& info = infos[i];
            info.buffers[0] = info.buffers[1] = nullptr;
            if (info.isInput || info.channelNum < 0 || info.channelNum >= kOutputs) {
                continue;  // no inputs; their halves stay null
            }
            for (int h = 0; h < 2; ++h) {
                m_Halves[info.channelNum][h].assign(std::size_t(size) * std::size_t(bytes), 0);
                info.buffers[h] = m_Halves[info.channelNum][h].data();
            }
        }
        m_Callbacks = callbacks;
        return ASE_OK;
    }
    ASIOError disposeBuffers() override
    {
        if (m_Running) {
            stop();
        }
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Callbacks = nullptr;
        for (auto& channel : m_Halves) {
            channel[0].clear();
            channel[1].clear();
        }
        return ASE_OK;
    }
    ASIOError controlPanel() override { return ASE_NotPresent; }
    ASIOError future(LONG, void*) override { return ASE_InvalidParameter; }
    ASIOError outputReady() override { return ASE_OK; }

private:
    ~JackAsioDriver() override
    {
        if (m_Client) {
            jack_deactivate(m_Client);
            jack_client_close(m_Client);
        }
    }

    static int Process(jack_nframes_t frames, void* self) { return static_cast<JackAsioDriver*>(self)->Run(frames); }

    int Run(jack_nframes_t frames)
    {
        float* out[kOutputs];
        for (int i = 0; i < kOutputs; ++i) {
            out[i] = static_cast<float*>(jack_port_get_buffer(m_Ports[i], frames));
            std::memset(out[i], 0, frames * sizeof(float));
        }
        std::unique_lock<std::mutex> hold(m_Lock, std::try_to_lock);
        if (!hold.owns_lock() || !m_Running || !m_Callbacks || LONG(frames) != m_Size) {
            return 0;
        }
        // The host fills this half now; it goes out in this same period.
        const int half = m_Half;
        m_Half ^= 1;
        m_Callbacks->bufferSwitch(half, ASIOTrue);
        const int bytes = SampleBytes(m_Type);
        for (int i = 0; i < kOutputs; ++i) {
            const std::vector<unsigned char>& data = m_Halves[i][half];
            if (data.empty()) {
                continue;
            }
            for (jack_nframes_t f = 0; f < frames; ++f) {
                out[i][f] = SampleToFloat(m_Type, data.data() + std::size_t(f) * std::size_t(bytes));
            }
        }
        m_Position += frames;
        return 0;
    }

    jack_client_t* m_Client = nullptr;
    jack_port_t* m_Ports[kOutputs] = {};
    std::string m_Error = "No ASIO Driver Error";
    std::mutex m_Lock;  // buffers and callbacks, against the process callback
    std::vector<unsigned char> m_Halves[kOutputs][2];
    ASIOCallbacks* m_Callbacks = nullptr;
    ASIOSampleType m_Type = ASIOSTFloat32LSB;
    LONG m_Size = 0;
    int m_Half = 0;
    std::atomic<bool> m_Running{false};
    std::atomic<std::uint64_t> m_Position{0};
};

// The file that serves the driver: the JACK client library itself.
std::string ServerPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&jack_client_open), &info) && info.dli_fname) {
        return info.dli_fname;
    }
    return {};
}

}  // namespace

int SampleBytes(ASIOSampleType type)
{
    switch (type) {
    case ASIOSTInt16MSB:
    case ASIOSTInt16LSB:
        return 2;
    case ASIOSTInt24MSB:
    case ASIOSTInt24LSB:
        return 3;
    case ASIOSTFloat64MSB:
    case ASIOSTFloat64LSB:
        return 8;
    case ASIOSTInt32MSB:
    case ASIOSTFloat32MSB:
    case ASIOSTInt32MSB16:
    case ASIOSTInt32MSB18:
    case ASIOSTInt32MSB20:
    case ASIOSTInt32MSB24:
    case ASIOSTInt32LSB:
    case ASIOSTFloat32LSB:
    case ASIOSTInt32LSB16:
    case ASIOSTInt32LSB18:
    case ASIOSTInt32LSB20:
    case ASIOSTInt32LSB24:
        return 4;
    default:
        return 0;
    }
}

float SampleToFloat(ASIOSampleType type, const unsigned char* b)
{
    constexpr double kUnscaled = 1.0 / 32768.0;
    switch (type) {
    case ASIOSTInt16MSB:
        return float(std::int16_t(b[0] << 8 | b[1]) / 32768.0);
    case ASIOSTInt16LSB:
        return float(std::int16_t(b[1] << 8 | b[0]) / 32768.0);
    case ASIOSTInt24MSB:
        return float(std::int32_t(std::uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8) / 2147483648.0);
    case ASIOSTInt24LSB:
        return float(std::int32_t(std::uint32_t(b[2]) << 24 | b[1] << 16 | b[0] << 8) / 2147483648.0);
    case ASIOSTInt32MSB:
        return float(std::int32_t(Big32(b)) / 2147483648.0);
    case ASIOSTInt32LSB:
        return float(std::int32_t(Little32(b)) / 2147483648.0);
    case ASIOSTFloat32MSB:
        return float(Float32(Big32(b)) * kUnscaled);
    case ASIOSTFloat32LSB:
        return float(Float32(Little32(b)) * kUnscaled);
    case ASIOSTFloat64MSB:
        return float(Float64(b, true) * kUnscaled);
    case ASIOSTFloat64LSB:
        return float(Float64(b, false) * kUnscaled);
    // Right-aligned integers of 16, 18, 20 and 24 bits in 32.
    case ASIOSTInt32MSB16:
        return float(std::int32_t(Big32(b)) / 32768.0);
    case ASIOSTInt32MSB18:
        return float(std::int32_t(Big32(b)) / 131072.0);
    case ASIOSTInt32MSB20:
        return float(std::int32_t(Big32(b)) / 524288.0);
    case ASIOSTInt32MSB24:
        return float(std::int32_t(Big32(b)) / 8388608.0);
    case ASIOSTInt32LSB16:
        return float(std::int32_t(Little32(b)) / 32768.0);
    case ASIOSTInt32LSB18:
        return float(std::int32_t(Little32(b)) / 131072.0);
    case ASIOSTInt32LSB20:
        return float(std::int32_t(Little32(b)) / 524288.0);
    case ASIOSTInt32LSB24:
        return float(std::int32_t(Little32(b)) / 8388608.0);
    default:
        return 0.0f;
    }
}

void SetReportedSampleType(ASIOSampleType type) { gType = type; }
void SetClientName(const char* name) { gClientName = name ? name : "Quorvel"; }

void RegisterJackAsioDriver()
{
    using platform::RegistryValue;
    platform::AddInstalledRegistryValues(HKEY_LOCAL_MACHINE, "software\\asio\\JACK",
                                         {RegistryValue{"clsid", REG_SZ, kClsidText},
                                          RegistryValue{"description", REG_SZ, "JACK"}});
    platform::AddInstalledRegistryValues(HKEY_CLASSES_ROOT, std::string("clsid\\") + kClsidText + "\\InprocServer32",
                                         {RegistryValue{"", REG_SZ, ServerPath()}});
    platform::RegisterComClass(CLSID_JackAsioDriver, [](REFIID iid, void** object) -> HRESULT {
        IASIO* driver = new JackAsioDriver();
        const HRESULT result = driver->QueryInterface(iid, object);
        driver->Release();
        return result;
    });
}

}  // namespace platform::asio
