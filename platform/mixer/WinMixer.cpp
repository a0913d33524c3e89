#include "platform/mixer/WinMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

struct HMIXER__ {
    snd_mixer_t* mixer = nullptr;
    // Line and control identifiers are the element's index in this list, plus one.
    std::vector<snd_mixer_elem_t*> lines;
};

namespace {

constexpr DWORD kMaximum = 65535;

std::vector<std::string> DeviceNames()
{
    if (const char* name = std::getenv("QMV_MIXER_DEVICE"); name && *name) {
        return {name};
    }
    std::vector<std::string> names;
    for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
        names.push_back("hw:" + std::to_string(card));
    }
    return names;
}

std::string ElementFor(DWORD componentType)
{
    const char* variable = nullptr;
    const char* name = nullptr;
    if (componentType == MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC) {
        variable = "QMV_MIXER_CD_ELEMENT";
        name = "CD";
    } else if (componentType == MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER) {
        variable = "QMV_MIXER_SYNTH_ELEMENT";
        name = "Synth";
    } else {
        return {};
    }
    const char* chosen = std::getenv(variable);
    return chosen && *chosen ? chosen : name;
}

snd_mixer_elem_t* Element(HMIXER mixer, DWORD id)
{
    return mixer && id >= 1 && id <= mixer->lines.size() ? mixer->lines[id - 1] : nullptr;
}

}  // namespace

UINT mixerGetNumDevs()
{
    UINT count = 0;
    for (const std::string& name : DeviceNames()) {
        snd_mixer_t* mixer = nullptr;
        if (snd_mixer_open(&mixer, 0) == 0) {
            if (snd_mixer_attach(mixer, name.c_str()) == 0) {
                ++count;
            }
            snd_mixer_close(mixer);
        }
    }
    return count;
}

MMRESULT mixerOpen(LPHMIXER result, UINT device, DWORD_PTR, DWORD_PTR, DWORD)
{
    if (!result) {
        return MMSYSERR_INVALPARAM;
    }
    *result = nullptr;
    const std::vector<std::string> names = DeviceNames();
    if (device >= names.size()) {
        return MMSYSERR_BADDEVICEID;
    }
    auto* handle = new HMIXER__();
    if (snd_mixer_open(&handle->mixer, 0) < 0) {
        delete handle;
        return MMSYSERR_NOMEM;
    }
    if (snd_mixer_attach(handle->mixer, names[device].c_str()) < 0 ||
        snd_mixer_selem_register(handle->mixer, nullptr, nullptr) < 0 || snd_mixer_load(handle->mixer) < 0) {
        snd_mixer_close(handle->mixer);
        delete handle;
        return MMSYSERR_NODRIVER;
    }
    *result = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER mixer)
{
    if (!mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    snd_mixer_close(mixer->mixer);
    delete mixer;
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineInfoA(HMIXER mixer, MIXERLINEA* line, DWORD flags)
{
    if (!mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!line || line->cbStruct < sizeof(MIXERLINEA)) {
        return MMSYSERR_INVALPARAM;
    }
    if ((flags & 0xF) != MIXER_GETLINEINFOF_COMPONENTTYPE) {
        return MMSYSERR_INVALFLAG;
    }
    const std::string wanted = ElementFor(line->dwComponentType);
    if (wanted.empty()) {
        return MIXERR_INVALLINE;
    }
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer->mixer); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e) || !snd_mixer_selem_has_playback_volume(e) ||
            snd_mixer_selem_get_index(e) != 0 || strcasecmp(snd_mixer_selem_get_name(e), wanted.c_str()) != 0) {
            continue;
        }
        mixer->lines.push_back(e);
        line->dwLineID = DWORD(mixer->lines.size());
        line->cChannels = snd_mixer_selem_is_playback_mono(e) ? 1 : 2;
        line->cControls = 1;
        line->cConnections = 0;
        std::snprintf(line->szShortName, sizeof line->szShortName, "%s", wanted.c_str());
        std::snprintf(line->szName, sizeof line->szName, "%s", wanted.c_str());
        return MMSYSERR_NOERROR;
    }
    return MIXERR_INVALLINE;
}

MMRESULT mixerGetLineControlsA(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags)
{
    if (!mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!controls || !controls->pamxctrl || controls->cbmxctrl < sizeof(MIXERCONTROLA) || controls->cControls < 1) {
        return MMSYSERR_INVALPARAM;
    }
    if ((flags & 0xF) != MIXER_GETLINECONTROLSF_ONEBYTYPE) {
        return MMSYSERR_INVALFLAG;
    }
    if (!Element(mixer, controls->dwLineID)) {
        return MIXERR_INVALLINE;
    }
    if (controls->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) {
        return MIXERR_INVALCONTROL;
    }
    MIXERCONTROLA& c = *controls->pamxctrl;
    std::memset(&c, 0, sizeof c);
    c.cbStruct = sizeof c;
    c.dwControlID = controls->dwLineID;
    c.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    std::snprintf(c.szShortName, sizeof c.szShortName, "Volume");
    std::snprintf(c.szName, sizeof c.szName, "Volume");
    c.Bounds.dwMinimum = 0;
    c.Bounds.dwMaximum = kMaximum;
    c.Metrics.cSteps = kMaximum + 1;
    return MMSYSERR_NOERROR;
}

namespace {

MMRESULT CheckDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, snd_mixer_elem_t** element)
{
    if (!mixer) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!details || !details->paDetails || details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED) ||
        details->cChannels < 1) {
        return MMSYSERR_INVALPARAM;
    }
    *element = Element(mixer, details->dwControlID);
    return *element ? MMSYSERR_NOERROR : MIXERR_INVALCONTROL;
}

}  // namespace

MMRESULT mixerGetControlDetailsA(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD)
{
    snd_mixer_elem_t* e = nullptr;
    if (const MMRESULT r = CheckDetails(mixer, details, &e); r != MMSYSERR_NOERROR) {
        return r;
    }
    snd_mixer_handle_events(mixer->mixer);
    long low = 0, high = 0, value = 0;
    snd_mixer_selem_get_playback_volume_range(e, &low, &high);
    snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &value);
    const DWORD scaled = high > low ? DWORD((value - low) * int64_t(kMaximum) / (high - low)) : 0;
    auto* out = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails);
    for (DWORD channel = 0; channel < details->cChannels; ++channel) {
        out[channel].dwValue = scaled;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mixerSetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD)
{
    snd_mixer_elem_t* e = nullptr;
    if (const MMRESULT r = CheckDetails(mixer, details, &e); r != MMSYSERR_NOERROR) {
        return r;
    }
    long low = 0, high = 0;
    snd_mixer_selem_get_playback_volume_range(e, &low, &high);
    const DWORD given = std::min(static_cast<const MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)[0].dwValue, kMaximum);
    // Rounded to the nearest step of the element.
    const long value = low + long((int64_t(given) * (high - low) + kMaximum / 2) / kMaximum);
    return snd_mixer_selem_set_playback_volume_all(e, value) == 0 ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}
