/* The sound engine's programming interface: plain functions over one global
 * engine state. Usable from C and C++. Every call reports failure through its
 * result and the engine's last-error code (OSND_GetError). */
#ifndef OSND_H
#define OSND_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define OSND_VERSION 3.75f

/* Last-error codes. */
enum {
  OSND_ERR_NONE = 0,
  OSND_ERR_INITIALISED = 1,    /* configuration call made while initialised */
  OSND_ERR_UNINITIALISED = 2,  /* engine not initialised, or no channels or output */
  OSND_ERR_INIT = 3,           /* output or subsystem start-up failed; see OSND_Init */
  OSND_ERR_PLAY = 5,           /* playing failed to begin */
  OSND_ERR_OUTPUT_FORMAT = 6,
  OSND_ERR_COOPERATIVE = 7,
  OSND_ERR_CREATE_BUFFER = 8,
  OSND_ERR_FILE_NOT_FOUND = 9,
  OSND_ERR_FILE_FORMAT = 10,   /* not this format */
  OSND_ERR_FILE_BAD = 11,
  OSND_ERR_MEMORY = 12,
  OSND_ERR_INVALID_PARAM = 14,
  OSND_ERR_NO_EAX = 15,
  OSND_ERR_CHANNEL_ALLOC = 16,
  OSND_ERR_RECORD = 17,
  OSND_ERR_MEDIA_PLAYER = 18,
  OSND_ERR_CD_DEVICE = 19,
  OSND_ERR_NET_SOCKETS = 20,   /* every socket of the network layer serves an internet stream */
  OSND_ERR_CALLBACK = 21       /* a call this kind of callback may not make (see the README) */
};

/* Output types. Any value not listed selects the no-sound output. */
enum {
  OSND_OUTPUT_AUTODETECT = -1,
  OSND_OUTPUT_NOSOUND = 0,
  OSND_OUTPUT_WINMM = 1,
  OSND_OUTPUT_DSOUND = 2,
  OSND_OUTPUT_ASIO = 7,
  OSND_OUTPUT_NOSOUND_NONREALTIME = 13
};

/* Mixer types (only the quality mixers 4..7 can be selected). */
enum {
  OSND_MIXER_AUTODETECT = 0,
  OSND_MIXER_BLENDMODE = 1,
  OSND_MIXER_MMXP5 = 2,
  OSND_MIXER_MMXP6 = 3,
  OSND_MIXER_QUALITY_AUTODETECT = 4,
  OSND_MIXER_QUALITY_FPU = 5,
  OSND_MIXER_QUALITY_MMXP5 = 6,
  OSND_MIXER_QUALITY_MMXP6 = 7,
  OSND_MIXER_MONO = 8,
  OSND_MIXER_QUALITY_MONO = 9,
  OSND_MIXER_C = 10,
  OSND_MIXER_QUALITY_C = 11,
  OSND_MIXER_QUALITY_C_CUBIC = 12,
  OSND_MIXER_QUALITY_C_SPLINE = 13
};

/* Init flags. */
#define OSND_INIT_DSOUND_FLAG      0x0002u /* read by the DirectSound output only */
#define OSND_INIT_ENABLE_FX        0x0004u /* primary mix buffer gets the effects bit */
#define OSND_INIT_LEVEL_METER      0x0008u /* per-channel level arrays and the level-meter unit */
#define OSND_INIT_NONREALTIME      0x0200u /* set by Init for the non-realtime output */

/* Channel handle specials. */
#define OSND_FREE     (-1)
#define OSND_ALL      (-3)
#define OSND_PRIMARY  (-1000)

/* Sample mode bits. */
#define OSND_MODE_LOOP_OFF        0x00000001u
#define OSND_MODE_LOOP_NORMAL     0x00000002u
#define OSND_MODE_LOOP_BIDI       0x00000004u
#define OSND_MODE_8BITS           0x00000008u
#define OSND_MODE_16BITS          0x00000010u
#define OSND_MODE_MONO            0x00000020u
#define OSND_MODE_STEREO          0x00000040u
#define OSND_MODE_UNSIGNED        0x00000080u
#define OSND_MODE_SIGNED          0x00000100u
#define OSND_MODE_DELTA           0x00000200u
#define OSND_MODE_TRACKER_PACKED  0x00000400u
#define OSND_MODE_TRACKER_PACKED2 0x00000800u
#define OSND_MODE_HW3D            0x00001000u
#define OSND_MODE_2D              0x00002000u
#define OSND_MODE_ONE_INSTANCE    0x00004000u
#define OSND_MODE_MEMORY          0x00008000u
#define OSND_MODE_RAW             0x00010000u
#define OSND_MODE_FORCE_MONO      0x00040000u
#define OSND_MODE_HW2D            0x00080000u
#define OSND_MODE_ENABLE_FX       0x00100000u
#define OSND_MODE_IMA_ADPCM       0x00400000u
#define OSND_MODE_VAG_ADPCM       0x00800000u
#define OSND_MODE_NONBLOCKING     0x01000000u
#define OSND_MODE_GC_ADPCM        0x02000000u
#define OSND_MODE_MULTICHANNEL    0x04000000u

typedef struct OSND_SAMPLE OSND_SAMPLE;
typedef struct OSND_DSPUNIT OSND_DSPUNIT;
typedef struct OSND_STREAM OSND_STREAM;
typedef struct OsndSyncPoint OSND_SYNCPOINT;

/* A stream callback: the stream, data (a sync point's name, or null), a length
 * (a sync point's offset, or 0) and the user data given with the callback. */
/* Called with a name and a value for each title or comment an internet stream carries. */
typedef bool (*OSND_METADATACALLBACK)(char *name, char *value, void *userData);
typedef bool (*OSND_STREAMCALLBACK)(OSND_STREAM *stream, void *data, int length, void *userData);

/* A DSP unit's callback: block start in the mix buffer, the buffer the previous
 * unit returned, the block length in samples, the unit's user data. Returns the
 * buffer the next unit works on.
 * It runs under the mixer's lock, as a song's row, order, Zxx and instrument
 * callbacks do: every call that takes that lock on another thread waits for it
 * to return (the channel, DSP unit and song calls, a sample's free, mode, loop
 * points and allocation into a given slot, the stream calls that act on the
 * stream's channel, and OSND_Update, which also waits for the stream callbacks
 * it makes with the non-realtime output). A thread making such a call must not
 * hold a lock that the callback takes: each would wait for the other for ever. */
typedef void *(*OSND_DSPCALLBACK)(void *blockStart, void *buffer, int length, void *userData);

/* System. */
float OSND_GetVersion(void);
int OSND_GetError(void);
bool OSND_SetOutput(int outputType);
bool OSND_SetMixer(int mixerType);
bool OSND_SetDriver(int driver);
void OSND_SetPanSeperation(float separation);
int OSND_GetNumDrivers(void);
int OSND_GetMixer(void);
int OSND_GetOutputRate(void);
int OSND_GetMaxChannels(void);
int OSND_GetChannelsPlaying(void);
void OSND_SetSFXMasterVolume(int volume);
/* Beside another thread's OSND_Init or OSND_Close, OSND_Init fails with OSND_ERR_INIT (and
 * starts nothing): one thread starts or closes the engine at a time; try again once that returns. */
bool OSND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);
void OSND_Close(void);
void OSND_Update(void);

/* Channels. */
int OSND_PlaySound(int channel, OSND_SAMPLE *sample);
int OSND_PlaySoundEx(int channel, OSND_SAMPLE *sample, OSND_DSPUNIT *dsp, bool startPaused);
bool OSND_StopSound(int channel);
bool OSND_SetFrequency(int channel, int frequency);
bool OSND_SetVolume(int channel, int volume);
bool OSND_SetVolumeAbsolute(int channel, int volume);
bool OSND_SetPan(int channel, int pan);
bool Osnd_SetPanUnscaled(int channel, int pan);
bool OSND_SetSurround(int channel, bool surround);
bool OSND_SetPaused(int channel, bool paused);
bool OSND_SetReserved(int channel, bool reserved);
bool OSND_SetLoopMode(int channel, unsigned int loopMode);
bool OSND_SetCurrentPosition(int channel, unsigned int offset);
int OSND_GetFrequency(int channel);
int OSND_GetVolume(int channel);
bool OSND_GetMute(int channel);
bool OSND_GetPaused(int channel);
OSND_SAMPLE *OSND_GetCurrentSample(int channel);
unsigned int OSND_GetCurrentPosition(int channel);
bool OSND_IsPlaying(int channel);

/* 3D: a channel's position and velocity (either may be null to keep it);
 * OSND_ALL addresses every channel. */
bool OSND_3D_SetAttributes(int channel, const float *position, const float *velocity);

/* Recording into a sample from record driver `driver` of the output (at the
 * sample's length, mode and default frequency); with loop it wraps round at
 * the sample's end, else it stops there. A free of the sample stops the
 * recording first. */
bool OSND_Record_StartSample(int driver, OSND_SAMPLE *sample, bool loop);
bool OSND_Record_Stop(void);

/* Samples. */
OSND_SAMPLE *OSND_Sample_Alloc(int index, int length, unsigned int mode, int frequency,
                               int volume, int pan, int priority);
OSND_SAMPLE *OSND_Sample_Load(int index, const char *nameOrData, unsigned int mode,
                              int offset, int length);
void OSND_Sample_Free(OSND_SAMPLE *sample);
bool OSND_Sample_Upload(OSND_SAMPLE *sample, const void *data, unsigned int mode);
bool OSND_Sample_Lock(OSND_SAMPLE *sample, int offset, int length, void **ptr1, void **ptr2,
                      unsigned int *len1, unsigned int *len2);
bool OSND_Sample_Unlock(OSND_SAMPLE *sample, void *ptr1, void *ptr2, unsigned int len1,
                        unsigned int len2);
bool OSND_Sample_SetMode(OSND_SAMPLE *sample, unsigned int mode);
bool OSND_Sample_SetLoopPoints(OSND_SAMPLE *sample, int loopStart, int loopEnd);
bool OSND_Sample_SetDefaultsEx(OSND_SAMPLE *sample, int frequency, int volume, int pan,
                               int priority, int frequencyVariation, int volumeVariation,
                               int panVariation);
bool OSND_Sample_GetDefaultsEx(OSND_SAMPLE *sample, int *frequency, int *volume, int *pan,
                               int *priority, int *frequencyVariation, int *volumeVariation,
                               int *panVariation);
bool OSND_Sample_GetDefaults(OSND_SAMPLE *sample, int *frequency, int *volume, int *pan,
                             int *priority);
bool OSND_Sample_SetMinMaxDistance(OSND_SAMPLE *sample, float minDistance, float maxDistance);
bool OSND_Sample_GetMinMaxDistance(OSND_SAMPLE *sample, float *minDistance, float *maxDistance);
int OSND_Sample_GetLength(OSND_SAMPLE *sample);

/* Streams. */
#define OSND_MODE_NO_TAGS         0x40000000u
#define OSND_MODE_INTERNET        0x80000000u
OSND_STREAM *OSND_Stream_Open(const char *nameOrData, unsigned int mode, int offset, int length);
int OSND_Stream_Play(int channel, OSND_STREAM *stream);
int OSND_Stream_PlayEx(int channel, OSND_STREAM *stream, OSND_DSPUNIT *dsp, bool startPaused);
bool OSND_Stream_Stop(OSND_STREAM *stream);
bool OSND_Stream_Close(OSND_STREAM *stream);
bool OSND_Stream_SetPosition(OSND_STREAM *stream, unsigned int position);
int OSND_Stream_GetPosition(OSND_STREAM *stream);
int OSND_Stream_GetTime(OSND_STREAM *stream);
bool OSND_Stream_SetSubStream(OSND_STREAM *stream, int index);
/* Sample-bank streams: plays the listed entries one after another (the list
   is copied; null or a count of 0 clears it). The stream is stopped and set
   to the first entry. */
bool OSND_Stream_SetSubStreamSentence(OSND_STREAM *stream, const int *list, int count);
OSND_SYNCPOINT *OSND_Stream_AddSyncPoint(OSND_STREAM *stream, unsigned int pcmOffset, const char *name);
/* Deletes a point OSND_Stream_AddSyncPoint answered; false (OSND_ERR_INVALID_PARAM)
   for any other point, one deleted already, and one whose stream has been
   closed or has moved to another entry of a bank whose entries bring their own
   points. */
bool OSND_Stream_DeleteSyncPoint(OSND_SYNCPOINT *point);
/* Internet streams: sets the callback that receives stream titles ("ARTIST",
   "TITLE", "StreamUrl") and Ogg Vorbis comments; false for any other stream,
   and for one whose close has begun (OSND_ERR_INVALID_PARAM: nothing changes).
   Made outside the title callback, the change waits for a call of it already
   under way on the streamer thread. So the changing thread must hold no lock
   that the callback may take (the call would wait for the lock, the change for
   the call), and the callback must not wait for a thread that may be changing
   it (closing its stream ends the wait). */
bool OSND_Stream_Net_SetMetadataCallback(OSND_STREAM *stream, OSND_METADATACALLBACK callback, void *userData);

/* DSP units. */
OSND_DSPUNIT *OSND_DSP_Create(OSND_DSPCALLBACK callback, int priority, void *userData);
void OSND_DSP_Free(OSND_DSPUNIT *unit);
void OSND_DSP_SetPriority(OSND_DSPUNIT *unit, int priority);
void OSND_DSP_SetActive(OSND_DSPUNIT *unit, bool active);

#ifdef __cplusplus
}
#endif

#endif /* OSND_H */
